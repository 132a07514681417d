#pragma once
// SHA-1 rounds beside a message schedule computed four words at a time in vector registers.
// Included by AccelSha1Ssse3.cpp and AccelSha1Avx2.cpp only: the same code, compiled once for
// SSSE3 and once for AVX2 with BMI2, where the vector instructions take three operands and
// the rounds rotate without copies. Internal linkage throughout, for the reason given in
// Sha1Rounds.h.
//
// The schedule is computed with the round constant already added into `wk`; the rounds read
// one word each from there. Group g holds the words 4g to 4g + 3. The rounds of group g run
// beside the schedule of group g + 4, so the vector work fills the gaps of the scalar
// dependency chain.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <utility>

#include "crypto/Sha1Rounds.h"
#include "crypto/StackWipe.h"

namespace {
namespace Sha1Vector {

// e += word, with the word read from memory inside the addition. Left to itself the compiler
// forwards the stored schedule through vector extractions of two micro-operations each,
// where the rounds are bound by the count of micro-operations, not by latency.
inline __attribute__((always_inline)) void AddFromMemory(std::uint32_t& e,
                                                         const std::uint32_t& word) {
    __asm__("addl %1, %0" : "+r"(e) : "m"(word));
}

template <int Round>
inline __attribute__((always_inline)) void OneRound(std::uint32_t (&v)[5],
                                                    const std::uint32_t* wk) {
    Sha1Rounds::Step<Round>(v, [wk](std::uint32_t& e) { AddFromMemory(e, wk[Round]); });
}

template <int Group>
inline __attribute__((always_inline)) void FourRounds(std::uint32_t (&v)[5],
                                                      const std::uint32_t* wk) {
    OneRound<4 * Group>(v, wk);
    OneRound<4 * Group + 1>(v, wk);
    OneRound<4 * Group + 2>(v, wk);
    OneRound<4 * Group + 3>(v, wk);
}

inline __attribute__((always_inline)) __m128i RotlWords(__m128i x, int count) {
    return _mm_or_si128(_mm_slli_epi32(x, count), _mm_srli_epi32(x, 32 - count));
}

// The schedule, four words at a time:
//   W[t] = rotl1(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16])
// For t < 32 the last word of a group needs the first word of the same group, patched in
// after the rest. From t = 32 on, the equivalent
//   W[t] = rotl2(W[t-6] ^ W[t-16] ^ W[t-28] ^ W[t-32])
// reaches back no closer than six words, so all four come at once. `w` keeps the last eight
// groups, group g in w[g % 8]; the new group replaces the one eight back.
template <int Group>
inline __attribute__((always_inline)) void ScheduleGroup(__m128i (&w)[8]) {
    if constexpr (Group < 8) {
        const __m128i w16 = w[(Group - 4) % 8];
        // Words 2, 3 of one group and 0, 1 of the next.
        const __m128i w14 = _mm_alignr_epi8(w[(Group - 3) % 8], w16, 8);
        const __m128i w8 = w[(Group - 2) % 8];
        // Words 1, 2, 3 moved down; the top word, W[t], is still missing.
        const __m128i w3 = _mm_srli_si128(w[(Group - 1) % 8], 4);
        const __m128i first =
            RotlWords(_mm_xor_si128(_mm_xor_si128(w16, w14), _mm_xor_si128(w8, w3)), 1);
        // W[t], now known, moved up into the top word.
        w[Group % 8] = _mm_xor_si128(first, RotlWords(_mm_slli_si128(first, 12), 1));
    } else {
        const __m128i w32 = w[(Group - 8) % 8];
        const __m128i w28 = w[(Group - 7) % 8];
        const __m128i w16 = w[(Group - 4) % 8];
        const __m128i w6 = _mm_alignr_epi8(w[(Group - 1) % 8], w[(Group - 2) % 8], 8);
        w[Group % 8] = RotlWords(_mm_xor_si128(_mm_xor_si128(w6, w16), _mm_xor_si128(w28, w32)), 2);
    }
}

// Group `Group` of the schedule into w and, with the round constant, into wk.
template <int Group>
inline __attribute__((always_inline)) void Schedule(__m128i (&w)[8], std::uint32_t* wk,
                                                    const std::uint8_t* block, __m128i byteOrder) {
    if constexpr (Group < 4) {
        w[Group] = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(block) + Group), byteOrder);
    } else {
        ScheduleGroup<Group>(w);
    }
    const __m128i k = _mm_set1_epi32(static_cast<int>(Sha1Rounds::Constant(4 * Group)));
    _mm_store_si128(reinterpret_cast<__m128i*>(wk + 4 * Group), _mm_add_epi32(w[Group % 8], k));
}

template <int Group>
inline __attribute__((always_inline)) void RoundsAndSchedule(std::uint32_t (&v)[5], __m128i (&w)[8],
                                                             std::uint32_t* wk,
                                                             const std::uint8_t* block,
                                                             __m128i byteOrder) {
    FourRounds<Group>(v, wk);
    if constexpr (Group + 4 < 20) {
        Schedule<Group + 4>(w, wk, block, byteOrder);
    }
}

template <std::size_t... Group>
inline __attribute__((always_inline)) void Block(std::uint32_t (&v)[5], __m128i (&w)[8],
                                                 std::uint32_t* wk, const std::uint8_t* block,
                                                 __m128i byteOrder, std::index_sequence<Group...>) {
    Schedule<0>(w, wk, block, byteOrder);
    Schedule<1>(w, wk, block, byteOrder);
    Schedule<2>(w, wk, block, byteOrder);
    Schedule<3>(w, wk, block, byteOrder);
    (RoundsAndSchedule<static_cast<int>(Group)>(v, w, wk, block, byteOrder), ...);
}

// Returns the stack pointer of its own frame, the deepest the schedule reached.
[[gnu::noinline]] std::uintptr_t CompressBlocks(std::uint32_t* state, const std::uint8_t* blocks,
                                                std::size_t count) {
    // Big-endian message words.
    const __m128i byteOrder = _mm_set_epi64x(0x0C0D0E0F08090A0BLL, 0x0405060700010203LL);
    std::uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
    alignas(16) std::uint32_t wk[80];
    __m128i w[8];
    for (; count > 0; --count, blocks += 64) {
        Block(v, w, wk, blocks, byteOrder, std::make_index_sequence<20>{});
        for (int i = 0; i < 5; ++i) {
            state[i] += v[i];
            v[i] = state[i];
        }
    }
    StackWipe::ClearVectorRegisters();
    return StackWipe::StackPointer();
}

// The schedule is the message in another form, and more of it than the arrays above is
// spilled to the stack by the compiler: the whole frame the compression used is wiped.
inline __attribute__((always_inline)) void Compress(std::uint32_t* state,
                                                    const std::uint8_t* blocks, std::size_t count) {
    StackWipe::Wiping([&] { return CompressBlocks(state, blocks, count); });
}

}  // namespace Sha1Vector
}  // namespace
