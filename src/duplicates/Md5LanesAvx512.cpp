// The sixteen-lane MD5 kernel (AVX-512 F). Compiled for AVX-512 alone;
// called only when the processor has it (Md5Lanes checks). The four
// functions are one ternary-logic instruction each and rotations are native.
#if defined(__x86_64__)

// Everything below, the rounds included, is compiled for this set.
#pragma GCC target("avx512f")
// GCC 12 takes the self-initialised "undefined" register of the unpack and
// shuffle intrinsics for an uninitialised read.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "duplicates/Md5LaneRounds.h"

#include <immintrin.h>

namespace kestrane::md5lanes {
namespace {

struct Avx512 {
    using V = __m512i;
    static constexpr int kLanes = 16;

    static V load(const std::uint32_t* words) { return _mm512_loadu_si512(words); }
    static void store(std::uint32_t* words, V v) { _mm512_storeu_si512(words, v); }
    static V add(V x, V y) { return _mm512_add_epi32(x, y); }
    // Truth tables over (b, c, d): b ? c : d; d ? b : c; b ^ c ^ d; c ^ (b | ~d).
    static V f(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, 0xca); }
    static V g(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, 0xe4); }
    static V h(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, 0x96); }
    static V i(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, 0x39); }
    template <int S>
    static V rotl(V x) {
        return _mm512_rol_epi32(x, S);
    }

    // One 16 x 16 transpose: each lane's block is one register.
    static void loadMessage(const unsigned char* const* blocks, V* m) {
        V r[16];
        for (int l = 0; l < 16; ++l) r[l] = _mm512_loadu_si512(blocks[l]);
        V t[16];
        for (int p = 0; p < 8; ++p) {
            t[2 * p] = _mm512_unpacklo_epi32(r[2 * p], r[2 * p + 1]);
            t[2 * p + 1] = _mm512_unpackhi_epi32(r[2 * p], r[2 * p + 1]);
        }
        // u[4j + c]: in its 128-bit part q, word 4q + c of lanes 4j..4j+3.
        V u[16];
        for (int j = 0; j < 4; ++j) {
            u[4 * j + 0] = _mm512_unpacklo_epi64(t[4 * j], t[4 * j + 2]);
            u[4 * j + 1] = _mm512_unpackhi_epi64(t[4 * j], t[4 * j + 2]);
            u[4 * j + 2] = _mm512_unpacklo_epi64(t[4 * j + 1], t[4 * j + 3]);
            u[4 * j + 3] = _mm512_unpackhi_epi64(t[4 * j + 1], t[4 * j + 3]);
        }
        for (int c = 0; c < 4; ++c) {
            const V low01 = _mm512_shuffle_i32x4(u[c], u[4 + c], 0x44);
            const V high01 = _mm512_shuffle_i32x4(u[c], u[4 + c], 0xee);
            const V low23 = _mm512_shuffle_i32x4(u[8 + c], u[12 + c], 0x44);
            const V high23 = _mm512_shuffle_i32x4(u[8 + c], u[12 + c], 0xee);
            m[c] = _mm512_shuffle_i32x4(low01, low23, 0x88);
            m[4 + c] = _mm512_shuffle_i32x4(low01, low23, 0xdd);
            m[8 + c] = _mm512_shuffle_i32x4(high01, high23, 0x88);
            m[12 + c] = _mm512_shuffle_i32x4(high01, high23, 0xdd);
        }
    }
};

alignas(64) const unsigned char kIdleBlock[64] = {};

}  // namespace

void compressAvx512(std::uint32_t* state, const unsigned char* const* blocks, std::size_t count) {
    compressLanes<Avx512>(state, blocks, count, kIdleBlock);
}

}  // namespace kestrane::md5lanes

#endif
