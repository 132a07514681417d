// SHA-1 with the message schedule in AVX2 registers and BMI2 rotations. This file alone is
// compiled with -mavx2 -mbmi2.

#include "crypto/CryptAccel.h"

#if NORVA_CRYPT_ACCEL

#include "crypto/AccelSha1Vector.h"

void CryptAccel::Sha1CompressAvx2(std::uint32_t* state, const std::uint8_t* blocks,
                                  std::size_t count) {
    Sha1Vector::Compress(state, blocks, count);
}

#endif
