#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrane::platform {

// Which file a name stands for: its file system's device number and its inode
// there. Two paths with the same identity are one file (hard links of a file,
// or the same folder reached through a symbolic link or a bind mount).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of what path names, following symbolic links on the way and at
// its end (a path of any length); none when it cannot be examined.
std::optional<FileIdentity> identityOfPath(const std::string& path);

}  // namespace kestrane::platform
