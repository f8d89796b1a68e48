#include "cli/FolderArguments.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::cli {

std::string absolutePath(const std::string& path) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        std::string real = resolved;
        std::free(resolved);
        return real;
    }
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd)) absolute = std::string(cwd) + "/" + absolute;
    }
    // Drop "." components, repeated slashes and a trailing slash, which name
    // nothing of their own. ".." stays: after a symbolic link it leads to the
    // link target's parent, which text alone cannot know.
    std::string normal;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos) end = absolute.size();
        const std::string_view part(absolute.data() + start, end - start);
        if (!part.empty() && part != ".") normal.append("/").append(part);
        start = end + 1;
    }
    return normal.empty() ? "/" : normal;
}

std::string folderProblem(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return "no such folder (check the path)";
        return std::string("cannot reach it: ") + std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) return "not a folder (name the folder that holds it)";
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return std::string("cannot read it: ") + std::strerror(errno) +
               " (run as a user who can read it, or change its permissions)";
    ::closedir(dir);
    return "";
}

bool isSameOrInside(const std::string& path, const std::vector<std::string>& folders) {
    for (const auto& folder : folders) {
        if (path == folder) return true;
        const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
        if (path.starts_with(prefix)) return true;
    }
    return false;
}

}  // namespace kestrane::cli
