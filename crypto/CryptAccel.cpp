#include "CryptAccel.h"

#include <atomic>
#include <utility>

#if NORVA_CRYPT_ACCEL
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace CryptAccel {
namespace {

struct TFeatures {
    bool Aes = false;
    bool Sha = false;
};

TFeatures DetectFeatures() {
    TFeatures features;
#if NORVA_CRYPT_ACCEL
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) {
        return features;
    }
    // Both paths also use SSSE3 byte shuffles and SSE4.1 word extraction.
    const bool sse = (c & bit_SSSE3) != 0 && (c & bit_SSE4_1) != 0;
    features.Aes = sse && (c & bit_AES) != 0;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) != 0) {
        features.Sha = sse && (b & bit_SHA) != 0;
    }
#endif
    return features;
}

const TFeatures& Features() {
    static const TFeatures features = DetectFeatures();
    return features;
}

std::atomic<bool> HardwareEnabled{true};

}  // namespace

bool ProcessorHasAes() {
    return Features().Aes;
}

bool ProcessorHasSha() {
    return Features().Sha;
}

void SetEnabled(bool enabled) {
    HardwareEnabled.store(enabled, std::memory_order_relaxed);
}

bool AesActive() {
    return HardwareEnabled.load(std::memory_order_relaxed) && Features().Aes;
}

bool ShaActive() {
    return HardwareEnabled.load(std::memory_order_relaxed) && Features().Sha;
}

#if NORVA_CRYPT_ACCEL

// Only these functions use the instructions, so the rest of the program runs on any x86-64.
#define NORVA_TARGET_AES __attribute__((target("aes,sse4.1")))
#define NORVA_TARGET_SHA __attribute__((target("sha,sse4.1")))

namespace {

NORVA_TARGET_AES inline __m128i LoadBlock(const void* bytes) {
    return _mm_loadu_si128(static_cast<const __m128i*>(bytes));
}

NORVA_TARGET_AES inline void StoreBlock(void* bytes, __m128i block) {
    _mm_storeu_si128(static_cast<__m128i*>(bytes), block);
}

// The round keys are read from the schedule each time rather than copied to locals, so no
// copy of key material is left on the stack.
NORVA_TARGET_AES inline __m128i RoundKey(const std::uint32_t* keys, int round) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + 4 * round));
}

template <int Rounds, std::size_t... Round>
NORVA_TARGET_AES inline __m128i EncryptRounds(__m128i block, const std::uint32_t* keys,
                                              std::index_sequence<Round...>) {
    ((block = _mm_aesenc_si128(block, RoundKey(keys, static_cast<int>(Round) + 1))), ...);
    return _mm_aesenclast_si128(block, RoundKey(keys, Rounds));
}

// `block` already holds the input xored with round key 0.
template <int Rounds>
NORVA_TARGET_AES inline __m128i EncryptWhitened(__m128i block, const std::uint32_t* keys) {
    return EncryptRounds<Rounds>(block, keys, std::make_index_sequence<Rounds - 1>{});
}

template <int Rounds>
NORVA_TARGET_AES void EncryptBlock(const std::uint32_t* keys, const std::uint8_t* source,
                                   std::uint8_t* destination) {
    const __m128i block = _mm_xor_si128(LoadBlock(source), RoundKey(keys, 0));
    StoreBlock(destination, EncryptWhitened<Rounds>(block, keys));
}

template <int Rounds>
NORVA_TARGET_AES void EncryptChained(const std::uint32_t* keys, const std::uint8_t* source,
                                     std::uint8_t* destination, std::size_t count,
                                     const std::uint8_t* chain) {
    __m128i value = LoadBlock(chain);
    for (std::size_t i = 0; i < count; ++i, source += 16, destination += 16) {
        // Input and round key 0 are combined before the chaining value is ready: one xor
        // less on the chain from block to block, which alone sets the speed here.
        const __m128i whitened = _mm_xor_si128(LoadBlock(source), RoundKey(keys, 0));
        value = EncryptWhitened<Rounds>(_mm_xor_si128(whitened, value), keys);
        StoreBlock(destination, value);
    }
}

template <int Rounds, std::size_t... Step>
NORVA_TARGET_AES inline __m128i DecryptRounds(__m128i block, const std::uint32_t* keys,
                                              std::index_sequence<Step...>) {
    ((block = _mm_aesdec_si128(block, RoundKey(keys, Rounds - 1 - static_cast<int>(Step)))), ...);
    return _mm_aesdeclast_si128(block, RoundKey(keys, 0));
}

template <int Rounds>
NORVA_TARGET_AES void DecryptBlock(const std::uint32_t* keys, const std::uint8_t* source,
                                   std::uint8_t* destination) {
    const __m128i block = _mm_xor_si128(LoadBlock(source), RoundKey(keys, Rounds));
    StoreBlock(destination,
               DecryptRounds<Rounds>(block, keys, std::make_index_sequence<Rounds - 1>{}));
}

// --- SHA-1 --------------------------------------------------------------------------------

// Four rounds of the compression. The message words of group g (rounds 4g to 4g + 3) sit in
// w[g % 4], so the schedule reads the three groups before it from the other slots.
// `previous` is the state before the last four rounds: its word a, rotated, is the e of the
// next four.
template <int Group>
NORVA_TARGET_SHA inline void Sha1Group(__m128i& abcd, __m128i e, __m128i& previous, __m128i (&w)[4],
                                       const std::uint8_t* block, __m128i byteOrder) {
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
NORVA_TARGET_SHA inline void Sha1Block(__m128i& abcd, __m128i& e, const std::uint8_t* block,
                                       __m128i byteOrder, std::index_sequence<Group...>) {
    const __m128i abcdBefore = abcd;
    const __m128i eBefore = e;
    __m128i previous = abcd;
    __m128i w[4];
    (Sha1Group<static_cast<int>(Group)>(abcd, eBefore, previous, w, block, byteOrder), ...);
    e = _mm_sha1nexte_epu32(previous, eBefore);
    abcd = _mm_add_epi32(abcd, abcdBefore);
}

}  // namespace

NORVA_TARGET_AES void AesEncryptBlock(const std::uint32_t* keys, int rounds,
                                      const std::uint8_t* source, std::uint8_t* destination) {
    switch (rounds) {
        case 10:
            return EncryptBlock<10>(keys, source, destination);
        case 12:
            return EncryptBlock<12>(keys, source, destination);
        default:
            return EncryptBlock<14>(keys, source, destination);
    }
}

NORVA_TARGET_AES void AesDecryptBlock(const std::uint32_t* keys, int rounds,
                                      const std::uint8_t* source, std::uint8_t* destination) {
    switch (rounds) {
        case 10:
            return DecryptBlock<10>(keys, source, destination);
        case 12:
            return DecryptBlock<12>(keys, source, destination);
        default:
            return DecryptBlock<14>(keys, source, destination);
    }
}

NORVA_TARGET_AES void AesEncryptChained(const std::uint32_t* keys, int rounds,
                                        const std::uint8_t* source, std::uint8_t* destination,
                                        std::size_t count, const std::uint8_t* chain) {
    switch (rounds) {
        case 10:
            return EncryptChained<10>(keys, source, destination, count, chain);
        case 12:
            return EncryptChained<12>(keys, source, destination, count, chain);
        default:
            return EncryptChained<14>(keys, source, destination, count, chain);
    }
}

NORVA_TARGET_SHA void Sha1Compress(std::uint32_t* state, const std::uint8_t* blocks,
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
}

#endif

}  // namespace CryptAccel
