#include "platform/FileFlags.h"

#include "platform/DirectoryReader.h"

#include <cerrno>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

// Opens a regular file or a folder for the flag calls; never anything else
// (opening a FIFO or a device may block or have effects). -1 with errno.
int openForFlags(const PathAnchor& anchor, int extraFlags) {
    struct stat info {};
    if (::fstatat(anchor.directory(), anchor.name(), &info, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        errno = ENOTSUP;
        return -1;
    }
    const int fd = ::openat(anchor.directory(), anchor.name(),
                            O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | extraFlags);
    if (fd < 0) return -1;
    struct stat opened {};
    // The same object that was looked at: a name swapped in between is left alone.
    if (::fstat(fd, &opened) != 0 || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino) {
        ::close(fd);
        errno = EAGAIN;
        return -1;
    }
    return fd;
}

std::optional<FileFlags> flagsFromStatx(const PathAnchor& anchor) {
    struct statx info {};
    if (::statx(anchor.directory(), anchor.name(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &info) != 0)
        return std::nullopt;
    const auto wanted = static_cast<std::uint64_t>(STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND);
    if ((info.stx_attributes_mask & wanted) != wanted) return std::nullopt;
    if (!S_ISREG(info.stx_mode) && !S_ISDIR(info.stx_mode)) return std::nullopt;
    return FileFlags{(info.stx_attributes & STATX_ATTR_IMMUTABLE) != 0, (info.stx_attributes & STATX_ATTR_APPEND) != 0};
}

}  // namespace

std::optional<FileFlags> fileFlagsOfPath(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const PathAnchor anchor(path);
    if (!anchor) return std::nullopt;
    const int fd = openForFlags(anchor, 0);
    if (fd < 0) return flagsFromStatx(anchor);
    int flags = 0;
    const bool read = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    ::close(fd);
    if (!read) return flagsFromStatx(anchor);
    return FileFlags{(flags & FS_IMMUTABLE_FL) != 0, (flags & FS_APPEND_FL) != 0};
}

std::optional<Error> setFileFlags(const std::string& path, FileFlags wanted) {
    const PathAnchor anchor(path);
    if (!anchor) return Error::fromErrno(errno, "Could not reach the file", path);
    const int fd = openForFlags(anchor, 0);
    if (fd < 0) return Error::fromErrno(errno, "Could not open the file to change its attributes", path);
    int flags = 0;
    std::optional<Error> error;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        error = Error::fromErrno(errno, "Could not read the file's attributes", path);
    } else {
        flags = wanted.immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        flags = wanted.appendOnly ? (flags | FS_APPEND_FL) : (flags & ~FS_APPEND_FL);
        if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)
            error = Error::fromErrno(errno, "Could not change the file's attributes", path);
    }
    ::close(fd);
    return error;
}

}  // namespace kestrane::platform
