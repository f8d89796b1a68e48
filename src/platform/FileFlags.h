#pragma once

#include "platform/Error.h"

#include <optional>
#include <string>

namespace kestrane::platform {

// The attributes of a file that lock it (chattr +i, chattr +a). Neither the
// owner nor root can remove, rename or replace an immutable file or anything
// in an immutable folder; an append-only file cannot be removed either, and
// nothing can be taken out of an append-only folder. Only a process with
// CAP_LINUX_IMMUTABLE (an administrator) may clear them.
struct FileFlags {
    bool immutable = false;   // FS_IMMUTABLE_FL
    bool appendOnly = false;  // FS_APPEND_FL

    // Whether nothing can be taken away from it: what removal calls locked.
    bool isLocked() const { return immutable || appendOnly; }
};

// The flags of a regular file or a folder, the last component not followed.
// Read with FS_IOC_GETFLAGS on the opened file; when it cannot be opened (no
// read permission), from the attributes statx reports. None when neither
// tells (a symbolic link, a device, a file system that keeps no such flags,
// a path that does not exist): such a file counts as not locked.
std::optional<FileFlags> fileFlagsOfPath(const std::string& path);

// Sets or clears the two flags of a regular file or a folder, leaving its
// other attributes as they are (FS_IOC_SETFLAGS). Needs CAP_LINUX_IMMUTABLE.
std::optional<Error> setFileFlags(const std::string& path, FileFlags flags);

}  // namespace kestrane::platform
