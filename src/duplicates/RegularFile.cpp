#include "duplicates/RegularFile.h"

#include "platform/DirectoryReader.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace kestrane {

RegularFile::RegularFile(const std::string& path, ContentHasher::FileKind kind) {
    const platform::PathAnchor anchor(path);
    if (!anchor) {
        fail(ContentHasher::Failure::cannotOpen, errno);
        return;
    }
    struct stat before {};
    const bool checkFirst = kind != ContentHasher::FileKind::regular;
    if (checkFirst) {
        if (::fstatat(anchor.directory(), anchor.name(), &before, AT_SYMLINK_NOFOLLOW) != 0) {
            fail(ContentHasher::Failure::cannotOpen, errno);
            return;
        }
        if (!S_ISREG(before.st_mode)) {
            fail(ContentHasher::Failure::notRegularFile, 0);
            return;
        }
    }
    int fd = -1;
    do {
        fd = ::openat(anchor.directory(), anchor.name(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // O_NOFOLLOW on a link gives ELOOP: something else than a file is there now.
        if (errno == ELOOP)
            fail(ContentHasher::Failure::notRegularFile, 0);
        else
            fail(ContentHasher::Failure::cannotOpen, errno);
        return;
    }
    if (::fstat(fd, &m_opened) != 0 || !S_ISREG(m_opened.st_mode) ||
        (checkFirst && (m_opened.st_dev != before.st_dev || m_opened.st_ino != before.st_ino))) {
        ::close(fd);
        fail(ContentHasher::Failure::notRegularFile, 0);
        return;
    }
    // O_NONBLOCK stays: local file systems ignore it on files, and the reads
    // switch to blocking the first time one says it would block (retries()).
    m_fd = fd;
    m_size = static_cast<std::uint64_t>(std::max<off_t>(m_opened.st_size, 0));
}

RegularFile::~RegularFile() {
    close();
}

void RegularFile::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool RegularFile::unchangedSinceOpen() const {
    struct stat now {};
    if (::fstat(m_fd, &now) != 0) return false;
    return now.st_size == m_opened.st_size && now.st_mtim.tv_sec == m_opened.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == m_opened.st_mtim.tv_nsec;
}

ssize_t RegularFile::read(void* buffer, std::size_t length) {
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, length);
        if (n >= 0 || !retries()) return n;
    }
}

ssize_t RegularFile::readAt(void* buffer, std::size_t length, std::uint64_t position) {
    for (;;) {
        const ssize_t n = ::pread(m_fd, buffer, length, static_cast<off_t>(position));
        if (n >= 0 || !retries()) return n;
    }
}

bool RegularFile::retries() {
    if (errno == EINTR) return true;
    if ((errno != EAGAIN && errno != EWOULDBLOCK) || !m_nonBlocking) return false;
    m_nonBlocking = false;
    const int error = errno;
    if (::fcntl(m_fd, F_SETFL, 0) == 0) return true;
    errno = error;
    return false;
}

platform::FileIdentity RegularFile::identity() const {
    return {static_cast<std::uint64_t>(m_opened.st_dev), static_cast<std::uint64_t>(m_opened.st_ino)};
}

platform::FileTime RegularFile::modification() const {
    return {static_cast<std::int64_t>(m_opened.st_mtim.tv_sec), static_cast<std::uint32_t>(m_opened.st_mtim.tv_nsec)};
}

void RegularFile::fail(ContentHasher::Failure failure, int error) {
    m_failure = failure;
    m_error = error;
}

}  // namespace kestrane
