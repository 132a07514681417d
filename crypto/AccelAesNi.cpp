// Rijndael with the AES instructions. This file alone is compiled with -maes.

#include "crypto/CryptAccel.h"

#if NORVA_CRYPT_ACCEL

#include <immintrin.h>

#include <utility>

namespace CryptAccel {
namespace {

inline __m128i LoadBlock(const void* bytes) {
    return _mm_loadu_si128(static_cast<const __m128i*>(bytes));
}

inline void StoreBlock(void* bytes, __m128i block) {
    _mm_storeu_si128(static_cast<__m128i*>(bytes), block);
}

// The round keys are read from the schedule each time rather than copied to locals, so no
// copy of key material is left on the stack.
inline __m128i RoundKey(const std::uint32_t* keys, int round) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + 4 * round));
}

template <int Rounds, std::size_t... Round>
inline __m128i EncryptRounds(__m128i block, const std::uint32_t* keys,
                             std::index_sequence<Round...>) {
    ((block = _mm_aesenc_si128(block, RoundKey(keys, static_cast<int>(Round) + 1))), ...);
    return _mm_aesenclast_si128(block, RoundKey(keys, Rounds));
}

// `block` already holds the input xored with round key 0.
template <int Rounds>
inline __m128i EncryptWhitened(__m128i block, const std::uint32_t* keys) {
    return EncryptRounds<Rounds>(block, keys, std::make_index_sequence<Rounds - 1>{});
}

template <int Rounds>
void EncryptBlock(const std::uint32_t* keys, const std::uint8_t* source,
                  std::uint8_t* destination) {
    const __m128i block = _mm_xor_si128(LoadBlock(source), RoundKey(keys, 0));
    StoreBlock(destination, EncryptWhitened<Rounds>(block, keys));
}

template <int Rounds>
void EncryptChained(const std::uint32_t* keys, const std::uint8_t* source,
                    std::uint8_t* destination, std::size_t count, const std::uint8_t* chain) {
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
inline __m128i DecryptRounds(__m128i block, const std::uint32_t* keys,
                             std::index_sequence<Step...>) {
    ((block = _mm_aesdec_si128(block, RoundKey(keys, Rounds - 1 - static_cast<int>(Step)))), ...);
    return _mm_aesdeclast_si128(block, RoundKey(keys, 0));
}

template <int Rounds>
void DecryptBlock(const std::uint32_t* keys, const std::uint8_t* source,
                  std::uint8_t* destination) {
    const __m128i block = _mm_xor_si128(LoadBlock(source), RoundKey(keys, Rounds));
    StoreBlock(destination,
               DecryptRounds<Rounds>(block, keys, std::make_index_sequence<Rounds - 1>{}));
}

}  // namespace

void AesEncryptBlock(const std::uint32_t* keys, int rounds, const std::uint8_t* source,
                     std::uint8_t* destination) {
    switch (rounds) {
        case 10:
            return EncryptBlock<10>(keys, source, destination);
        case 12:
            return EncryptBlock<12>(keys, source, destination);
        default:
            return EncryptBlock<14>(keys, source, destination);
    }
}

void AesDecryptBlock(const std::uint32_t* keys, int rounds, const std::uint8_t* source,
                     std::uint8_t* destination) {
    switch (rounds) {
        case 10:
            return DecryptBlock<10>(keys, source, destination);
        case 12:
            return DecryptBlock<12>(keys, source, destination);
        default:
            return DecryptBlock<14>(keys, source, destination);
    }
}

void AesEncryptChained(const std::uint32_t* keys, int rounds, const std::uint8_t* source,
                       std::uint8_t* destination, std::size_t count, const std::uint8_t* chain) {
    switch (rounds) {
        case 10:
            return EncryptChained<10>(keys, source, destination, count, chain);
        case 12:
            return EncryptChained<12>(keys, source, destination, count, chain);
        default:
            return EncryptChained<14>(keys, source, destination, count, chain);
    }
}

}  // namespace CryptAccel

#endif
