#pragma once

// The 64 steps of MD5's compression function, written once for any vector
// width. Each kernel (one translation unit per instruction set, compiled for
// that set alone) instantiates compressLanes with its own operations type:
//
//   struct Ops {
//       using V = ...;                           // one 32-bit word per lane
//       static constexpr int kLanes = ...;
//       static V load(const std::uint32_t*);     // kLanes words
//       static void store(std::uint32_t*, V);
//       static V add(V, V);
//       static V f(V b, V c, V d);               // (b & c) | (~b & d)
//       static V g(V b, V c, V d);               // (b & d) | (c & ~d)
//       static V h(V b, V c, V d);               // b ^ c ^ d
//       static V i(V b, V c, V d);               // c ^ (b | ~d)
//       template <int S> static V rotl(V);
//       // The 16 words of one 64-byte block of every lane, word w of lane l
//       // in lane l of m[w].
//       static void loadMessage(const unsigned char* const* blocks, V* m);
//   };
//
// This header includes nothing that defines functions, so that a kernel's
// translation unit holds no code that another one (compiled for another
// instruction set) could be merged with at link time.

#include <cstddef>
#include <cstdint>

namespace kestrane::md5lanes {

// The sine-derived additive constants and the rotation amounts of the 64
// steps, and the message word each step reads.
inline constexpr std::uint32_t kSineTable[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
inline constexpr int kRotation[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The constants repeated across kLanes lanes, so that a step adds one from
// memory instead of spreading it over the lanes first.
template <int kLanes>
struct WideSineTable {
    alignas(64) std::uint32_t words[64][kLanes];
};
template <int kLanes>
constexpr WideSineTable<kLanes> makeWideSineTable() {
    WideSineTable<kLanes> table{};
    for (int i = 0; i < 64; ++i)
        for (int l = 0; l < kLanes; ++l) table.words[i][l] = kSineTable[i];
    return table;
}
template <int kLanes>
inline constexpr WideSineTable<kLanes> kWideSineTable = makeWideSineTable<kLanes>();

constexpr int messageWordOfStep(int step) {
    const int round = step / 16;
    const int i = step % 16;
    return round == 0 ? i : round == 1 ? (5 * i + 1) % 16 : round == 2 ? (3 * i + 5) % 16 : (7 * i) % 16;
}

// One step. The four state words play the roles a, b, c, d in turn: step I
// writes the word that was d in step I - 1, so the roles move through the
// array instead of the values moving between variables.
template <class Ops, int I>
[[gnu::always_inline]] inline void step(typename Ops::V (&s)[4], const typename Ops::V* m) {
    using V = typename Ops::V;
    constexpr int a = (4 - I % 4) % 4;
    constexpr int b = (a + 1) % 4;
    constexpr int c = (a + 2) % 4;
    constexpr int d = (a + 3) % 4;
    constexpr int round = I / 16;
    V mixed;
    if constexpr (round == 0)
        mixed = Ops::f(s[b], s[c], s[d]);
    else if constexpr (round == 1)
        mixed = Ops::g(s[b], s[c], s[d]);
    else if constexpr (round == 2)
        mixed = Ops::h(s[b], s[c], s[d]);
    else
        mixed = Ops::i(s[b], s[c], s[d]);
    // a + M[g] + K does not wait for the previous step; it is pinned down as
    // one value so that the compiler cannot re-associate the additions and
    // put one of them after the mixing function, on the chain every step waits for.
    V early = Ops::add(s[a], Ops::add(m[messageWordOfStep(I)], Ops::load(kWideSineTable<Ops::kLanes>.words[I])));
    asm("" : "+v"(early));
    const V sum = Ops::add(early, mixed);
    s[a] = Ops::add(s[b], Ops::template rotl<kRotation[round][I % 4]>(sum));
}

template <class Ops, int I>
[[gnu::always_inline]] inline void steps(typename Ops::V (&s)[4], const typename Ops::V* m) {
    if constexpr (I < 64) {
        step<Ops, I>(s, m);
        steps<Ops, I + 1>(s, m);
    }
}

// Runs `count` blocks through the lanes. state holds the four state words of
// every lane (a of every lane, then b, c, d). blocks[l] points at count * 64
// bytes for lane l, or is null for a lane without work, which then digests
// `idle` (a block of its own) without moving on; its state is left undefined.
template <class Ops>
[[gnu::always_inline]] inline void compressLanes(std::uint32_t* state, const unsigned char* const* blocks,
                                                 std::size_t count, const unsigned char* idle) {
    using V = typename Ops::V;
    constexpr int kLanes = Ops::kLanes;
    V s[4];
    for (int r = 0; r < 4; ++r) s[r] = Ops::load(state + r * kLanes);
    const unsigned char* at[kLanes];
    for (int l = 0; l < kLanes; ++l) at[l] = blocks[l] ? blocks[l] : idle;
    for (std::size_t n = 0; n < count; ++n) {
        V m[16];
        Ops::loadMessage(at, m);
        const V before[4] = {s[0], s[1], s[2], s[3]};
        steps<Ops, 0>(s, m);
        for (int r = 0; r < 4; ++r) s[r] = Ops::add(s[r], before[r]);
        for (int l = 0; l < kLanes; ++l)
            if (blocks[l]) at[l] += 64;
    }
    for (int r = 0; r < 4; ++r) Ops::store(state + r * kLanes, s[r]);
}

// The kernels, one per instruction set; see Md5Lanes for who may call which.
void compressSse2(std::uint32_t* state, const unsigned char* const* blocks, std::size_t count);
void compressAvx2(std::uint32_t* state, const unsigned char* const* blocks, std::size_t count);
void compressAvx512(std::uint32_t* state, const unsigned char* const* blocks, std::size_t count);

}  // namespace kestrane::md5lanes
