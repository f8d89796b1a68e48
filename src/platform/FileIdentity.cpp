#include "platform/FileIdentity.h"

#include "platform/DirectoryReader.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace kestrane::platform {

std::optional<FileIdentity> identityOfPath(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const PathAnchor anchor(path);
    if (!anchor) return std::nullopt;
    struct stat attributes {};
    if (::fstatat(anchor.directory(), anchor.name(), &attributes, 0) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(attributes.st_dev), static_cast<std::uint64_t>(attributes.st_ino)};
}

}  // namespace kestrane::platform
