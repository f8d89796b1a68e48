#include "scan/ExcludeChecker.h"

#include "platform/Text.h"

#include "platform/UserFolders.h"
#include "scan/ExcludeTreeCheckerByRootNode.h"
#include "scan/FileSystemItem.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {

namespace {

bool pathExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

std::string userName(uid_t uid) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && found->pw_name[0] != '\0')
        return found->pw_name;
    const char* fromEnvironment = std::getenv("USER");
    return fromEnvironment != nullptr ? fromEnvironment : "";
}

// The entries of a folder in the order the file system lists them; none when
// it cannot be read.
std::vector<std::string> entriesOfFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

}  // namespace

ExcludeChecker::SystemLocations ExcludeChecker::SystemLocations::standard() {
    SystemLocations locations;
    locations.homeFolder = platform::homeFolder();
    locations.dataHome = platform::dataHome();
    locations.userId = ::getuid();
    locations.volumeContainerFolders = {"/Volumes", "/media"};
    const std::string user = userName(locations.userId);
    if (!user.empty() && user.find('/') == std::string::npos) {
        locations.volumeContainerFolders.push_back("/media/" + user);
        locations.volumeContainerFolders.push_back("/run/media/" + user);
    }
    locations.volumeContainerFolders.push_back("/mnt");
    return locations;
}

ExcludeChecker::ExcludeChecker(bool forScan) : ExcludeChecker(forScan, Settings::standard()) {}

ExcludeChecker::ExcludeChecker(bool forScan, const Settings& settings)
    : ExcludeChecker(forScan, settings, SystemLocations::standard()) {}

ExcludeChecker::ExcludeChecker(bool forScan, const Settings& settings, const SystemLocations& locations)
    : m_bScanInHiddenFolders(settings.scanInHiddenFolders()),
      m_bExcludeTimeMachineBackups(settings.excludeTimeMachineBackups()),
      m_bSkipVolumeSystemFolders(settings.skipVolumeSystemFolders()),
      m_userId(locations.userId) {
    for (const std::string& entry : settings.excludeExtensions()) {
        if (entry.size() < 2) continue;
        // Only the first character goes: ".JPG" gives "jpg", "*.mp3" gives ".mp3".
        _excludeExtensions.insert(platform::asciiLowercased(std::string_view(entry).substr(1)));
    }
    addToExcludeFiles(settings.excludeFiles());
    for (const std::string& folder : settings.excludeFolders()) addToExcludeFolder(folder);
    if (forScan) addFixedLocations(locations);
}

void ExcludeChecker::addFixedLocations(const SystemLocations& locations) {
    const std::string& home = locations.homeFolder;
    if (!home.empty()) {
        addToExcludeFolder(platform::joinPath(home, "Library/Application Support/AddressBook"));
        addToExcludeFile(platform::joinPath(home, "Library/Preferences/com.apple.AddressBook.plist"));
        addToExcludeFolder(platform::joinPath(home, "Library/Calendars"));
        addToExcludeFolder(platform::joinPath(home, ".Trash"));
    }
    // The freedesktop.org home trash.
    if (!locations.dataHome.empty()) addToExcludeFolder(platform::joinPath(locations.dataHome, "Trash"));
    addExcludedItemsForVolumePath(locations.rootVolumePath);
    for (const std::string& folder : locations.volumeContainerFolders) addVolumesInFolder(folder);
}

void ExcludeChecker::addVolumesInFolder(const std::string& folder) {
    for (const std::string& entry : entriesOfFolder(folder))
        addExcludedItemsForVolumePath(platform::joinPath(folder, entry));
}

const std::vector<std::string>& ExcludeChecker::volumeSystemFolderNames() {
    static const std::vector<std::string> names = {
        ".DocumentRevisions-V100", ".fseventsd", ".HFS+ Private Directory Data?", ".IABootFiles",
        ".PKInstallSandboxManager", ".PKInstallSandboxManager-SystemSoftware", ".Spotlight-V100",
        ".TemporaryItems", ".Trashes", ".vol", "bin", "cores", "Library", "dev", "etc", "net", "Network", "opt",
        "private", "sbin", "System", "tmp", "usr", "var", "Volumes",
        // Linux system folders, and those that Windows puts on its volumes.
        "proc", "sys", "run", "boot", "lib", "lib32", "lib64", "libx32", "snap", "lost+found", "$RECYCLE.BIN",
        "System Volume Information",
    };
    return names;
}

const std::vector<std::string>& ExcludeChecker::volumeSystemFileNames() {
    static const std::vector<std::string> names = {
        ".file", ".hotfiles.btree", ".IAProductInfo", ".OSInstallMessages", ".OSInstallerMessages", "mach_kernel",
        "installer.failurerequests", "swapfile", "swap.img",
    };
    return names;
}

