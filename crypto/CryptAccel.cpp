#include "crypto/CryptAccel.h"

#include <atomic>
#include <bit>
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
    bool Ssse3 = false;
    bool Avx2 = false;  // with BMI2, and with the system saving the wide registers
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
    features.Ssse3 = (c & bit_SSSE3) != 0;
    bool wideRegistersSaved = false;
    if ((c & bit_OSXSAVE) != 0 && (c & bit_AVX) != 0) {
        unsigned low = 0;
        unsigned high = 0;
        __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        wideRegistersSaved = (low & 0x6) == 0x6;  // XMM and YMM state
    }
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) != 0) {
        features.Sha = sse && (b & bit_SHA) != 0;
        features.Avx2 = wideRegistersSaved && (b & bit_AVX2) != 0 && (b & bit_BMI2) != 0;
    }
#endif
    return features;
}

const TFeatures& Features() {
    static const TFeatures features = DetectFeatures();
    return features;
}

std::atomic<bool> HardwareEnabled{true};
std::atomic<Sha1Path> Sha1Ceiling{Sha1Path::ShaNi};

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
    return ActiveSha1Path() == Sha1Path::ShaNi;
}

Sha1Path ProcessorSha1Path() {
    const TFeatures& features = Features();
    if (features.Sha) {
        return Sha1Path::ShaNi;
    }
    if (features.Avx2) {
        return Sha1Path::Avx2;
    }
    return features.Ssse3 ? Sha1Path::Ssse3 : Sha1Path::Portable;
}

void LimitSha1Path(Sha1Path ceiling) {
    Sha1Ceiling.store(ceiling, std::memory_order_relaxed);
}

Sha1Path ActiveSha1Path() {
    if (!HardwareEnabled.load(std::memory_order_relaxed)) {
        return Sha1Path::Portable;
    }
    const TFeatures& features = Features();
    // The best path offered within the cap; a processor with the SHA instructions but without
    // AVX2 still has SSSE3 below them.
    switch (Sha1Ceiling.load(std::memory_order_relaxed)) {
        case Sha1Path::ShaNi:
            if (features.Sha) {
                return Sha1Path::ShaNi;
            }
            [[fallthrough]];
        case Sha1Path::Avx2:
            if (features.Avx2) {
                return Sha1Path::Avx2;
            }
            [[fallthrough]];
        case Sha1Path::Ssse3:
            if (features.Ssse3) {
                return Sha1Path::Ssse3;
            }
            [[fallthrough]];
        case Sha1Path::Portable:
            break;
    }
    return Sha1Path::Portable;
}

#if NORVA_CRYPT_ACCEL

// Only these functions use the instructions, so the rest of the program runs on any x86-64.
#define NORVA_TARGET_AES __attribute__((target("aes,sse4.1")))
#define NORVA_TARGET_SHA __attribute__((target("sha,sse4.1")))
#define NORVA_TARGET_SSSE3 __attribute__((target("ssse3")))
#define NORVA_TARGET_AVX2 __attribute__((target("avx2,bmi2")))

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

// --- SHA-1 rounds beside a schedule computed in vector registers ---------------------------
//
// The schedule is computed four words at a time, with the round constant already added, into
// `wk`; the rounds read one word each from there. Group g holds the words 4g to 4g + 3. The
// rounds of group g run beside the schedule of group g + 4, so the vector work fills the gaps
// of the scalar dependency chain.

constexpr std::uint32_t Sha1RoundConstant(int group) {
    return group < 5    ? 0x5A827999u
           : group < 10 ? 0x6ED9EBA1u
           : group < 15 ? 0x8F1BBCDCu
                        : 0xCA62C1D6u;
}

// e += word, with the word read from memory inside the addition. Left to itself the compiler
// forwards the stored schedule through vector extractions of two micro-operations each,
// where the rounds are bound by the count of micro-operations, not by latency.
inline __attribute__((always_inline)) void AddFromMemory(std::uint32_t& e,
                                                         const std::uint32_t& word) {
    __asm__("addl %1, %0" : "+r"(e) : "m"(word));
}

