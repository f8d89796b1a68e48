#pragma once

#include "duplicates/ContentHasher.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>

namespace kestrane {

// An open regular file, read-only, for computing a content key. Anything else
// (a FIFO, a socket, a device, a folder, a symbolic link) is refused before
// any read: it is opened without following a final link and without
// blocking, and must be a regular file once open. Unless the caller has just
// seen a regular file at the path (FileKind::regular), the path is looked at
// with lstat first, so that a device node is never opened at all (opening
// some devices has side effects). Paths of any length are opened, relative
// to their parent folder when they are longer than PATH_MAX.
class RegularFile {
public:
    RegularFile(const std::string& path, ContentHasher::FileKind kind);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // The size when it was opened.
    std::uint64_t size() const { return m_size; }
    // Why it is not open: cannotOpen (see error()) or notRegularFile.
    ContentHasher::Failure failure() const { return m_failure; }
    int error() const { return m_error; }

    // One read(2) or pread(2), again after a signal: the count read, or -1
    // with errno set. The file stays open without blocking (so that opening
    // something else than a file never waits) unless a read says it would
    // have to wait, as some network and FUSE file systems do on files: then
    // it is switched to blocking reads and the read is tried again.
    ssize_t read(void* buffer, std::size_t length);
    ssize_t readAt(void* buffer, std::size_t length, std::uint64_t position);

    // Whether the size and the modification time are still those of the open.
    bool unchangedSinceOpen() const;
    // Which file was opened, and its modification time then.
    platform::FileIdentity identity() const;
    platform::FileTime modification() const;
    // Closes the file now (the destructor does it otherwise).
    void close();

private:
    void fail(ContentHasher::Failure failure, int error);
    // After a read that failed with errno: whether to try it again.
    bool retries();

    int m_fd = -1;
    bool m_nonBlocking = true;
    std::uint64_t m_size = 0;
    struct stat m_opened {};
    ContentHasher::Failure m_failure = ContentHasher::Failure::none;
    int m_error = 0;
};

}  // namespace kestrane
