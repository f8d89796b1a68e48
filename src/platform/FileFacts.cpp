#include "platform/FileFacts.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace kestrane::platform {

std::optional<FileFacts> factsAt(int dirFd, const char* name) {
    struct statx info {};
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (name[0] == '\0' ? AT_EMPTY_PATH : 0);
    if (::statx(dirFd, name, flags, STATX_TYPE | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_NLINK | STATX_MNT_ID,
                &info) != 0)
        return std::nullopt;
    FileFacts facts;
    facts.identity = {static_cast<std::uint64_t>(::makedev(info.stx_dev_major, info.stx_dev_minor)), info.stx_ino};
    facts.type = entryTypeOfMode(info.stx_mode);
    facts.size = facts.type == DirectoryEntryType::directory ? 0 : info.stx_size;
    facts.modification = FileTime::fromStatx(info.stx_mtime);
    facts.linkCount = info.stx_nlink;
    if (info.stx_mask & STATX_MNT_ID) facts.mountId = info.stx_mnt_id;
    facts.isMountRoot = (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (info.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    return facts;
}

std::optional<FileFacts> factsOfDescriptor(int fd) {
    return factsAt(fd, "");
}

std::optional<FileFacts> factsOfPath(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return std::nullopt;
    }
    const PathAnchor anchor(path);
    if (!anchor) return std::nullopt;
    return factsAt(anchor.directory(), anchor.name());
}

}  // namespace kestrane::platform
