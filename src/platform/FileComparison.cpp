#include "platform/FileComparison.h"

#include "platform/OpenParent.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace kestrane::platform {

std::optional<OpenedFile> OpenedFile::open(const std::string& path) {
    std::optional<Error> error;
    const auto parent = OpenParent::open(path, error);
    if (!parent) {
        errno = error ? error->code : ENOENT;
        return std::nullopt;
    }
    // Not following the last link and not blocking on a FIFO; then only a
    // regular file is kept.
    const int fd = ::openat(parent->fd(), parent->name(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    const auto facts = factsOfDescriptor(fd);
    if (!facts || facts->type != DirectoryEntryType::regular) {
        const int why = facts ? EINVAL : errno;
        ::close(fd);
        errno = why;
        return std::nullopt;
    }
    // Reads block again from here on, as ordinary reads of a regular file do.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return OpenedFile(fd, *facts);
}

std::optional<OpenedFile> OpenedFile::openUnchanged(const std::string& path, const FileFacts& seen) {
    auto file = open(path);
    if (!file) return std::nullopt;
    if (!file->facts().isUnchangedFrom(seen)) {
        errno = ESTALE;
        return std::nullopt;
    }
    return file;
}

OpenedFile::~OpenedFile() {
    if (m_fd >= 0) ::close(m_fd);
}

OpenedFile::OpenedFile(OpenedFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)), m_facts(other.m_facts) {}

OpenedFile& OpenedFile::operator=(OpenedFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_facts = other.m_facts;
    }
    return *this;
}

bool OpenedFile::isUnchangedSinceOpened() const {
    const auto now = factsOfDescriptor(m_fd);
    return now && now->isUnchangedFrom(m_facts);
}

ByteComparer::ByteComparer()
    : m_first(std::make_unique_for_overwrite<std::byte[]>(kReadLength)),
      m_second(std::make_unique_for_overwrite<std::byte[]>(kReadLength)) {}

ByteComparer::~ByteComparer() = default;

std::int64_t ByteComparer::readFully(int fd, std::byte* buffer, std::size_t length, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            m_error = errno;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    m_bytesRead += done;
    return static_cast<std::int64_t>(done);
}

ByteComparer::Result ByteComparer::compare(const OpenedFile& first, const OpenedFile& second) {
    m_error = 0;
    if (first.facts().size != second.facts().size) return Result::different;
    std::uint64_t offset = 0;
    for (;;) {
        const std::int64_t a = readFully(first.fd(), m_first.get(), kReadLength, offset);
        if (a < 0) return Result::readFailed;
        const std::int64_t b = readFully(second.fd(), m_second.get(), kReadLength, offset);
        if (b < 0) return Result::readFailed;
        if (a != b) return Result::different;
        if (a == 0) return Result::equal;
        if (std::memcmp(m_first.get(), m_second.get(), static_cast<std::size_t>(a)) != 0) return Result::different;
        offset += static_cast<std::uint64_t>(a);
    }
}

}  // namespace kestrane::platform
