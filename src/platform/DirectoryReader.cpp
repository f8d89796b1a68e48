#include "platform/DirectoryReader.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

constexpr int kDirectoryOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
// Directories on the way to a long path are only passed through, as the kernel
// does when it resolves a path: search permission suffices.
constexpr int kIntermediateOpenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE | STATX_BLOCKS | STATX_MTIME | STATX_MNT_ID;

// The kernel's struct linux_dirent64: u64 d_ino, s64 d_off, u16 d_reclen,
// u8 d_type, then the NUL-terminated name. Read field by field so that nothing
// depends on how a record happens to be aligned in the buffer.
constexpr std::size_t kInodeOffset = 0;
constexpr std::size_t kRecordLengthOffset = 16;
constexpr std::size_t kTypeOffset = 18;
constexpr std::size_t kNameOffset = 19;

DirectoryEntryType typeFromDirentType(unsigned char type) {
    switch (type) {
        case DT_REG: return DirectoryEntryType::regular;
        case DT_DIR: return DirectoryEntryType::directory;
        case DT_LNK: return DirectoryEntryType::symlink;
        case DT_FIFO: return DirectoryEntryType::fifo;
        case DT_SOCK: return DirectoryEntryType::socket;
        case DT_CHR: return DirectoryEntryType::charDevice;
        case DT_BLK: return DirectoryEntryType::blockDevice;
        default: return DirectoryEntryType::unknown;
    }
}

void closeKeepingErrno(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

// Opens the directory at `path` (length `length`, NUL-terminated) relative to
// baseFd. A path that does not fit in PATH_MAX is cut at slashes into pieces
// that do; each piece is opened relative to the directory the one before it led to.
int openDirectoryRelative(int baseFd, const char* path, std::size_t length, int finalFlags = kDirectoryOpenFlags) {
    if (length < PATH_MAX) return ::openat(baseFd, path, finalFlags);

    int current = baseFd;
    bool ownsCurrent = false;
    std::size_t position = 0;
    char piece[PATH_MAX];
    while (length - position >= PATH_MAX) {
        // The last slash that ends a piece of at most PATH_MAX - 1 bytes.
        std::size_t slash = position + PATH_MAX - 1;
        while (slash > position && path[slash] != '/') --slash;
        // A piece starting at "/" keeps it (the absolute start); otherwise a
        // piece never starts with a slash, so slash == position means one
        // component is longer than any piece can be.
        if (slash == position) {
            if (ownsCurrent) ::close(current);
            errno = ENAMETOOLONG;
            return -1;
        }
        const std::size_t pieceLength = slash - position;
        std::memcpy(piece, path + position, pieceLength);
        piece[pieceLength] = '\0';
        const int next = ::openat(current, piece, kIntermediateOpenFlags);
        if (ownsCurrent) closeKeepingErrno(current);
        if (next < 0) return -1;
        current = next;
        ownsCurrent = true;
        position = slash;
        while (position < length && path[position] == '/') ++position;
    }
    const char* rest = position < length ? path + position : ".";
    const int fd = ::openat(current, rest, finalFlags);
    if (ownsCurrent) closeKeepingErrno(current);
    return fd;
}

}  // namespace

int openDirectoryAtPath(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    return openDirectoryRelative(AT_FDCWD, path.c_str(), path.size());
}

PathAnchor::PathAnchor(const std::string& path) : m_directory(AT_FDCWD), m_name(path.c_str()) {
    if (path.size() < PATH_MAX) return;
    std::size_t slash = path.size();
    while (slash > 0 && path[slash - 1] == '/') --slash;  // "a/b/" names b
    const std::size_t end = slash;
    while (slash > 0 && path[slash - 1] != '/') --slash;
    if (slash == 0) {  // one component longer than any name can be
        m_directory = -1;
        errno = ENAMETOOLONG;
        return;
    }
    m_leaf.assign(path, slash, end - slash);
    m_name = m_leaf.c_str();
    std::size_t parentLength = slash;
    while (parentLength > 1 && path[parentLength - 1] == '/') --parentLength;
    const std::string parent = path.substr(0, parentLength);
    m_directory = openDirectoryRelative(AT_FDCWD, parent.c_str(), parent.size(), kIntermediateOpenFlags);
    m_ownsDirectory = m_directory >= 0;
}

PathAnchor::~PathAnchor() {
    if (m_ownsDirectory) ::close(m_directory);
}

DirectoryReader::DirectoryReader(MountDetection mountDetection)
    : m_buffer(std::make_unique_for_overwrite<std::byte[]>(kBufferSize)), m_mountDetection(mountDetection) {}

