#pragma once
// Processor instructions for Rijndael (AES-NI) and SHA-1 (SHA-NI, or vector instructions for
// the message schedule) on x86-64, chosen at run time. Each routine computes exactly what the
// portable code computes; the portable code stays the fallback on processors without the
// instructions and the reference in tests.

#include <cstddef>
#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define NORVA_CRYPT_ACCEL 1
#else
#define NORVA_CRYPT_ACCEL 0
#endif

namespace CryptAccel {

// What the processor offers, whatever SetEnabled says.
bool ProcessorHasAes();
bool ProcessorHasSha();

// Turns the hardware paths off (false) or back on; tests and benchmarks use it to run the
// portable code on any processor. On by default.
void SetEnabled(bool enabled);

// True when the instructions are present and not turned off.
bool AesActive();
bool ShaActive();

// The ways to compute SHA-1, slowest first: portable code; the message schedule four words
// at a time in vector registers beside scalar rounds, in SSSE3 code or in AVX2 code with BMI2
// rotations; the SHA instructions.
enum class Sha1Path { Portable, Ssse3, Avx2, ShaNi };

// The fastest path the processor offers, whatever SetEnabled and LimitSha1Path say.
Sha1Path ProcessorSha1Path();

// Caps the SHA-1 path: tests force each path with it, benchmarks run what a processor without
// the SHA instructions would run. Sha1Path::ShaNi, the default, leaves the choice free.
void LimitSha1Path(Sha1Path ceiling);

// The path SHA-1 takes now: the fastest one offered within the cap, or the portable code when
// the hardware paths are turned off.
Sha1Path ActiveSha1Path();

#if NORVA_CRYPT_ACCEL

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

// SHA-1 compression of `count` 64-byte blocks into the five chaining words, with the SHA
// instructions, and with the message schedule in vector registers (SSSE3 or AVX2 code).
void Sha1Compress(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count);
void Sha1CompressSsse3(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count);
void Sha1CompressAvx2(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count);

#endif

}  // namespace CryptAccel
