#include "crypto/CpuFeatures.h"

#if NORVA_CRYPT_ACCEL
#include <cpuid.h>
#endif

namespace CpuFeatures {
namespace {

TFeatures Detect() {
    TFeatures features;
#if NORVA_CRYPT_ACCEL
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) {
        return features;
    }
    // The AES and SHA paths also use SSSE3 byte shuffles and SSE4.1 word extraction.
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

}  // namespace

const TFeatures& Processor() {
    static const TFeatures features = Detect();
    return features;
}

}  // namespace CpuFeatures
