#include "platform/VolumeInfo.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

// File systems whose data lives on another machine. FUSE file systems appear
// as "fuse.<program>".
constexpr std::string_view kNetworkTypes[] = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "smb2", "ncpfs", "ncp", "9p", "afs", "coda", "ceph",
    "glusterfs", "lustre", "gpfs", "beegfs", "orangefs", "pvfs2", "ocfs2", "gfs2", "davfs", "sshfs",
    "shfs", "afpfs", "curlftpfs", "fuse.sshfs", "fuse.davfs2", "fuse.glusterfs", "fuse.ceph-fuse",
    "fuse.cephfs", "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse", "fuse.curlftpfs", "fuse.smbnetfs",
    "fuse.afpfs", "fuse.gvfsd-fuse", "fuse.juicefs", "fuse.moosefs", "fuse.blobfuse2",
};

constexpr std::string_view kNtfsTypes[] = {
    "ntfs", "ntfs3", "fuseblk", "fuse.ntfs-3g", "fuse.lowntfs-3g", "fuse.ntfs",
};

bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }

// The kernel writes a space, tab, line break and backslash in a mount-table
// field as a backslash and three octal digits.
std::string decodeField(std::string_view field) {
    std::string decoded;
    decoded.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctalDigit(field[i + 1]) &&
            isOctalDigit(field[i + 2]) && isOctalDigit(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            decoded.push_back(static_cast<char>(value & 0xff));
            i += 3;
        } else {
            decoded.push_back(field[i]);
        }
    }
    return decoded;
}

bool hasOption(std::string_view options, std::string_view wanted) {
    while (!options.empty()) {
        const std::size_t comma = options.find(',');
        if (options.substr(0, comma) == wanted) return true;
        if (comma == std::string_view::npos) break;
        options.remove_prefix(comma + 1);
    }
    return false;
}

template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<VolumeInfo> parseLine(std::string_view line) {
    // Fields are separated by single spaces; an empty source shows as an empty field.
    std::array<std::string_view, 64> fields;
    std::size_t count = 0;
    while (count < fields.size()) {
        const std::size_t space = line.find(' ');
        fields[count++] = line.substr(0, space);
        if (space == std::string_view::npos) break;
        line.remove_prefix(space + 1);
    }
    // mountId parentId major:minor root mountPoint options [optional...] - type source superOptions
    std::size_t separator = 6;
    while (separator < count && fields[separator] != "-") ++separator;
    if (separator + 2 >= count) return std::nullopt;

    VolumeInfo volume;
    if (!parseNumber(fields[0], volume.mountId) || !parseNumber(fields[1], volume.parentMountId)) return std::nullopt;
    const std::string_view device = fields[2];
    const std::size_t colon = device.find(':');
    unsigned major = 0;
    unsigned minor = 0;
    if (colon == std::string_view::npos || !parseNumber(device.substr(0, colon), major) ||
        !parseNumber(device.substr(colon + 1), minor))
        return std::nullopt;
    volume.device = makedev(major, minor);
    volume.rootInFileSystem = decodeField(fields[3]);
    volume.mountPoint = decodeField(fields[4]);
    if (volume.mountPoint.empty() || volume.mountPoint.front() != '/') return std::nullopt;
    volume.fileSystemType = decodeField(fields[separator + 1]);
    volume.source = decodeField(fields[separator + 2]);
    const std::string_view superOptions = separator + 3 < count ? fields[separator + 3] : std::string_view();
    volume.isReadOnly = hasOption(fields[5], "ro") || hasOption(superOptions, "ro");
    volume.isLocal = !VolumeInfo::isNetworkFileSystemType(volume.fileSystemType);
    volume.isNtfs = VolumeInfo::isNtfsFileSystemType(volume.fileSystemType);
    return volume;
}

// "/a//b/./c/../" -> "/a/b"; a relative path stays relative.
std::string normalizedPath(std::string_view path) {
    std::string result;
    result.reserve(path.size());
    const bool absolute = !path.empty() && path.front() == '/';
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view component = path.substr(0, slash);
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            const std::size_t last = result.rfind('/');
            if (last != std::string::npos) {
                result.resize(last);
                continue;
            }
            if (absolute) continue;
        }
        if (absolute || !result.empty()) result.push_back('/');
        result.append(component);
    }
    if (absolute && result.empty()) result.push_back('/');
    return result;
}

