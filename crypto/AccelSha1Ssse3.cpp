// SHA-1 with the message schedule in SSSE3 registers. This file alone is compiled with -mssse3.

#include "crypto/CryptAccel.h"

#if NORVA_CRYPT_ACCEL

#include "crypto/AccelSha1Vector.h"

void CryptAccel::Sha1CompressSsse3(std::uint32_t* state, const std::uint8_t* blocks,
                                   std::size_t count) {
    Sha1Vector::Compress(state, blocks, count);
}

#endif
