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
    // Back to blocking reads: O_NONBLOCK only guarded the open, and a few
    // network and FUSE file systems honour it on regular files.
    ::fcntl(fd, F_SETFL, 0);
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
