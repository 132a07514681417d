// Base64 encoding of twenty-four bytes at a time in AVX2 registers. This file alone is compiled
// with -mavx2.

#include "crypto/CryptAccel.h"

#if NORVA_CRYPT_ACCEL

#include <immintrin.h>

namespace CryptAccel {
namespace {

// Twelve bytes in each 128-bit half as sixteen characters each: the SSSE3 steps, whose
// shuffles already stay within a half.
inline __m256i Mime64Chars(__m256i bytes) {
    const __m256i spread =
        _mm256_shuffle_epi8(bytes, _mm256_broadcastsi128_si256(_mm_set_epi8(
                                       10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1)));
    const __m256i first = _mm256_mulhi_epu16(
        _mm256_and_si256(spread, _mm256_set1_epi32(0x0FC0FC00)), _mm256_set1_epi32(0x04000040));
    const __m256i second = _mm256_mullo_epi16(
        _mm256_and_si256(spread, _mm256_set1_epi32(0x003F03F0)), _mm256_set1_epi32(0x01000010));
    const __m256i indices = _mm256_or_si256(first, second);
    // 0..25 take 13 ("A"), 26..51 take 0 ("a" - 26), 52..61 take 1..10 ("0" - 52), 62 takes 11
    // ("+"), 63 takes 12 ("/").
    const __m256i upperCase = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), indices);
    const __m256i stretch = _mm256_or_si256(_mm256_subs_epu8(indices, _mm256_set1_epi8(51)),
                                            _mm256_and_si256(upperCase, _mm256_set1_epi8(13)));
    const __m256i distances = _mm256_broadcastsi128_si256(
        _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                      '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0));
    return _mm256_add_epi8(_mm256_shuffle_epi8(distances, stretch), indices);
}

}  // namespace

std::size_t Base64EncodeAvx2(const std::uint8_t* bytes, std::size_t groups, char* out) {
    // Each step loads sixteen bytes into each half and encodes the first twelve of each.
    std::size_t k = 0;
    for (; 3 * k + 28 <= 3 * groups; k += 8) {
        const auto* in = reinterpret_cast<const __m128i*>(bytes + 3 * k);
        const auto* inHigh = reinterpret_cast<const __m128i*>(bytes + 3 * k + 12);
        const __m256i halves = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(in)),
                                                       _mm_loadu_si128(inHigh), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * k), Mime64Chars(halves));
    }
    return k;
}

}  // namespace CryptAccel

#endif
