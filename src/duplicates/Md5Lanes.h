#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kestrane {

// Several MD5 digests (RFC 1321) computed side by side, one in each lane of
// the processor's vector registers: four lanes with SSE2, eight with AVX2,
// sixteen with AVX-512. One digest cannot go faster than the chain of its 64
// dependent steps allows, but the lanes run that chain for as many
// independent messages at the cost of about one.
//
// The caller owns the messages and their padding: it starts a lane, feeds it
// whole 64-byte blocks (a message's last blocks carry the padding that
// appendPadding writes) and reads the digest once the last block went
// through. Lanes are independent: each may start, and finish, between any
// two calls of compress, and a lane without work is given no block.
//
// The kernels exist only on x86-64; supportedKernels() is empty elsewhere,
// and on processors without any of them callers use a one-at-a-time digest
// instead. An object is used by one thread at a time.
class Md5Lanes {
public:
    enum class Kernel : std::uint8_t { sse2, avx2, avx512 };
    static constexpr std::size_t kMaxLanes = 16;
    static constexpr std::size_t kBlockLength = 64;

    // What this processor (and its operating system) can run, fastest first.
    static std::vector<Kernel> supportedKernels();
    static std::size_t laneCountOf(Kernel kernel);
    static std::string_view nameOf(Kernel kernel);
    // The kernel called `name` ("sse2", "avx2", "avx512"), whether supported or not.
    static std::optional<Kernel> kernelNamed(std::string_view name);

    // The kernel must be one of supportedKernels().
    explicit Md5Lanes(Kernel kernel);

    Kernel kernel() const { return m_kernel; }
    std::size_t laneCount() const { return m_laneCount; }

    // Sets the lane to MD5's initial state, for a new message.
    void start(std::size_t lane);
    // Runs `count` blocks of every lane whose blocks[lane] is not null through
    // its digest; blocks[lane] points at count * 64 bytes. blocks holds
    // laneCount() pointers. The state of a lane given null is left alone.
    void compress(const unsigned char* const* blocks, std::size_t count);
    // The digest of the lane's message, once its last padded block went through.
    std::array<unsigned char, 16> digest(std::size_t lane) const;

    // Writes MD5's padding for a message of messageLength bytes at `end`, just
    // after its last bytes; the incomplete last block then becomes one or two
    // whole blocks. Returns the number of bytes written (9 to 72); `end` must
    // have room for 72.
    static std::size_t appendPadding(unsigned char* end, std::uint64_t messageLength);
    static constexpr std::size_t kMaxPadding = 72;

private:
    using Compress = void (*)(std::uint32_t*, const unsigned char* const*, std::size_t);

    Kernel m_kernel;
    std::size_t m_laneCount;
    Compress m_compress;
    // Word r of lane l at [r * m_laneCount + l]; the kernels' own layout.
    alignas(64) std::uint32_t m_state[4 * kMaxLanes] = {};
    // Lanes given null keep their state: the kernel's idle lanes do not.
    alignas(64) std::uint32_t m_saved[4 * kMaxLanes] = {};
};

}  // namespace kestrane
