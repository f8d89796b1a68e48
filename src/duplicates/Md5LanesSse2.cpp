// The four-lane MD5 kernel (SSE2, which every x86-64 processor has).
#if defined(__x86_64__)

#include "duplicates/Md5LaneRounds.h"

#include <emmintrin.h>

namespace kestrane::md5lanes {
namespace {

struct Sse2 {
    using V = __m128i;
    static constexpr int kLanes = 4;

    static V load(const std::uint32_t* words) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(words)); }
    static void store(std::uint32_t* words, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(words), v); }
    static V add(V x, V y) { return _mm_add_epi32(x, y); }
    static V f(V b, V c, V d) { return _mm_xor_si128(d, _mm_and_si128(b, _mm_xor_si128(c, d))); }
    static V g(V b, V c, V d) { return _mm_xor_si128(c, _mm_and_si128(d, _mm_xor_si128(b, c))); }
    static V h(V b, V c, V d) { return _mm_xor_si128(_mm_xor_si128(b, c), d); }
    static V i(V b, V c, V d) { return _mm_xor_si128(c, _mm_or_si128(b, _mm_xor_si128(d, _mm_set1_epi32(-1)))); }
    template <int S>
    static V rotl(V x) {
        return _mm_or_si128(_mm_slli_epi32(x, S), _mm_srli_epi32(x, 32 - S));
    }

    // Four 4 x 4 transposes: words 4q..4q+3 of the four lanes.
    static void loadMessage(const unsigned char* const* blocks, V* m) {
        for (int q = 0; q < 4; ++q) {
            const V r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[0]) + q);
            const V r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[1]) + q);
            const V r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[2]) + q);
            const V r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[3]) + q);
            const V t0 = _mm_unpacklo_epi32(r0, r1);
            const V t1 = _mm_unpackhi_epi32(r0, r1);
            const V t2 = _mm_unpacklo_epi32(r2, r3);
            const V t3 = _mm_unpackhi_epi32(r2, r3);
            m[4 * q + 0] = _mm_unpacklo_epi64(t0, t2);
            m[4 * q + 1] = _mm_unpackhi_epi64(t0, t2);
            m[4 * q + 2] = _mm_unpacklo_epi64(t1, t3);
            m[4 * q + 3] = _mm_unpackhi_epi64(t1, t3);
        }
    }
};

alignas(64) const unsigned char kIdleBlock[64] = {};

}  // namespace

void compressSse2(std::uint32_t* state, const unsigned char* const* blocks, std::size_t count) {
    compressLanes<Sse2>(state, blocks, count, kIdleBlock);
}

}  // namespace kestrane::md5lanes

#endif