DirectoryReader::~DirectoryReader() { close(); }

DirectoryReader::DirectoryReader(DirectoryReader&& other) noexcept
    : m_buffer(std::move(other.m_buffer)),
      m_bufferUsed(std::exchange(other.m_bufferUsed, 0)),
      m_bufferOffset(std::exchange(other.m_bufferOffset, 0)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_mountDetection(other.m_mountDetection),
      m_finished(other.m_finished),
      m_readFailed(other.m_readFailed),
      m_haveParentIdentity(other.m_haveParentIdentity),
      m_parentDevice(other.m_parentDevice),
      m_parentMountId(other.m_parentMountId),
      m_parentHasMountId(other.m_parentHasMountId),
      m_entriesRead(other.m_entriesRead),
      m_entriesSkipped(other.m_entriesSkipped),
      m_path(std::move(other.m_path)),
      m_lastError(std::move(other.m_lastError)) {}

DirectoryReader& DirectoryReader::operator=(DirectoryReader&& other) noexcept {
    if (this != &other) {
        close();
        m_buffer = std::move(other.m_buffer);
        m_bufferUsed = std::exchange(other.m_bufferUsed, 0);
        m_bufferOffset = std::exchange(other.m_bufferOffset, 0);
        m_fd = std::exchange(other.m_fd, -1);
        m_mountDetection = other.m_mountDetection;
        m_finished = other.m_finished;
        m_readFailed = other.m_readFailed;
        m_haveParentIdentity = other.m_haveParentIdentity;
        m_parentDevice = other.m_parentDevice;
        m_parentMountId = other.m_parentMountId;
        m_parentHasMountId = other.m_parentHasMountId;
        m_entriesRead = other.m_entriesRead;
        m_entriesSkipped = other.m_entriesSkipped;
        m_path = std::move(other.m_path);
        m_lastError = std::move(other.m_lastError);
    }
    return *this;
}

void DirectoryReader::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_bufferUsed = 0;
    m_bufferOffset = 0;
    m_finished = false;
    m_readFailed = false;
    m_haveParentIdentity = false;
    m_entriesRead = 0;
    m_entriesSkipped = 0;
}

std::optional<Error> DirectoryReader::open(const std::string& path) {
    const int fd = openDirectoryAtPath(path);
    return adopt(fd, errno, path);
}

std::optional<Error> DirectoryReader::openAt(int parentFd, const char* name, std::string_view pathForMessages) {
    const std::size_t length = std::strlen(name);
    int fd = -1;
    if (length == 0)
        errno = ENOENT;
    else
        fd = openDirectoryRelative(parentFd, name, length);
    return adopt(fd, errno, pathForMessages.empty() ? std::string_view(name, length) : pathForMessages);
}

// The new folder is opened before the old one is closed, so that a reader can
// descend into a child of the folder it has open (openAt(fd(), name)).
std::optional<Error> DirectoryReader::adopt(int fd, int openErrno, std::string_view path) {
    close();
    m_path.assign(path);
    m_lastError.reset();
    if (fd < 0) {
        m_lastError = Error::fromErrno(openErrno, "Cannot open the folder", m_path);
        return m_lastError;
    }
    m_fd = fd;
    return std::nullopt;
}

DirectoryReader::ReadResult DirectoryReader::fillBuffer() {
    m_bufferUsed = 0;
    m_bufferOffset = 0;
    if (m_fd < 0) {
        if (!m_lastError) m_lastError = Error::fromErrno(EBADF, "No folder is open for reading");
        return ReadResult::failed;
    }
    if (m_finished) return m_readFailed ? ReadResult::failed : ReadResult::end;
    if (!m_buffer) m_buffer = std::make_unique_for_overwrite<std::byte[]>(kBufferSize);
    for (;;) {
        const long count = ::syscall(SYS_getdents64, m_fd, m_buffer.get(), kBufferSize);
        if (count > 0) {
            m_bufferUsed = static_cast<std::size_t>(count);
            return ReadResult::entries;
        }
        if (count == 0) {
            m_finished = true;
            return ReadResult::end;
        }
        if (errno == EINTR) continue;
        m_lastError = Error::fromErrno(errno, "Cannot read the folder", m_path);
        m_finished = true;
        m_readFailed = true;
        return ReadResult::failed;
    }
}

