// Throughput of the signature cryptography beside OpenSSL. Each "Ours" benchmark has an
// "OpenSSL" twin of the same name doing the same work, and a "Portable" twin running our code
// with the processor's AES, SHA and vector base64 instructions turned off; SHA-1 also has "Ssse3"
// and "NoShaNi" twins, the latter on the path a processor without the SHA instructions takes.
// bench/run-crypto-bench prints ratios.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "crypto/Cipher.h"
#include "crypto/CryptAccel.h"
#include "crypto/CryptCipher.h"
#include "crypto/CryptFmt.h"
#include "crypto/CryptHash.h"
#include "tests/support/OpenSslReference.h"

namespace {

constexpr std::int64_t MiB = 1 << 20;

std::string TestData(std::size_t size) {
    std::string data(size, '\0');
    std::uint32_t x = 0x12345678u;
    for (char& c : data) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

const std::string Key(32, '\x2A');

auto* Bytes(std::string& s) {
    return reinterpret_cast<unsigned char*>(s.data());
}
auto* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

CipherContext NewAesContext(const EVP_CIPHER* cipher, const unsigned char* iv) {
    CipherContext context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    if (EVP_EncryptInit_ex(context.get(), cipher, nullptr, Bytes(Key), iv) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
        throw std::runtime_error("EVP_EncryptInit_ex failed");
    }
    return context;
}

void EvpEncrypt(EVP_CIPHER_CTX* context, const std::string& in, std::string& out) {
    int written = 0;
    if (EVP_EncryptUpdate(context, Bytes(out), &written, Bytes(in), static_cast<int>(in.size())) !=
        1) {
        throw std::runtime_error("EVP_EncryptUpdate failed");
    }
}

// --- SHA-1 --------------------------------------------------------------------------------

void Ours_Sha1(benchmark::State& state) {
    const std::string data = TestData(static_cast<std::size_t>(state.range(0)));
    const auto hash = THash_SHA1::ClassRef()->Create();
    for (auto _ : state) {
        hash->Init();
        hash->Update(data);
        hash->Finish();
        benchmark::DoNotOptimize(hash->Digest());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void OpenSSL_Sha1(benchmark::State& state) {
    const std::string data = TestData(static_cast<std::size_t>(state.range(0)));
    unsigned char digest[EVP_MAX_MD_SIZE];
    for (auto _ : state) {
        EVP_Digest(data.data(), data.size(), digest, nullptr, EVP_sha1(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// --- Base64 ---------------------------------------------------------------------------------

// Into a buffer that is reused, as the signature writes its MIME64 text piece by piece.
void Ours_Base64(benchmark::State& state) {
    const std::string data = TestData(static_cast<std::size_t>(state.range(0)));
    const TFormatClass* mime64 = TFormat_MIME64::ClassRef();
    std::string text(mime64->TextSize(data.size()), '\0');
    for (auto _ : state) {
        mime64->EncodeAt(data.data(), data.size(), text.data());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void OpenSSL_Base64(benchmark::State& state) {
    const std::string data = TestData(static_cast<std::size_t>(state.range(0)));
    std::string text(4 * ((data.size() + 2) / 3) + 1, '\0');
    for (auto _ : state) {
        EVP_EncodeBlock(Bytes(text), Bytes(data), static_cast<int>(data.size()));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// --- One Rijndael block -------------------------------------------------------------------

void Ours_RijndaelBlock(benchmark::State& state) {
    TCipher_Rijndael cipher;
    cipher.Init(Key, "", 0xFF);
    std::string block = TestData(16);
    for (auto _ : state) {
        cipher.EncodeBlock(block.data(), block.data(), 16);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 16);
}

void OpenSSL_RijndaelBlock(benchmark::State& state) {
    const CipherContext context = NewAesContext(EVP_aes_256_ecb(), nullptr);
    std::string block = TestData(16);
    for (auto _ : state) {
        EvpEncrypt(context.get(), block, block);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 16);
}

// --- AES-256 cipher block chaining --------------------------------------------------------

void Ours_CBCx(benchmark::State& state) {
    const std::string data = TestData(static_cast<std::size_t>(state.range(0)));
    std::string out(data.size(), '\0');
    TCipher_Rijndael cipher;
    cipher.SetMode(cmCBCx);
    for (auto _ : state) {
        cipher.Init(Key, "", 0xFF);
        cipher.Encode(data.data(), out.data(), data.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void OpenSSL_CBCx(benchmark::State& state) {
    const std::string data = TestData(static_cast<std::size_t>(state.range(0)));
    std::string out(data.size(), '\0');
    const std::string vector(16, '\xFF');
    for (auto _ : state) {
        const CipherContext context = NewAesContext(EVP_aes_256_cbc(), Bytes(vector));
        EvpEncrypt(context.get(), data, out);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// --- The whole signature ------------------------------------------------------------------

void Ours_SignText(benchmark::State& state) {
    const std::string text = TestData(static_cast<std::size_t>(state.range(0)));
    TCipher signer;
    signer.Setup("", "NRVG-8D 41873 / Bahnfunk Messdienst Nord");
    for (auto _ : state) {
        benchmark::DoNotOptimize(signer.SignText(text));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Key derivation aside (it is a fixed cost of microseconds), the same chain: AES-256-CBC,
// base64 of the ciphertext, SHA-1 of that text, base64 of the digest.
void OpenSSL_SignText(benchmark::State& state) {
    const std::string text = TestData(static_cast<std::size_t>(state.range(0)));
    const std::string vector(16, '\xFF');
    for (auto _ : state) {
        std::string encrypted(text.size(), '\0');
        const CipherContext context = NewAesContext(EVP_aes_256_cbc(), Bytes(vector));
        EvpEncrypt(context.get(), text, encrypted);
        const std::string encryptedText = testsupport::ref::Base64(encrypted);
        std::string digest(20, '\0');
        EVP_Digest(encryptedText.data(), encryptedText.size(), Bytes(digest), nullptr, EVP_sha1(),
                   nullptr);
        benchmark::DoNotOptimize(testsupport::ref::Base64(digest));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// --- Wiping -------------------------------------------------------------------------------

// The four wipe passes beside one plain fill of the same buffer.
void Ours_Wipe(benchmark::State& state) {
    std::string data = TestData(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        WipeBuffer(data.data(), static_cast<std::ptrdiff_t>(data.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void OneFill_Wipe(benchmark::State& state) {
    std::string data = TestData(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::memset(data.data(), 0, data.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Our code on the portable path: the same benchmark with the instructions turned off.
template <void (*Benchmark)(benchmark::State&)>
void Portable(benchmark::State& state) {
    CryptAccel::LimitAesPath(CryptAccel::AesPath::Portable);
    CryptAccel::LimitSha1Path(CryptAccel::Sha1Path::Portable);
    CryptAccel::LimitBase64Path(CryptAccel::Base64Path::Portable);
    Benchmark(state);
    CryptAccel::LimitAesPath(CryptAccel::AesPath::AesNi);
    CryptAccel::LimitSha1Path(CryptAccel::Sha1Path::ShaNi);
    CryptAccel::LimitBase64Path(CryptAccel::Base64Path::Avx2);
}

// SHA-1 with its path capped; the label names the path actually taken.
template <CryptAccel::Sha1Path Cap>
void Sha1Capped(benchmark::State& state) {
    CryptAccel::LimitSha1Path(Cap);
    switch (CryptAccel::ActiveSha1Path()) {
        case CryptAccel::Sha1Path::Portable:
            state.SetLabel("portable");
            break;
        case CryptAccel::Sha1Path::Ssse3:
            state.SetLabel("SSSE3 schedule");
            break;
        case CryptAccel::Sha1Path::Avx2:
            state.SetLabel("AVX2 schedule");
            break;
        case CryptAccel::Sha1Path::ShaNi:
            state.SetLabel("SHA instructions");
            break;
    }
    Ours_Sha1(state);
    CryptAccel::LimitSha1Path(CryptAccel::Sha1Path::ShaNi);
}

// With repetitions, the fastest repetition is the one least disturbed by other work on the
// machine; ratios are taken from it.
double Fastest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

#define NORVA_BENCH(name) BENCHMARK(name)->ComputeStatistics("min", Fastest)

#define NORVA_PORTABLE_BENCH(name)            \
    BENCHMARK_TEMPLATE(Portable, Ours_##name) \
        ->Name("Portable_" #name)             \
        ->ComputeStatistics("min", Fastest)

NORVA_BENCH(Ours_Sha1)->Arg(MiB);
NORVA_PORTABLE_BENCH(Sha1)->Arg(MiB);
BENCHMARK_TEMPLATE(Sha1Capped, CryptAccel::Sha1Path::Ssse3)
    ->Name("Ssse3_Sha1")
    ->ComputeStatistics("min", Fastest)
    ->Arg(MiB);
// Everything below the SHA instructions: what a processor without them runs.
BENCHMARK_TEMPLATE(Sha1Capped, CryptAccel::Sha1Path::Avx2)
    ->Name("NoShaNi_Sha1")
    ->ComputeStatistics("min", Fastest)
    ->Arg(MiB);
NORVA_BENCH(OpenSSL_Sha1)->Arg(MiB);
NORVA_BENCH(Ours_Base64)->Arg(MiB);
NORVA_PORTABLE_BENCH(Base64)->Arg(MiB);
NORVA_BENCH(OpenSSL_Base64)->Arg(MiB);
NORVA_BENCH(Ours_RijndaelBlock);
NORVA_PORTABLE_BENCH(RijndaelBlock);
NORVA_BENCH(OpenSSL_RijndaelBlock);
NORVA_BENCH(Ours_CBCx)->Arg(MiB)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);
NORVA_PORTABLE_BENCH(CBCx)->Arg(MiB)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);
NORVA_BENCH(OpenSSL_CBCx)->Arg(MiB)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);
NORVA_BENCH(Ours_SignText)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);
NORVA_PORTABLE_BENCH(SignText)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);
NORVA_BENCH(OpenSSL_SignText)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);
NORVA_BENCH(Ours_Wipe)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);
NORVA_BENCH(OneFill_Wipe)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