void ExcludeChecker::addExcludedItemsForVolumePath(const std::string& volumePath) {
    if (volumePath.empty()) return;
    if (m_bExcludeTimeMachineBackups) addToExcludeFolder(platform::joinPath(volumePath, "Backups.backupdb"));
    if (m_bSkipVolumeSystemFolders) {
        for (const std::string& name : volumeSystemFolderNames()) addToExcludeFolder(platform::joinPath(volumePath, name));
        for (const std::string& name : volumeSystemFileNames()) addToExcludeFile(platform::joinPath(volumePath, name));
    }
    // The volume's Trash folders are never duplicates worth showing.
    addToExcludeFolder(platform::joinPath(volumePath, ".Trash-" + std::to_string(m_userId)));
    addToExcludeFolder(platform::joinPath(volumePath, ".Trash"));
}

void ExcludeChecker::addIncludedFolderPaths(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) addToIncludeFolder(path);
}

std::string ExcludeChecker::buildPathPrefixForFolderPath(std::string_view path) {
    std::string prefix(path);
    if (prefix.empty() || prefix.back() != '/') prefix.push_back('/');
    return prefix;
}

void ExcludeChecker::addToExcludeFolder(const std::string& path) {
    if (!pathExists(path)) return;
    _excludePaths.insert(path);
    std::string prefix = buildPathPrefixForFolderPath(path);
    _excludePathPrefixes.insert(prefix);
    addPathPrefix(std::move(prefix), false);
}

void ExcludeChecker::addToIncludeFolder(const std::string& path) {
    if (!pathExists(path)) return;
    _includePaths.insert(path);
    std::string prefix = buildPathPrefixForFolderPath(path);
    _includePathPrefixes.insert(prefix);
    addPathPrefix(std::move(prefix), true);
}

void ExcludeChecker::addToExcludeFile(const std::string& path) {
    if (!path.empty()) _excludePaths.insert(path);
}

void ExcludeChecker::addToExcludeFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) addToExcludeFile(path);
}

void ExcludeChecker::addPathPrefix(std::string prefix, bool included) {
    // Kept sorted longest first as it grows, so that the checker is ready
    // after every addition. Equal lengths: the existing entry of the same
    // text, if any, lies in that run.
    auto first = std::partition_point(_pathPrefixes.begin(), _pathPrefixes.end(),
                                      [&](const PathPrefix& p) { return p.prefix.size() > prefix.size(); });
    auto it = first;
    for (; it != _pathPrefixes.end() && it->prefix.size() == prefix.size(); ++it) {
        if (it->prefix == prefix) {
            it->included = it->included || included;
            return;
        }
    }
    _pathPrefixes.insert(it, PathPrefix{std::move(prefix), included});
}

bool ExcludeChecker::isPathExcluded(std::string_view path) const {
    if (path.empty()) return false;
    if (_includePaths.find(path) != _includePaths.end()) return false;
    if (_excludePaths.find(path) != _excludePaths.end()) return true;
    // Prefixes longer than the path cannot match: start at the first that fits.
    auto it = std::partition_point(_pathPrefixes.begin(), _pathPrefixes.end(),
                                   [&](const PathPrefix& p) { return p.prefix.size() > path.size(); });
    for (; it != _pathPrefixes.end(); ++it) {
        if (path.starts_with(it->prefix)) return !it->included;
    }
    return false;
}

std::string ExcludeChecker::lowercasedExtensionOfName(std::string_view name) {
    return platform::asciiLowercased(platform::pathExtension(name));
}

bool ExcludeChecker::isFileItemExcluded(FileSystemItem* item) const {
    if (item == nullptr) return true;
    // Asked for every file of a scan: the path is built in a buffer kept by the thread.
    thread_local std::string path;
    item->pathInto(path);
    if (isPathExcluded(path)) {
        item->setIsCheckedForDuplicates(true);
        return true;
    }
    if (_excludeExtensions.empty()) return false;
    const std::string extension = lowercasedExtensionOfName(item->name());
    return !extension.empty() && _excludeExtensions.find(extension) != _excludeExtensions.end();
}

std::shared_ptr<const ExcludeTreeCheckerByRootNode> ExcludeChecker::buildTreeChecker() const {
    return ExcludeTreeCheckerByRootNode::generateWithCreation([this](ExcludeTreeCheckerByRootNode& tree) {
        for (const std::string& path : _excludePaths) tree.excludeURL(path);
        for (const std::string& path : _includePaths) tree.includeURL(path);
    });
}

}  // namespace kestrane
