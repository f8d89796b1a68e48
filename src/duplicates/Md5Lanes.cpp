#include "duplicates/Md5Lanes.h"

#include "duplicates/Md5LaneRounds.h"

#include <cstring>

namespace kestrane {

namespace {

constexpr std::uint32_t kInitialState[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

}  // namespace

std::vector<Md5Lanes::Kernel> Md5Lanes::supportedKernels() {
    std::vector<Kernel> kernels;
#if defined(__x86_64__)
    // libgcc also checks that the system saves the wide registers (XGETBV).
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) kernels.push_back(Kernel::avx512);
    if (__builtin_cpu_supports("avx2")) kernels.push_back(Kernel::avx2);
    kernels.push_back(Kernel::sse2);
#endif
    return kernels;
}

std::size_t Md5Lanes::laneCountOf(Kernel kernel) {
    switch (kernel) {
        case Kernel::sse2: return 4;
        case Kernel::avx2: return 8;
        case Kernel::avx512: return 16;
    }
    return 0;
}

std::string_view Md5Lanes::nameOf(Kernel kernel) {
    switch (kernel) {
        case Kernel::sse2: return "sse2";
        case Kernel::avx2: return "avx2";
        case Kernel::avx512: return "avx512";
    }
    return "";
}

std::optional<Md5Lanes::Kernel> Md5Lanes::kernelNamed(std::string_view name) {
    for (const Kernel kernel : {Kernel::sse2, Kernel::avx2, Kernel::avx512})
        if (nameOf(kernel) == name) return kernel;
    return std::nullopt;
}

Md5Lanes::Md5Lanes(Kernel kernel) : m_kernel(kernel), m_laneCount(laneCountOf(kernel)), m_compress(nullptr) {
#if defined(__x86_64__)
    switch (kernel) {
        case Kernel::sse2: m_compress = md5lanes::compressSse2; break;
        case Kernel::avx2: m_compress = md5lanes::compressAvx2; break;
        case Kernel::avx512: m_compress = md5lanes::compressAvx512; break;
    }
#endif
}

void Md5Lanes::start(std::size_t lane) {
    for (std::size_t r = 0; r < 4; ++r) m_state[r * m_laneCount + lane] = kInitialState[r];
}

void Md5Lanes::compress(const unsigned char* const* blocks, std::size_t count) {
    if (count == 0 || m_compress == nullptr) return;
    bool anyIdle = false;
    for (std::size_t lane = 0; lane < m_laneCount; ++lane) anyIdle = anyIdle || blocks[lane] == nullptr;
    if (anyIdle) std::memcpy(m_saved, m_state, sizeof(std::uint32_t) * 4 * m_laneCount);
    m_compress(m_state, blocks, count);
    if (!anyIdle) return;
    for (std::size_t lane = 0; lane < m_laneCount; ++lane)
        if (blocks[lane] == nullptr)
            for (std::size_t r = 0; r < 4; ++r) m_state[r * m_laneCount + lane] = m_saved[r * m_laneCount + lane];
}

std::array<unsigned char, 16> Md5Lanes::digest(std::size_t lane) const {
    std::array<unsigned char, 16> bytes{};
    for (std::size_t r = 0; r < 4; ++r) {
        const std::uint32_t word = m_state[r * m_laneCount + lane];
        for (std::size_t i = 0; i < 4; ++i) bytes[4 * r + i] = static_cast<unsigned char>(word >> (8 * i));
    }
    return bytes;
}

std::size_t Md5Lanes::appendPadding(unsigned char* end, std::uint64_t messageLength) {
    // 0x80, zeros up to 56 bytes into a block, then the length in bits, little-endian.
    const std::size_t tail = static_cast<std::size_t>(messageLength % kBlockLength);
    const std::size_t zeros = tail < 56 ? 55 - tail : 119 - tail;
    end[0] = 0x80;
    std::memset(end + 1, 0, zeros);
    const std::uint64_t bits = messageLength * 8;
    for (std::size_t i = 0; i < 8; ++i) end[1 + zeros + i] = static_cast<unsigned char>(bits >> (8 * i));
    return 1 + zeros + 8;
}

}  // namespace kestrane
