#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::platform {

// One mounted file system, as the mount table describes it.
struct VolumeInfo {
    int mountId = 0;
    int parentMountId = 0;
    std::uint64_t device = 0;     // dev_t of the file system (major:minor)
    std::string mountPoint;       // the volume's root: where it is mounted
    std::string rootInFileSystem; // the folder of the file system mounted there ("/" unless a bind mount)
    std::string fileSystemType;   // "ext4", "nfs4", "fuseblk", "fuse.sshfs": the format description
    std::string source;           // "/dev/sda1", "server:/export", "//server/share"
    bool isReadOnly = false;      // mounted read-only, or the file system itself is
    bool isLocal = true;          // false for file systems reached over a network
    bool isNtfs = false;          // ntfs, ntfs3, or fuseblk (ntfs-3g)

    // Parses the text of /proc/PID/mountinfo. Lines that do not have the
    // expected fields are left out. Escaped bytes (\040 for a space, \012 for a
    // line break, \134 for a backslash...) are decoded.
    static std::vector<VolumeInfo> parseMountInfo(std::string_view text);
    // The volume whose mount point is the longest one containing `path` (an
    // absolute path; "//" and a trailing "/" are tolerated): /mnt/ab is not
    // inside /mnt/a. Of two mounts on the same point the later one, which hides
    // the other, wins. nullptr when none contains it.
    static const VolumeInfo* volumeContainingPath(const std::vector<VolumeInfo>& volumes, std::string_view path);

    // Whether a file-system type is reached over a network (nfs, cifs, sshfs...).
    static bool isNetworkFileSystemType(std::string_view type);
    // Whether a file-system type is NTFS ("fuseblk" alone counts: ntfs-3g mounts that way).
    static bool isNtfsFileSystemType(std::string_view type);
};

struct VolumeCapacity {
    std::uint64_t capacity = 0;   // total bytes
    std::uint64_t freeSpace = 0;  // bytes an unprivileged user may still write
};

// Where volume facts come from. The system's provider reads the mount table;
// tests install one that presents network, read-only or NTFS volumes.
class VolumeInfoProvider {
public:
    virtual ~VolumeInfoProvider();
    // The volume holding `path` (which need not exist), nullopt when unknown.
    virtual std::optional<VolumeInfo> volumeForPath(const std::string& path) const = 0;
    // Capacity and free space of the file system holding the existing `path`.
    virtual std::optional<VolumeCapacity> capacityForPath(const std::string& path) const = 0;
    // Every mounted volume, in mount order.
    virtual std::vector<VolumeInfo> mountedVolumes() const = 0;
};

// The provider of the running system: /proc/self/mountinfo and statvfs.
class SystemVolumeInfoProvider : public VolumeInfoProvider {
public:
    // An existing path is matched to its mount exactly (statx mount id), which
    // also sees through symbolic links in it; any other path by the longest
    // mount point containing it. Read-only also when statvfs says so.
    std::optional<VolumeInfo> volumeForPath(const std::string& path) const override;
    std::optional<VolumeCapacity> capacityForPath(const std::string& path) const override;
    std::vector<VolumeInfo> mountedVolumes() const override;
};

// The process-wide provider (the system's unless another was installed).
const VolumeInfoProvider& volumeInfoProvider();
// Installs a provider (nullptr brings back the system's) and returns the
// previous one. Meant for tests, while nothing else asks about volumes: a
// reference obtained before stays valid only as long as its provider lives.
std::shared_ptr<const VolumeInfoProvider> setVolumeInfoProvider(std::shared_ptr<const VolumeInfoProvider> provider);

}  // namespace kestrane::platform
