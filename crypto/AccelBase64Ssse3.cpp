// Base64 encoding of twelve bytes at a time in SSSE3 registers. This file alone is compiled
// with -mssse3.

#include "crypto/CryptAccel.h"

#if NORVA_CRYPT_ACCEL

#include <tmmintrin.h>

namespace CryptAccel {
namespace {

// Bytes 0 to 11 as sixteen characters. Each group of three bytes s0 s1 s2 is spread over one
// 32-bit lane as s1 s0 s2 s1, so that two masks and two multiplications move its four 6-bit
// indices into the four bytes of the lane, in text order.
inline __m128i Mime64Chars(__m128i bytes) {
    const __m128i spread =
        _mm_shuffle_epi8(bytes, _mm_set_epi8(10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1));
    const __m128i first = _mm_mulhi_epu16(_mm_and_si128(spread, _mm_set1_epi32(0x0FC0FC00)),
                                          _mm_set1_epi32(0x04000040));
    const __m128i second = _mm_mullo_epi16(_mm_and_si128(spread, _mm_set1_epi32(0x003F03F0)),
                                           _mm_set1_epi32(0x01000010));
    const __m128i indices = _mm_or_si128(first, second);
    // Which stretch of the alphabet an index falls in, as the position of the distance from
    // the index to its character in a table of sixteen: 0..25 take 13 ("A"), 26..51 take 0
    // ("a" - 26), 52..61 take 1..10 ("0" - 52), 62 takes 11 ("+"), 63 takes 12 ("/").
    const __m128i upperCase = _mm_cmpgt_epi8(_mm_set1_epi8(26), indices);
    const __m128i stretch = _mm_or_si128(_mm_subs_epu8(indices, _mm_set1_epi8(51)),
                                         _mm_and_si128(upperCase, _mm_set1_epi8(13)));
    const __m128i distances =
        _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                      '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    return _mm_add_epi8(_mm_shuffle_epi8(distances, stretch), indices);
}

}  // namespace

std::size_t Base64EncodeSsse3(const std::uint8_t* bytes, std::size_t groups, char* out) {
    // Each step loads sixteen bytes and encodes the first twelve of them.
    std::size_t k = 0;
    for (; 3 * k + 16 <= 3 * groups; k += 4) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 3 * k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k), Mime64Chars(in));
    }
    return k;
}

}  // namespace CryptAccel

#endif
