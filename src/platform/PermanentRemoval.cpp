#include "platform/PermanentRemoval.h"

#include "platform/FileFacts.h"
#include "platform/OpenParent.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

// One open folder of the tree being emptied.
struct Level {
    DIR* dir = nullptr;  // owns the descriptor
    std::string name;    // its name in the folder above
    std::string path;    // for messages
};

bool isOnOtherFileSystem(const FileFacts& facts, const FileFacts& top) {
    if (facts.isMountRoot) return true;
    if (facts.identity.device != top.identity.device) return true;
    return facts.mountId != 0 && top.mountId != 0 && facts.mountId != top.mountId;
}

std::string childPath(const std::string& parent, const char* name) {
    std::string path = parent;
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

}  // namespace

std::optional<Error> removePermanently(const std::string& path) {
    std::optional<Error> error;
    const auto parent = OpenParent::open(path, error);
    if (!parent) return error;
    return removePermanentlyAt(parent->fd(), parent->name(), path);
}

std::optional<Error> removePermanentlyAt(int parentFd, const char* name, const std::string& pathForMessages) {
    const auto top = factsAt(parentFd, name);
    if (!top) return Error::fromErrno(errno, "Could not examine the item", pathForMessages);
    if (top->type != DirectoryEntryType::directory) {
        if (::unlinkat(parentFd, name, 0) != 0) return Error::fromErrno(errno, "Could not remove the file", pathForMessages);
        return std::nullopt;
    }
    if (top->isMountRoot) return Error::fromErrno(EBUSY, "The folder is a mount point", pathForMessages);

    const int topFd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (topFd < 0) return Error::fromErrno(errno, "Could not open the folder", pathForMessages);
    const auto opened = factsOfDescriptor(topFd);
    if (!opened || opened->identity != top->identity) {
        ::close(topFd);
        return Error::fromErrno(EAGAIN, "The folder was replaced while it was being removed", pathForMessages);
    }

    std::vector<Level> levels;
    auto closeAll = [&levels] {
        for (Level& level : levels) ::closedir(level.dir);
        levels.clear();
    };
    DIR* topDir = ::fdopendir(topFd);
    if (topDir == nullptr) {
        const int why = errno;
        ::close(topFd);
        return Error::fromErrno(why, "Could not read the folder", pathForMessages);
    }
    levels.push_back({topDir, name, pathForMessages});

    while (!levels.empty()) {
        Level& level = levels.back();
        const int fd = ::dirfd(level.dir);
        errno = 0;
        const dirent* entry = ::readdir(level.dir);
        if (entry == nullptr) {
            if (errno != 0) {
                const Error error = Error::fromErrno(errno, "Could not read the folder", level.path);
                closeAll();
                return error;
            }
            // Emptied: remove it from the folder above.
            const std::string emptiedName = level.name;
            const std::string emptiedPath = level.path;
            ::closedir(level.dir);
            levels.pop_back();
            const int above = levels.empty() ? parentFd : ::dirfd(levels.back().dir);
            if (::unlinkat(above, emptiedName.c_str(), AT_REMOVEDIR) != 0) {
                const Error error = Error::fromErrno(errno, "Could not remove the folder", emptiedPath);
                closeAll();
                return error;
            }
            continue;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;

        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || isFolder) {
            const auto facts = factsAt(fd, entry->d_name);
            if (!facts) {
                if (errno == ENOENT) continue;  // gone meanwhile
                const Error error = Error::fromErrno(errno, "Could not examine the item", childPath(level.path, entry->d_name));
                closeAll();
                return error;
            }
            isFolder = facts->type == DirectoryEntryType::directory;
            if (isFolder && isOnOtherFileSystem(*facts, *top)) {
                const Error error = Error::fromErrno(EXDEV, "A mount point inside the folder was left alone",
                                                     childPath(level.path, entry->d_name));
                closeAll();
                return error;
            }
        }
        if (!isFolder) {
            if (::unlinkat(fd, entry->d_name, 0) != 0 && errno != ENOENT) {
                const Error error = Error::fromErrno(errno, "Could not remove the file", childPath(level.path, entry->d_name));
                closeAll();
                return error;
            }
            continue;
        }
        int childFd = ::openat(fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (childFd >= 0) {
            // What was opened, not what was looked at a moment before.
            const auto opened = factsOfDescriptor(childFd);
            if (!opened || isOnOtherFileSystem(*opened, *top)) {
                ::close(childFd);
                const Error error = Error::fromErrno(EXDEV, "A mount point inside the folder was left alone",
                                                     childPath(level.path, entry->d_name));
                closeAll();
                return error;
            }
        }
        DIR* childDir = childFd >= 0 ? ::fdopendir(childFd) : nullptr;
        if (childDir == nullptr) {
            const int why = errno;
            if (childFd >= 0) ::close(childFd);
            const Error error = Error::fromErrno(why, "Could not open the folder", childPath(level.path, entry->d_name));
            closeAll();
            return error;
        }
        // The level reference may move with the vector: take what is needed first.
        std::string path = childPath(level.path, entry->d_name);
        std::string childName = entry->d_name;
        levels.push_back({childDir, std::move(childName), std::move(path)});
    }
    return std::nullopt;
}

}  // namespace kestrane::platform
