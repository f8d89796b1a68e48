// The eight-lane MD5 kernel (AVX2). Compiled for AVX2 alone; called only
// when the processor has it (Md5Lanes checks).
#if defined(__x86_64__)

// Everything below, the rounds included, is compiled for this set.
#pragma GCC target("avx2")
#include "duplicates/Md5LaneRounds.h"

#include <immintrin.h>

namespace kestrane::md5lanes {
namespace {

struct Avx2 {
    using V = __m256i;
    static constexpr int kLanes = 8;

    static V load(const std::uint32_t* words) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words)); }
    static void store(std::uint32_t* words, V v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(words), v); }
    static V add(V x, V y) { return _mm256_add_epi32(x, y); }
    static V f(V b, V c, V d) { return _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d))); }
    static V g(V b, V c, V d) { return _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c))); }
    static V h(V b, V c, V d) { return _mm256_xor_si256(_mm256_xor_si256(b, c), d); }
    static V i(V b, V c, V d) {
        return _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))));
    }
    template <int S>
    static V rotl(V x) {
        return _mm256_or_si256(_mm256_slli_epi32(x, S), _mm256_srli_epi32(x, 32 - S));
    }

    // Two 8 x 8 transposes: words 8h..8h+7 of the eight lanes.
    static void loadMessage(const unsigned char* const* blocks, V* m) {
        for (int half = 0; half < 2; ++half) {
            V r[8];
            for (int l = 0; l < 8; ++l) r[l] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blocks[l]) + half);
            V t[8];
            for (int p = 0; p < 4; ++p) {
                t[2 * p] = _mm256_unpacklo_epi32(r[2 * p], r[2 * p + 1]);
                t[2 * p + 1] = _mm256_unpackhi_epi32(r[2 * p], r[2 * p + 1]);
            }
            V u[8];
            for (int g = 0; g < 2; ++g) {
                u[4 * g + 0] = _mm256_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
                u[4 * g + 1] = _mm256_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
                u[4 * g + 2] = _mm256_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
                u[4 * g + 3] = _mm256_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
            }
            // u[c] holds word c (low half) and c + 4 (high half) of lanes 0-3;
            // u[4 + c] the same of lanes 4-7.
            for (int c = 0; c < 4; ++c) {
                m[8 * half + c] = _mm256_permute2x128_si256(u[c], u[4 + c], 0x20);
                m[8 * half + c + 4] = _mm256_permute2x128_si256(u[c], u[4 + c], 0x31);
            }
        }
    }
};

alignas(64) const unsigned char kIdleBlock[64] = {};

}  // namespace

void compressAvx2(std::uint32_t* state, const unsigned char* const* blocks, std::size_t count) {
    compressLanes<Avx2>(state, blocks, count, kIdleBlock);
}

}  // namespace kestrane::md5lanes

#endif
