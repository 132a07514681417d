// SHA-1 with the SHA instructions. This file alone is compiled with -msha -msse4.1.

#include "crypto/CryptAccel.h"

#if NORVA_CRYPT_ACCEL

#include <immintrin.h>

#include <utility>

#include "crypto/StackWipe.h"

namespace CryptAccel {
namespace {

// Four rounds of the compression. The message words of group g (rounds 4g to 4g + 3) sit in
// w[g % 4], so the schedule reads the three groups before it from the other slots.
// `previous` is the state before the last four rounds: its word a, rotated, is the e of the
// next four.
template <int Group>
inline __attribute__((always_inline)) void Sha1Group(__m128i& abcd, __m128i e, __m128i& previous,
                                                     __m128i (&w)[4], const std::uint8_t* block,
                                                     __m128i byteOrder) {
    constexpr int Slot = Group % 4;
    if constexpr (Group < 4) {
        w[Slot] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block) + Group),
                                   byteOrder);
    } else {
        const __m128i mixed =
            _mm_xor_si128(_mm_sha1msg1_epu32(w[Slot], w[(Group + 1) % 4]), w[(Group + 2) % 4]);
        w[Slot] = _mm_sha1msg2_epu32(mixed, w[(Group + 3) % 4]);
    }
    __m128i ePlusWords;
    if constexpr (Group == 0) {
        ePlusWords = _mm_add_epi32(e, w[Slot]);
    } else {
        ePlusWords = _mm_sha1nexte_epu32(previous, w[Slot]);
    }
    previous = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, ePlusWords, Group / 5);
}

template <std::size_t... Group>
inline __attribute__((always_inline)) void Sha1Block(__m128i& abcd, __m128i& e,
                                                     const std::uint8_t* block, __m128i byteOrder,
                                                     std::index_sequence<Group...>) {
    const __m128i abcdBefore = abcd;
    const __m128i eBefore = e;
    __m128i previous = abcd;
    __m128i w[4];
    (Sha1Group<static_cast<int>(Group)>(abcd, eBefore, previous, w, block, byteOrder), ...);
    e = _mm_sha1nexte_epu32(previous, eBefore);
    abcd = _mm_add_epi32(abcd, abcdBefore);
}

// Returns the stack pointer of its own frame.
[[gnu::noinline]] std::uintptr_t CompressBlocks(std::uint32_t* state, const std::uint8_t* blocks,
                                                std::size_t count) {
    // Reverses the sixteen bytes: big-endian message words, word 0 in the top lane next to a.
    const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
    // The instructions keep a in the top lane: the words are loaded in reverse order.
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    for (; count > 0; --count, blocks += 64) {
        Sha1Block(abcd, e, blocks, byteOrder, std::make_index_sequence<20>{});
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e, 3));
    StackWipe::ClearVectorRegisters();
    return StackWipe::StackPointer();
}

}  // namespace

// The message words stay in the vector registers after the last block, and whatever the
// compiler spilled of them on the stack: both are wiped before the caller goes on.
void Sha1CompressShaNi(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) {
    StackWipe::Wiping([&] { return CompressBlocks(state, blocks, count); });
}

}  // namespace CryptAccel

#endif