bool mountPointContains(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    return path.size() >= mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

std::string readWholeFile(const char* path) {
    std::string text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char chunk[16384];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count > 0) {
            text.append(chunk, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(fd);
    return text;
}

std::mutex& providerMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const VolumeInfoProvider>& installedProvider() {
    static std::shared_ptr<const VolumeInfoProvider> provider = std::make_shared<SystemVolumeInfoProvider>();
    return provider;
}

}  // namespace

std::vector<VolumeInfo> VolumeInfo::parseMountInfo(std::string_view text) {
    std::vector<VolumeInfo> volumes;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (line.empty()) continue;
        if (auto volume = parseLine(line)) volumes.push_back(std::move(*volume));
    }
    return volumes;
}

const VolumeInfo* VolumeInfo::volumeContainingPath(const std::vector<VolumeInfo>& volumes, std::string_view path) {
    const std::string normalized = normalizedPath(path);
    if (normalized.empty() || normalized.front() != '/') return nullptr;
    const VolumeInfo* best = nullptr;
    for (const VolumeInfo& volume : volumes) {
        if (!mountPointContains(volume.mountPoint, normalized)) continue;
        if (best == nullptr || volume.mountPoint.size() >= best->mountPoint.size()) best = &volume;
    }
    return best;
}

bool VolumeInfo::isNetworkFileSystemType(std::string_view type) {
    for (std::string_view known : kNetworkTypes)
        if (type == known) return true;
    return false;
}

bool VolumeInfo::isNtfsFileSystemType(std::string_view type) {
    for (std::string_view known : kNtfsTypes)
        if (type == known) return true;
    return false;
}

VolumeInfoProvider::~VolumeInfoProvider() = default;

std::vector<VolumeInfo> SystemVolumeInfoProvider::mountedVolumes() const {
    return VolumeInfo::parseMountInfo(readWholeFile("/proc/self/mountinfo"));
}

std::optional<VolumeInfo> SystemVolumeInfoProvider::volumeForPath(const std::string& path) const {
    const std::vector<VolumeInfo> volumes = mountedVolumes();
    const VolumeInfo* found = nullptr;

    struct statx attributes;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID, &attributes) == 0 &&
        (attributes.stx_mask & STATX_MNT_ID)) {
        for (const VolumeInfo& volume : volumes)
            if (static_cast<std::uint64_t>(volume.mountId) == attributes.stx_mnt_id) found = &volume;
    }
    if (found == nullptr) {
        std::string absolute = path;
        if (absolute.empty() || absolute.front() != '/') {
            char cwd[PATH_MAX];
            if (::getcwd(cwd, sizeof cwd) == nullptr) return std::nullopt;
            absolute = std::string(cwd) + "/" + path;
        }
        found = VolumeInfo::volumeContainingPath(volumes, absolute);
    }
    if (found == nullptr) return std::nullopt;

    VolumeInfo volume = *found;
    struct statvfs fileSystem;
    if (!volume.isReadOnly && ::statvfs(path.c_str(), &fileSystem) == 0 && (fileSystem.f_flag & ST_RDONLY))
        volume.isReadOnly = true;
    return volume;
}

std::optional<VolumeCapacity> SystemVolumeInfoProvider::capacityForPath(const std::string& path) const {
    struct statvfs fileSystem;
    if (::statvfs(path.c_str(), &fileSystem) != 0) return std::nullopt;
    const std::uint64_t unit = fileSystem.f_frsize != 0 ? fileSystem.f_frsize : fileSystem.f_bsize;
    VolumeCapacity result;
    result.capacity = static_cast<std::uint64_t>(fileSystem.f_blocks) * unit;
    result.freeSpace = static_cast<std::uint64_t>(fileSystem.f_bavail) * unit;
    return result;
}

const VolumeInfoProvider& volumeInfoProvider() {
    std::lock_guard lock(providerMutex());
    return *installedProvider();
}

std::shared_ptr<const VolumeInfoProvider> setVolumeInfoProvider(std::shared_ptr<const VolumeInfoProvider> provider) {
    if (!provider) provider = std::make_shared<SystemVolumeInfoProvider>();
    std::lock_guard lock(providerMutex());
    std::swap(installedProvider(), provider);
    return provider;
}

}  // namespace kestrane::platform