bool DirectoryReader::nextEntryInBuffer(DirectoryEntry& entry) {
    while (m_bufferOffset + kNameOffset < m_bufferUsed) {
        const std::byte* record = m_buffer.get() + m_bufferOffset;
        std::uint16_t recordLength = 0;
        std::memcpy(&recordLength, record + kRecordLengthOffset, sizeof recordLength);
        if (recordLength <= kNameOffset || m_bufferOffset + recordLength > m_bufferUsed) break;
        m_bufferOffset += recordLength;

        const char* name = reinterpret_cast<const char*>(record + kNameOffset);
        const std::size_t nameLength = ::strnlen(name, recordLength - kNameOffset);
        if (name[0] == '.' && (nameLength == 1 || (nameLength == 2 && name[1] == '.'))) continue;

        entry = DirectoryEntry{};
        std::memcpy(&entry.inode, record + kInodeOffset, sizeof entry.inode);
        const auto directoryType = static_cast<unsigned char>(record[kTypeOffset]);
        if (!examine(name, directoryType, entry)) {
            ++m_entriesSkipped;
            continue;
        }
        entry.name = std::string_view(name, nameLength);
        ++m_entriesRead;
        return true;
    }
    m_bufferOffset = m_bufferUsed;
    return false;
}

bool DirectoryReader::examine(const char* name, unsigned char directoryType, DirectoryEntry& entry) {
    // A link's own attributes are of no use to anyone here (links are never
    // followed), and the directory's type for it is final: spare the call.
    if (directoryType == DT_LNK) {
        entry.type = DirectoryEntryType::symlink;
        return true;
    }

    struct statx attributes;
    if (::statx(m_fd, name, kStatxFlags, kStatxMask, &attributes) != 0) {
        // Gone since the directory was read: simply not there any more. Any
        // other failure is kept so the caller learns the folder was read in part.
        if (errno != ENOENT && !m_lastError)
            m_lastError = Error::fromErrno(errno, "Cannot examine an item of the folder", m_path);
        return false;
    }

    const unsigned returned = attributes.stx_mask;
    entry.type = (returned & STATX_TYPE) ? entryTypeOfMode(attributes.stx_mode) : typeFromDirentType(directoryType);
    entry.device = makedev(attributes.stx_dev_major, attributes.stx_dev_minor);
    if (returned & STATX_INO) entry.inode = attributes.stx_ino;
    if (returned & STATX_NLINK) entry.linkCount = attributes.stx_nlink;
    if (returned & STATX_MTIME) {
        entry.modificationSeconds = attributes.stx_mtime.tv_sec;
        entry.modificationNanoseconds = attributes.stx_mtime.tv_nsec;
    }

    if (entry.type == DirectoryEntryType::symlink) return true;
    if (m_mountDetection == MountDetection::automatic && (attributes.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)) {
        entry.isMountPoint = (attributes.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    } else if (parentIdentity()) {
        // Mount ids tell apart every mount, bind mounts of the same file
        // system included, and not a btrfs subvolume (its own device
        // number, but no mount). Without them, the device decides.
        if (m_parentHasMountId && (returned & STATX_MNT_ID))
            entry.isMountPoint = attributes.stx_mnt_id != m_parentMountId;
        else
            entry.isMountPoint = entry.device != m_parentDevice;
    }
    if (entry.type != DirectoryEntryType::directory) {
        if (returned & STATX_SIZE) entry.logicalSize = attributes.stx_size;
        if (returned & STATX_BLOCKS) entry.allocatedSize = attributes.stx_blocks * 512;
    }
    return true;
}

bool DirectoryReader::parentIdentity() {
    if (m_haveParentIdentity) return true;
    struct statx attributes;
    if (::statx(m_fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO | STATX_MNT_ID, &attributes) != 0) return false;
    m_parentDevice = makedev(attributes.stx_dev_major, attributes.stx_dev_minor);
    m_parentHasMountId = (attributes.stx_mask & STATX_MNT_ID) != 0;
    m_parentMountId = attributes.stx_mnt_id;
    m_haveParentIdentity = true;
    return true;
}

DirectoryEntryType entryTypeOfMode(unsigned mode) {
    switch (mode & S_IFMT) {
        case S_IFREG: return DirectoryEntryType::regular;
        case S_IFDIR: return DirectoryEntryType::directory;
        case S_IFLNK: return DirectoryEntryType::symlink;
        case S_IFIFO: return DirectoryEntryType::fifo;
        case S_IFSOCK: return DirectoryEntryType::socket;
        case S_IFCHR: return DirectoryEntryType::charDevice;
        case S_IFBLK: return DirectoryEntryType::blockDevice;
        default: return DirectoryEntryType::unknown;
    }
}

}  // namespace kestrane::platform