// One round; the five working words rotate their roles, so the round number picks which array
// element plays a to e and the compiler keeps all five in registers.
template <int Round>
inline __attribute__((always_inline)) void Sha1Round(std::uint32_t (&v)[5],
                                                     const std::uint32_t& wordPlusConstant) {
    constexpr int Shift = Round % 5;
    constexpr int A = (5 - Shift) % 5;
    constexpr int B = (6 - Shift) % 5;
    constexpr int C = (7 - Shift) % 5;
    constexpr int D = (8 - Shift) % 5;
    constexpr int E = (9 - Shift) % 5;
    std::uint32_t f;
    if constexpr (Round < 20) {
        f = v[D] ^ (v[B] & (v[C] ^ v[D]));
    } else if constexpr (Round < 40 || Round >= 60) {
        f = v[B] ^ v[C] ^ v[D];
    } else {
        f = (v[B] & v[C]) + (v[D] & (v[B] ^ v[C]));
    }
    // `a` of this round is the last input to become ready: added last.
    AddFromMemory(v[E], wordPlusConstant);
    v[E] += f;
    v[E] += std::rotl(v[A], 5);
    v[B] = std::rotl(v[B], 30);
}

template <int Group>
inline __attribute__((always_inline)) void Sha1FourRounds(std::uint32_t (&v)[5],
                                                          const std::uint32_t* wk) {
    Sha1Round<4 * Group>(v, wk[4 * Group]);
    Sha1Round<4 * Group + 1>(v, wk[4 * Group + 1]);
    Sha1Round<4 * Group + 2>(v, wk[4 * Group + 2]);
    Sha1Round<4 * Group + 3>(v, wk[4 * Group + 3]);
}

NORVA_TARGET_SSSE3 inline __m128i RotlWords(__m128i x, int count) {
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
NORVA_TARGET_SSSE3 inline __attribute__((always_inline)) void Sha1ScheduleGroup(__m128i (&w)[8]) {
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
NORVA_TARGET_SSSE3 inline __attribute__((always_inline)) void Sha1ScheduleSse(
    __m128i (&w)[8], std::uint32_t* wk, const std::uint8_t* block, __m128i byteOrder) {
    if constexpr (Group < 4) {
        w[Group] = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(block) + Group), byteOrder);
    } else {
        Sha1ScheduleGroup<Group>(w);
    }
    const __m128i k = _mm_set1_epi32(static_cast<int>(Sha1RoundConstant(Group)));
    _mm_store_si128(reinterpret_cast<__m128i*>(wk + 4 * Group), _mm_add_epi32(w[Group % 8], k));
}

template <int Group>
NORVA_TARGET_SSSE3 inline __attribute__((always_inline)) void Sha1StepSse(std::uint32_t (&v)[5],
                                                                          __m128i (&w)[8],
                                                                          std::uint32_t* wk,
                                                                          const std::uint8_t* block,
                                                                          __m128i byteOrder) {
    Sha1FourRounds<Group>(v, wk);
    if constexpr (Group + 4 < 20) {
        Sha1ScheduleSse<Group + 4>(w, wk, block, byteOrder);
    }
}

template <std::size_t... Group>
NORVA_TARGET_SSSE3 inline __attribute__((always_inline)) void Sha1BlockSse(
    std::uint32_t (&v)[5], const std::uint8_t* block, __m128i byteOrder,
    std::index_sequence<Group...>) {
    alignas(16) std::uint32_t wk[80];
    __m128i w[8];
    Sha1ScheduleSse<0>(w, wk, block, byteOrder);
    Sha1ScheduleSse<1>(w, wk, block, byteOrder);
    Sha1ScheduleSse<2>(w, wk, block, byteOrder);
    Sha1ScheduleSse<3>(w, wk, block, byteOrder);
    (Sha1StepSse<static_cast<int>(Group)>(v, w, wk, block, byteOrder), ...);
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

// The same code serves both vector paths; compiled for AVX2 and BMI2 the vector instructions
// take three operands and the rounds rotate without copies. (Two blocks side by side in the
// wide registers halve the vector work, but measured slower: the rounds, not the schedule,
// set the pace.)
NORVA_TARGET_SSSE3 static inline __attribute__((always_inline)) void Sha1CompressVector(
    std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) {
    // Big-endian message words.
    const __m128i byteOrder = _mm_set_epi64x(0x0C0D0E0F08090A0BLL, 0x0405060700010203LL);
    std::uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
    for (; count > 0; --count, blocks += 64) {
        Sha1BlockSse(v, blocks, byteOrder, std::make_index_sequence<20>{});
        for (int i = 0; i < 5; ++i) {
            state[i] += v[i];
            v[i] = state[i];
        }
    }
}

NORVA_TARGET_SSSE3 void Sha1CompressSsse3(std::uint32_t* state, const std::uint8_t* blocks,
                                          std::size_t count) {
    Sha1CompressVector(state, blocks, count);
}

NORVA_TARGET_AVX2 void Sha1CompressAvx2(std::uint32_t* state, const std::uint8_t* blocks,
                                        std::size_t count) {
    Sha1CompressVector(state, blocks, count);
}

#endif

}  // namespace CryptAccel
