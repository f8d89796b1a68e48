#pragma once

#include "platform/Error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane::platform {

// What kind of object a directory entry is. Nothing is ever followed: a
// symbolic link is reported as a link, whatever it points to.
enum class DirectoryEntryType : std::uint8_t {
    unknown,
    regular,
    directory,
    symlink,
    fifo,
    socket,
    charDevice,
    blockDevice,
};

// The kind of object that a stat mode (st_mode, stx_mode) describes.
DirectoryEntryType entryTypeOfMode(unsigned mode);

// One entry of a directory as the reader returns it. Every field is 0 (or
// false) when the file system did not return the attribute.
struct DirectoryEntry {
    // The name's bytes (any bytes but '/' and NUL; not necessarily UTF-8).
    // Points into the reader's buffer: valid until its next readBatch(), open or
    // close. name.data() is NUL-terminated, so it can be handed to openat as is.
    std::string_view name;
    // The file system's device number and the inode on it: together, which
    // file this is (two names with the same pair are one file, hard links).
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // Non-directories: the data length in bytes (0 for symbolic links).
    std::uint64_t logicalSize = 0;
    // Non-directories: the bytes allocated on disk (less than logicalSize for a
    // sparse file; 0 for symbolic links).
    std::uint64_t allocatedSize = 0;
    std::int64_t modificationSeconds = 0;
    std::uint32_t modificationNanoseconds = 0;
    // The raw link count (0 for symbolic links, which are not examined).
    std::uint32_t linkCount = 0;
    DirectoryEntryType type = DirectoryEntryType::unknown;
    // The root of another mount: a file system mounted on this directory, or
    // a file bind-mounted over this name. Never set for symbolic links.
    bool isMountPoint = false;
};

// Reads one directory at a time in bulk: getdents64 into a 25,600-byte buffer
// that the reader owns and reuses for every folder and every call, then one
// statx per entry relative to the open directory (no path is built for an
// entry, so folders deeper than PATH_MAX read like any other). Nothing is
// allocated per call or per entry. Not thread-safe: one reader per worker.
//
//     DirectoryReader reader;
//     if (auto error = reader.open(path)) { ... }
//     while (reader.readBatch([&](const DirectoryEntry& entry) { ... }) == DirectoryReader::ReadResult::entries) {
//         if (canceled) break;
//     }
//     if (auto error = reader.lastError()) { ... the folder was read only in part ... }
class DirectoryReader {
public:
    static constexpr std::size_t kBufferSize = 25600;

    // How mount points among the entries are recognised.
    enum class MountDetection : std::uint8_t {
        // The statx mount-root attribute when the kernel provides it (5.8 and
        // later), otherwise the comparison below.
        automatic,
        // An entry is a mount point when its device or its mount id differs from
        // the directory's own (the way of kernels without the attribute).
        compareWithParent,
    };

    enum class ReadResult : std::uint8_t {
        entries,  // a batch was read (it may have held only "." and ".."); read on
        end,      // the directory has no more entries
        failed,   // reading stopped on an error, see lastError(); no more entries follow
    };

    explicit DirectoryReader(MountDetection mountDetection = MountDetection::automatic);
    ~DirectoryReader();
    DirectoryReader(DirectoryReader&& other) noexcept;
    DirectoryReader& operator=(DirectoryReader&& other) noexcept;
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    // Opens a directory by its path, of any length; closes the previous one.
    // A symbolic link as the last component is not followed (the open fails).
    std::optional<Error> open(const std::string& path);
    // Opens the directory `name` inside the open directory parentFd (or a path
    // relative to it, or AT_FDCWD with any path). parentFd may be this reader's
    // own fd(): it is closed only once the child is open. pathForMessages names
    // the folder in errors; empty means `name`.
    std::optional<Error> openAt(int parentFd, const char* name, std::string_view pathForMessages = {});
    void close();

    bool isOpen() const { return m_fd >= 0; }
    // The open directory: children can be opened relative to it (openAt, openat).
    int fd() const { return m_fd; }

    // Reads the next batch of entries and calls visit(const DirectoryEntry&) for
    // each one, in directory order, without "." and "..". An entry that is gone
    // by the time it is examined is skipped (see entriesSkipped()). The names
    // handed to visit stay valid until the next call.
    template <typename Visitor>
    ReadResult readBatch(Visitor&& visit) {
        const ReadResult result = fillBuffer();
        if (result == ReadResult::entries) {
            DirectoryEntry entry;
            while (nextEntryInBuffer(entry)) visit(static_cast<const DirectoryEntry&>(entry));
        }
        return result;
    }

    // Entries handed out since the directory was opened: once readBatch() has
    // returned `end`, the exact number of entries of the directory (less those skipped).
    std::uint32_t entriesRead() const { return m_entriesRead; }
    // Entries that could not be examined since the directory was opened (removed meanwhile).
    std::uint32_t entriesSkipped() const { return m_entriesSkipped; }
    // Why the last open or read failed, or the first entry that could not be
    // examined for another reason than being gone (the folder was then read in
    // part); cleared by the next open.
    const std::optional<Error>& lastError() const { return m_lastError; }

private:
    std::optional<Error> adopt(int fd, int openErrno, std::string_view path);
    ReadResult fillBuffer();
    bool nextEntryInBuffer(DirectoryEntry& entry);
    bool examine(const char* name, unsigned char directoryType, DirectoryEntry& entry);
    bool parentIdentity();

    std::unique_ptr<std::byte[]> m_buffer;
    std::size_t m_bufferUsed = 0;
    std::size_t m_bufferOffset = 0;
    int m_fd = -1;
    MountDetection m_mountDetection;
    bool m_finished = false;
    bool m_readFailed = false;
    // The open directory's own device and mount id, taken when first needed.
    bool m_haveParentIdentity = false;
    std::uint64_t m_parentDevice = 0;
    std::uint64_t m_parentMountId = 0;
    bool m_parentHasMountId = false;
    std::uint32_t m_entriesRead = 0;
    std::uint32_t m_entriesSkipped = 0;
    std::string m_path;  // for messages; its capacity is reused from folder to folder
    std::optional<Error> m_lastError;
};

// Opens a directory by a path of any length: a path longer than PATH_MAX is
// opened piece by piece, each piece relative to the directory before it, with
// the same meaning as one open(2) of the whole path. The last component must be
// a directory and is not followed when it is a symbolic link. Returns a
// close-on-exec descriptor, or -1 with errno set, as open(2) does.
int openDirectoryAtPath(const std::string& path);

// A path of any length as a directory to work relative to and a name inside
// it, for the *at() calls: a path shorter than PATH_MAX stays whole, relative
// to AT_FDCWD; a longer one has its parent opened piece by piece (O_PATH:
// passing through needs search permission only) and keeps its last component.
//
//     PathAnchor anchor(path);
//     if (!anchor) ... errno says why ...
//     int fd = ::openat(anchor.directory(), anchor.name(), O_RDONLY | O_NOFOLLOW);
class PathAnchor {
public:
    explicit PathAnchor(const std::string& path);
    ~PathAnchor();
    PathAnchor(const PathAnchor&) = delete;
    PathAnchor& operator=(const PathAnchor&) = delete;

    // False when the parent of a long path could not be opened (errno was set then).
    explicit operator bool() const { return m_directory != -1; }
    // AT_FDCWD, or the open parent of a long path.
    int directory() const { return m_directory; }
    // The whole path, or the last component of a long one. NUL-terminated.
    const char* name() const { return m_name; }

private:
    int m_directory;
    bool m_ownsDirectory = false;
    std::string m_leaf;
    const char* m_name;
};

}  // namespace kestrane::platform
