#pragma once
// The faster paths of Rijndael, SHA-1 and base64 on x86-64 and the choice between them at run time.
// Each instruction set has a source file of its own, compiled with exactly the flags it needs
// (see CMakeLists.txt): AccelAesNi.cpp, AccelShaNi.cpp, AccelSha1Ssse3.cpp, AccelSha1Avx2.cpp,
// AccelBase64Ssse3.cpp, AccelBase64Avx2.cpp.
// Each routine computes exactly what the portable code computes; the portable code stays the
// fallback on processors without the instructions and the reference in tests.

#include <cstddef>
#include <cstdint>

#include "crypto/CpuFeatures.h"

namespace CryptAccel {

enum class AesPath { Portable, AesNi };

// The ways to compute SHA-1, slowest first: portable code; the message schedule four words
// at a time in vector registers beside scalar rounds, in SSSE3 code or in AVX2 code with BMI2
// rotations; the SHA instructions.
enum class Sha1Path { Portable, Ssse3, Avx2, ShaNi };

// Base64 encoding: the table of character pairs, or the vector code that turns twelve bytes
// (SSSE3) or twenty-four (AVX2) into their characters at once.
enum class Base64Path { Portable, Ssse3, Avx2 };

// Whether the processor can run the path; the portable ones always.
bool Offered(AesPath path);
bool Offered(Sha1Path path);
bool Offered(Base64Path path);

// Caps the paths: tests force each path with it, benchmarks run what a processor without
// some instructions would run. The fastest path, the default, leaves the choice free. The
// caps are atomic, so other threads see either the old or the new one.
void LimitAesPath(AesPath ceiling);
void LimitSha1Path(Sha1Path ceiling);
void LimitBase64Path(Base64Path ceiling);

// The path taken now: the fastest one the processor offers within the cap.
AesPath ActiveAesPath();
Sha1Path ActiveSha1Path();
Base64Path ActiveBase64Path();

#if NORVA_CRYPT_ACCEL

// --- AccelAesNi.cpp: the AES instructions ---------------------------------------------------

// Rijndael with 10, 12 or 14 rounds. `keys` is the expanded encryption key of 4 × (rounds + 1)
// little-endian words, whose bytes are the round keys of FIPS 197 in order.
void AesEncryptBlock(const std::uint32_t* keys, int rounds, const std::uint8_t* source,
                     std::uint8_t* destination);
// `keys` is the schedule of the equivalent inverse cipher: the encryption round keys with the
// inverse column mix applied to rounds 1 to rounds - 1, stored in encryption order.
void AesDecryptBlock(const std::uint32_t* keys, int rounds, const std::uint8_t* source,
                     std::uint8_t* destination);
// Cipher block chaining over `count` blocks, the first xored with `chain`; in place allowed.
void AesEncryptChained(const std::uint32_t* keys, int rounds, const std::uint8_t* source,
                       std::uint8_t* destination, std::size_t count, const std::uint8_t* chain);

// --- SHA-1 compression of `count` 64-byte blocks into the five chaining words -------------

// AccelShaNi.cpp: the SHA instructions.
void Sha1CompressShaNi(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count);
// AccelSha1Ssse3.cpp, AccelSha1Avx2.cpp: the message schedule in vector registers. Both wipe
// the schedule before they return.
void Sha1CompressSsse3(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count);
void Sha1CompressAvx2(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count);

// --- Base64 of `groups` groups of three bytes, four characters each ------------------------

// AccelBase64Ssse3.cpp, AccelBase64Avx2.cpp. Each reads whole vectors, so it stops a few groups
// before the end, where a load would reach beyond the bytes; it returns the number of groups
// it encoded, and the caller encodes the rest.
std::size_t Base64EncodeSsse3(const std::uint8_t* bytes, std::size_t groups, char* out);
std::size_t Base64EncodeAvx2(const std::uint8_t* bytes, std::size_t groups, char* out);

#endif

}  // namespace CryptAccel
