#include "platform/UserFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace kestrane::platform {

namespace {

std::string absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return {};  // relative values are ignored, as XDG asks
    return value;
}

std::string accountHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr && result->pw_dir[0] == '/')
        return result->pw_dir;
    return "/";
}

}  // namespace

std::string homeFolder() {
    std::string home = absoluteEnv("HOME");
    if (home.empty()) home = accountHome();
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    return home;
}

std::string configHome() {
    std::string dir = absoluteEnv("XDG_CONFIG_HOME");
    return dir.empty() ? joinPath(homeFolder(), ".config") : dir;
}

std::string dataHome() {
    std::string dir = absoluteEnv("XDG_DATA_HOME");
    return dir.empty() ? joinPath(homeFolder(), ".local/share") : dir;
}

std::string applicationSupportFolder() {
    return joinPath(dataHome(), "Kestrane");
}

std::string preferencesFilePath() {
    return joinPath(joinPath(configHome(), "kestrane"), "preferences.json");
}

std::string joinPath(const std::string& base, const std::string& component) {
    if (base.empty()) return component;
    if (component.empty()) return base;
    std::string result = base;
    const bool baseSlash = result.back() == '/';
    const bool componentSlash = component.front() == '/';
    if (baseSlash && componentSlash)
        result.append(component, 1);
    else if (!baseSlash && !componentSlash)
        result.append("/").append(component);
    else
        result += component;
    return result;
}

}  // namespace kestrane::platform
