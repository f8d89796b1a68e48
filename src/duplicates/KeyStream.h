#pragma once

#include "duplicates/ContentHasher.h"
#include "duplicates/RegularFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrane {

// The bytes whose MD5 digest is the content key of one listed file, read
// piece by piece into a buffer so that the digest can be computed elsewhere
// (in a lane of Md5Lanes) between the pieces. It reads what
// ContentHasher::keyForListedFile reads and applies the same checks, so the
// key is the same: the whole file, or the start, end and middle blocks of a
// file that gets a partial key (each block read in whole chunks of at most
// 8192 bytes until it is complete or a chunk comes up short); no key when the
// file cannot be opened, is not a regular file, does not have the listed size
// once open, fails a read of the whole file, or changes while it is read.
//
// begin() opens the file; fill() is called until it reports the last piece,
// which ends with MD5's padding; then key() turns the digest into the result.
// The file is closed as soon as its last byte is read (or it fails).
class KeyStream {
public:
    enum class Fill : std::uint8_t {
        more,    // whole blocks are ready; call again once they are digested
        last,    // the buffer ends with the padding: digest it, then call key()
        failed,  // no key: see result()
    };

    // The file's key will be a partial one when
    // ContentHasher::usesPartialKey(listedSize, blockLength, threshold).
    KeyStream(std::string path, std::uint64_t listedSize, std::uint64_t blockLength, std::uint64_t threshold);
    ~KeyStream();
    KeyStream(const KeyStream&) = delete;
    KeyStream& operator=(const KeyStream&) = delete;

    // Opens the file (it was listed as a regular file). False when that fails.
    bool begin();
    // Appends the next piece to the `carry` bytes (fewer than 64) kept at the
    // start of the buffer, which has room for `capacity` bytes (a multiple of
    // 4096) plus Md5Lanes::kMaxPadding. `length` becomes the number of bytes
    // in the buffer: whole blocks, plus an incomplete block that the caller
    // keeps as the carry of the next call when the result is `more`.
    Fill fill(unsigned char* buffer, std::size_t capacity, std::size_t carry, std::size_t& length);
    // After `last`: the result with the key of the digest.
    ContentHasher::KeyResult key(const std::array<unsigned char, 16>& digest);
    // After `failed` (or a failed begin): why there is no key.
    const ContentHasher::KeyResult& result() const { return m_result; }
    // The path the stream was made with, moved out: call it last.
    std::string takePath() { return std::move(m_path); }
    // Whether the file is still open (begun and not yet read to its end).
    bool isOpen() const { return m_file && m_file->isOpen(); }

private:
    struct Block {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;  // what is asked for: whole chunks, ending at or past the block's end
    };

    Fill fillWhole(unsigned char* buffer, std::size_t capacity, std::size_t& length);
    Fill fillBlocks(unsigned char* buffer, std::size_t capacity, std::size_t& length);
    // The end of reading: checks that the file did not change, closes it and pads.
    Fill finishReading(unsigned char* buffer, std::size_t& length);
    Fill fail(ContentHasher::Failure failure, int error);

    std::string m_path;
    const std::uint64_t m_listedSize;
    const bool m_partial;
    std::optional<RegularFile> m_file;  // in place: one allocation less per file
    ContentHasher::KeyResult m_result;
    // Whole file: bytes read so far. Partial: the blocks and where reading is.
    std::uint64_t m_read = 0;
    std::array<Block, 3> m_blocks{};
    std::size_t m_block = 0;
    std::uint64_t m_blockDone = 0;
    std::size_t m_chunkLength = 0;
    // Bytes of the message handed out so far (the padding encodes it).
    std::uint64_t m_messageLength = 0;
};

}  // namespace kestrane
