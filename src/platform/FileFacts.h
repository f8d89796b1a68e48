#pragma once

#include "platform/DirectoryReader.h"
#include "platform/FileIdentity.h"
#include "platform/FileTime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestrane::platform {

// What can be told of a file without reading it, as the checks before a
// removal compare it: which file a name stands for (device and inode), its
// kind, its data length and when its data was last written. Nothing is
// followed: a symbolic link gives the link's own facts.
struct FileFacts {
    FileIdentity identity;
    DirectoryEntryType type = DirectoryEntryType::unknown;
    std::uint64_t size = 0;  // 0 for folders: their length means nothing across file systems
    FileTime modification;
    std::uint32_t linkCount = 0;
    std::uint64_t mountId = 0;  // 0 when the kernel does not say
    bool isMountRoot = false;   // another file system (or a bind mount) starts here

    // The same file with the same data length and modification time: what a
    // file that nobody wrote to since `seen` was taken still has.
    bool isUnchangedFrom(const FileFacts& seen) const {
        return identity == seen.identity && type == seen.type && size == seen.size && modification == seen.modification;
    }
};

// The facts of `name` inside the open folder dirFd (AT_FDCWD for a path), or
// of dirFd itself when name is "". None (errno set) when it cannot be examined.
std::optional<FileFacts> factsAt(int dirFd, const char* name);
// The facts of an open descriptor.
std::optional<FileFacts> factsOfDescriptor(int fd);
// The facts of what a path of any length names, the last component not followed.
std::optional<FileFacts> factsOfPath(const std::string& path);

}  // namespace kestrane::platform
