#pragma once

#include "platform/FileFacts.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kestrane::platform {

// A regular file opened for reading, with the facts of what was opened.
// Opened relative to its parent folder reached without following links
// (OpenParent), the last component not followed either, without blocking.
class OpenedFile {
public:
    // Opens the regular file at path; none (errno set) for anything else.
    static std::optional<OpenedFile> open(const std::string& path);
    // Opens it only when it is still the file `seen` describes (identity,
    // size, modification time); none otherwise, errno ESTALE when something
    // else is there now.
    static std::optional<OpenedFile> openUnchanged(const std::string& path, const FileFacts& seen);

    ~OpenedFile();
    OpenedFile(OpenedFile&& other) noexcept;
    OpenedFile& operator=(OpenedFile&& other) noexcept;
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    int fd() const { return m_fd; }
    const FileFacts& facts() const { return m_facts; }
    // Whether the open file still has the size and modification time it had
    // when opened (nobody wrote to it meanwhile).
    bool isUnchangedSinceOpened() const;

private:
    OpenedFile(int fd, FileFacts facts) : m_fd(fd), m_facts(facts) {}

    int m_fd = -1;
    FileFacts m_facts;
};

// Compares the data of two open files byte for byte, from their start, in
// large reads into two buffers that the comparer allocates once and reuses:
// the bytes of a file are read once and compared at memory speed, so a
// comparison costs what reading both files costs. Not thread-safe: one
// comparer per thread.
class ByteComparer {
public:
    static constexpr std::size_t kReadLength = 1 << 20;  // 1 MiB per read and file

    enum class Result : std::uint8_t {
        equal,      // same length, same bytes
        different,  // a byte or the length differs
        readFailed, // see error()
    };

    ByteComparer();
    ~ByteComparer();
    ByteComparer(const ByteComparer&) = delete;
    ByteComparer& operator=(const ByteComparer&) = delete;

    Result compare(const OpenedFile& first, const OpenedFile& second);
    // The errno of the last readFailed.
    int error() const { return m_error; }
    // Bytes read by this comparer so far (both files), for progress and benchmarks.
    std::uint64_t bytesRead() const { return m_bytesRead; }

private:
    // Reads up to length bytes at offset; the count read (0 at the end), or -1.
    std::int64_t readFully(int fd, std::byte* buffer, std::size_t length, std::uint64_t offset);

    std::unique_ptr<std::byte[]> m_first;
    std::unique_ptr<std::byte[]> m_second;
    int m_error = 0;
    std::uint64_t m_bytesRead = 0;
};

}  // namespace kestrane::platform
