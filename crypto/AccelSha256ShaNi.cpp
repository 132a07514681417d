// SHA-256 with the SHA instructions. This file alone is compiled with -msha -msse4.1.

#include "crypto/Sha256.h"

#include "crypto/CpuFeatures.h"

#if NORVA_CRYPT_ACCEL

#include <immintrin.h>

namespace CryptAccel {

// The instructions keep the state as the lanes (a, b, e, f) and (c, d, g, h); each group of
// four message words is scheduled from the four groups before it, which sit in w[g % 4].
void Sha256CompressShaNi(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) {
    const __m128i byteOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4];
        for (int g = 0; g < 16; ++g) {
            __m128i& slot = w[g % 4];
            if (g < 4) {
                slot = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks) + g), byteOrder);
            } else {
                const __m128i mixed =
                    _mm_add_epi32(_mm_sha256msg1_epu32(slot, w[(g + 1) % 4]),
                                  _mm_alignr_epi8(w[(g + 3) % 4], w[(g + 2) % 4], 4));
                slot = _mm_sha256msg2_epu32(mixed, w[(g + 3) % 4]);
            }
            __m128i words = _mm_add_epi32(slot, _mm_load_si128(reinterpret_cast<const __m128i*>(
                                                    Sha256Detail::RoundConstants + 4 * g)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
            words = _mm_shuffle_epi32(words, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, words);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace CryptAccel

#endif
