#include "duplicates/KeyStream.h"

#include "duplicates/Md5Lanes.h"
#include "duplicates/PartialKeyBlocks.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace kestrane {

namespace {

constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());

}  // namespace

KeyStream::KeyStream(std::string path, std::uint64_t listedSize, std::uint64_t blockLength, std::uint64_t threshold)
    : m_path(std::move(path)),
      m_listedSize(listedSize),
      m_partial(ContentHasher::usesPartialKey(listedSize, blockLength, threshold)) {
    if (!m_partial) return;
    // The blocks of ContentHasher's partial key, in the order they are digested.
    m_chunkLength = static_cast<std::size_t>(std::min<std::uint64_t>(ContentHasher::kReadChunkLength, blockLength));
    const auto blocks = partialKeyBlocks(listedSize, blockLength);
    for (std::size_t i = 0; i < blocks.size(); ++i) m_blocks[i] = {blocks[i].offset, blocks[i].length};
    // Whole chunks are asked for until a block's length is reached or passed.
    for (Block& block : m_blocks) block.length = (block.length + m_chunkLength - 1) / m_chunkLength * m_chunkLength;
}

KeyStream::~KeyStream() = default;

bool KeyStream::begin() {
    m_file.emplace(m_path, ContentHasher::FileKind::regular);
    if (!m_file->isOpen()) {
        fail(m_file->failure(), m_file->error());
        return false;
    }
    if (m_file->size() != m_listedSize) {
        fail(ContentHasher::Failure::changed, 0);
        return false;
    }
    // Read-ahead only pays, or only hurts, where the file is longer than the kernel's window.
    if (m_listedSize > ContentHasher::kReadAdviceMinSize)
        ::posix_fadvise(m_file->fd(), 0, 0, m_partial ? POSIX_FADV_RANDOM : POSIX_FADV_SEQUENTIAL);
    return true;
}

KeyStream::Fill KeyStream::fill(unsigned char* buffer, std::size_t capacity, std::size_t carry, std::size_t& length) {
    length = carry;
    if (!isOpen()) return fail(ContentHasher::Failure::readFailed, EBADF);
    return m_partial ? fillBlocks(buffer, capacity, length) : fillWhole(buffer, capacity, length);
}

KeyStream::Fill KeyStream::fillWhole(unsigned char* buffer, std::size_t capacity, std::size_t& length) {
    // Reading stops at the listed size: a file that grew meanwhile has
    // another size now, which finishReading() sees.
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity - length, m_listedSize - m_read));
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = m_file->read(buffer + length + got, want - got);
        if (n < 0) return fail(ContentHasher::Failure::readFailed, errno);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    m_read += got;
    m_messageLength += got;
    length += got;
    if (got < want) return fail(ContentHasher::Failure::changed, 0);  // shorter than listed
    if (m_read == m_listedSize) return finishReading(buffer, length);
    return Fill::more;
}

KeyStream::Fill KeyStream::fillBlocks(unsigned char* buffer, std::size_t capacity, std::size_t& length) {
    const std::size_t chunk = m_chunkLength;
    while (m_block < m_blocks.size()) {
        const Block& block = m_blocks[m_block];
        const std::size_t room = (capacity - length) / chunk * chunk;
        if (room == 0) return Fill::more;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(block.length - m_blockDone, room));
        const std::uint64_t position = block.offset + m_blockDone;
        bool blockEnds = false;
        std::size_t got = 0;
        if (position > kMaxOffset) {
            blockEnds = true;
        } else {
            const ssize_t n = m_file->readAt(buffer + length, want, position);
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                // A short read ends the block when the chunk it ended in came up short.
                blockEnds = got < want && (got == 0 || got % chunk != 0);
            } else {
                // A failed read ends the block after the chunks before the failing one.
                while (got < want) {
                    const ssize_t c = m_file->readAt(buffer + length + got, chunk, position + got);
                    if (c > 0) got += static_cast<std::size_t>(c);
                    if (c < static_cast<ssize_t>(chunk)) break;
                }
                blockEnds = true;
            }
        }
        length += got;
        m_blockDone += got;
        m_messageLength += got;
        if (blockEnds || m_blockDone >= block.length) {
            ++m_block;
            m_blockDone = 0;
        }
    }
    return finishReading(buffer, length);
}

KeyStream::Fill KeyStream::finishReading(unsigned char* buffer, std::size_t& length) {
    if (!m_file->unchangedSinceOpen()) return fail(ContentHasher::Failure::changed, 0);
    m_file->close();
    length += Md5Lanes::appendPadding(buffer + length, m_messageLength);
    return Fill::last;
}

ContentHasher::KeyResult KeyStream::key(const std::array<unsigned char, 16>& digest) {
    ContentHasher::KeyResult result;
    result.key = ContentHasher::hexKey(digest);
    result.partial = m_partial;
    result.identity = m_file->identity();
    result.modification = m_file->modification();
    return result;
}

KeyStream::Fill KeyStream::fail(ContentHasher::Failure failure, int error) {
    m_result = {};
    m_result.failure = failure;
    m_result.error = error;
    if (m_file) m_file->close();
    return Fill::failed;
}

}  // namespace kestrane
