#pragma once
// What the processor offers the faster paths of the cryptography, detected once.

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define NORVA_CRYPT_ACCEL 1
#else
#define NORVA_CRYPT_ACCEL 0
#endif

namespace CpuFeatures {

struct TFeatures {
    bool Aes = false;  // with SSE4.1
    bool Sha = false;  // with SSE4.1
    bool Ssse3 = false;
    bool Avx2 = false;  // with BMI2, and with the system saving the wide registers
};

// The features of the processor the program runs on; none off x86.
const TFeatures& Processor();

}  // namespace CpuFeatures
