#pragma once

#include <array>
#include <cstdint>

namespace kestrane {

// One stretch of a file that a partial content key digests.
struct PartialKeyBlock {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The three blocks a partial key digests of a file of `size` bytes, in the
// order they are digested: the start, the end, the middle. The one-at-a-time
// hasher and the lanes' key streams both read exactly these, so that their
// keys agree.
std::array<PartialKeyBlock, 3> partialKeyBlocks(std::uint64_t size, std::uint64_t blockLength);

}  // namespace kestrane
