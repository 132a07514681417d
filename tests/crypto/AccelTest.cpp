// The processor-instruction paths against the portable code and against OpenSSL. On a
// processor without the instructions the hardware cases run the portable code again and say so.

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <vector>

#include "crypto/Cipher.h"
#include "crypto/CryptAccel.h"
#include "crypto/CryptCipher.h"
#include "crypto/CryptHash.h"
#include "tests/support/OpenSslReference.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::ToHex;

enum class Path { Portable, Hardware };

// Selects a path for the lifetime of the object and turns the hardware back on afterwards.
class PathScope {
  public:
    explicit PathScope(Path path) { CryptAccel::SetEnabled(path == Path::Hardware); }
    ~PathScope() { CryptAccel::SetEnabled(true); }
    PathScope(const PathScope&) = delete;
    PathScope& operator=(const PathScope&) = delete;
};

const char* PathName(Path path) {
    return path == Path::Portable ? "portable" : "hardware";
}

void NoteMissing(bool present, const char* instructions) {
    if (!present) {
        std::cout << "note: this processor has no " << instructions
                  << " instructions; the hardware cases run the portable code\n";
    }
}

TEST(CryptAccel, SwitchingOffSelectsThePortableCode) {
    {
        PathScope portable(Path::Portable);
        EXPECT_FALSE(CryptAccel::AesActive());
        EXPECT_FALSE(CryptAccel::ShaActive());
    }
    EXPECT_EQ(CryptAccel::AesActive(), CryptAccel::ProcessorHasAes());
    EXPECT_EQ(CryptAccel::ShaActive(), CryptAccel::ProcessorHasSha());
    NoteMissing(CryptAccel::ProcessorHasAes(), "AES");
    NoteMissing(CryptAccel::ProcessorHasSha(), "SHA");
}

struct BlockResults {
    std::string Encrypted;
    std::string Decrypted;
};

BlockResults CodeBlocks(Path path, const std::string& key, const std::string& blocks) {
    PathScope scope(path);
    TCipher_Rijndael cipher;
    cipher.Init(key, "", 0);
    BlockResults results{blocks, {}};
    for (std::size_t i = 0; i < blocks.size(); i += 16) {
        cipher.EncodeBlock(&results.Encrypted[i], &results.Encrypted[i], 16);
    }
    results.Decrypted = results.Encrypted;
    for (std::size_t i = 0; i < blocks.size(); i += 16) {
        cipher.DecodeBlock(&results.Decrypted[i], &results.Decrypted[i], 16);
    }
    return results;
}

TEST(CryptAccel, RijndaelBlocksOfEveryKeyLength) {
    std::mt19937 random(2001);
    for (std::size_t keyLength = 0; keyLength <= 32; ++keyLength) {
        SCOPED_TRACE("key length " + std::to_string(keyLength));
        const std::string key = testsupport::RandomBytes(random, keyLength);
        const std::string blocks = testsupport::RandomBytes(random, 16 * 16);
        const std::string expected =
            testsupport::ref::Encrypt(testsupport::ref::AesName(keyLength, "ECB"),
                                      testsupport::ref::ZeroExtendedKey(key), "", blocks);
        for (Path path : {Path::Portable, Path::Hardware}) {
            SCOPED_TRACE(PathName(path));
            const BlockResults results = CodeBlocks(path, key, blocks);
            EXPECT_EQ(ToHex(results.Encrypted), ToHex(expected));
            EXPECT_EQ(ToHex(results.Decrypted), ToHex(blocks));
        }
    }
}

struct ChainResult {
    std::string Apart;    // source and destination apart
    std::string InPlace;  // the same bytes encrypted in their own storage
    CipherState State;
};

ChainResult EncodeChained(Path path, const std::string& key, const std::string& message) {
    PathScope scope(path);
    TCipher_Rijndael cipher;
    cipher.SetMode(cmCBCx);
    cipher.Init(key, "", 0xFF);
    ChainResult result{std::string(message.size(), '\0'), message, StateNew};
    cipher.Encode(message.data(), result.Apart.data(), message.size());
    result.State = cipher.State();
    cipher.Init(key, "", 0xFF);
    cipher.Encode(result.InPlace.data(), result.InPlace.data(), result.InPlace.size());
    return result;
}

// Whole blocks in cipher block chaining, a tail of 1 to 15 bytes in 8-bit feedback.
TEST(CryptAccel, ChainedBlocksWithAndWithoutTail) {
    std::mt19937 random(2002);
    for (std::size_t keyLength : {16u, 24u, 32u}) {
        const std::string key = testsupport::RandomBytes(random, keyLength);
        for (std::size_t length :
             {0u, 1u, 15u, 16u, 17u, 31u, 32u, 48u, 255u, 256u, 4096u, 4111u, 65536u + 9u}) {
            SCOPED_TRACE("key " + std::to_string(keyLength) + ", length " + std::to_string(length));
            const std::string message = testsupport::RandomBytes(random, length);
            const ChainResult portable = EncodeChained(Path::Portable, key, message);
            const ChainResult hardware = EncodeChained(Path::Hardware, key, message);
            EXPECT_EQ(ToHex(hardware.Apart), ToHex(portable.Apart));
            EXPECT_EQ(hardware.InPlace, portable.Apart);
            EXPECT_EQ(portable.InPlace, portable.Apart);
            EXPECT_EQ(hardware.State, portable.State);

            // The whole blocks are plain CBC from the encrypted filler block.
            const std::string vector = testsupport::ref::Encrypt(
                testsupport::ref::AesName(keyLength, "ECB"), key, "", std::string(16, '\xFF'));
            const std::size_t whole = length / 16 * 16;
            const std::string expected = testsupport::ref::Encrypt(
                testsupport::ref::AesName(keyLength, "CBC"), key, vector, message.substr(0, whole));
            EXPECT_EQ(ToHex(portable.Apart.substr(0, whole)), ToHex(expected));
        }
    }
}

// --- SHA-1 on each of its paths -----------------------------------------------------------

using CryptAccel::Sha1Path;

constexpr Sha1Path AllSha1Paths[] = {Sha1Path::Portable, Sha1Path::Ssse3, Sha1Path::Avx2,
                                     Sha1Path::ShaNi};

const char* Sha1PathName(Sha1Path path) {
    switch (path) {
        case Sha1Path::Portable:
            return "portable";
        case Sha1Path::Ssse3:
            return "SSSE3 schedule";
        case Sha1Path::Avx2:
            return "AVX2 schedule";
        case Sha1Path::ShaNi:
            return "SHA instructions";
    }
    return "?";
}

// Forces SHA-1 onto a path (as far as the processor offers it) for the lifetime of the object.
class Sha1PathScope {
  public:
    explicit Sha1PathScope(Sha1Path path) {
        CryptAccel::SetEnabled(path != Sha1Path::Portable);
        CryptAccel::LimitSha1Path(path);
    }
    ~Sha1PathScope() {
        CryptAccel::LimitSha1Path(Sha1Path::ShaNi);
        CryptAccel::SetEnabled(true);
    }
    Sha1PathScope(const Sha1PathScope&) = delete;
    Sha1PathScope& operator=(const Sha1PathScope&) = delete;
};

// The paths the processor can run; the others fall back and would only repeat a slower one.
std::vector<Sha1Path> OfferedSha1Paths() {
    std::vector<Sha1Path> offered;
    for (Sha1Path path : AllSha1Paths) {
        Sha1PathScope scope(path);
        if (CryptAccel::ActiveSha1Path() == path) {
            offered.push_back(path);
        } else {
            std::cout << "note: this processor cannot run the SHA-1 path \"" << Sha1PathName(path)
                      << "\"; its cases run \"" << Sha1PathName(CryptAccel::ActiveSha1Path())
                      << "\" instead\n";
        }
    }
    return offered;
}

TEST(CryptAccel, Sha1PathFollowsTheCapAndTheProcessor) {
    const Sha1Path best = CryptAccel::ProcessorSha1Path();
    EXPECT_EQ(CryptAccel::ActiveSha1Path(), best);
    EXPECT_EQ(CryptAccel::ShaActive(), best == Sha1Path::ShaNi);
    EXPECT_EQ(best == Sha1Path::ShaNi, CryptAccel::ProcessorHasSha());
    for (Sha1Path cap : AllSha1Paths) {
        SCOPED_TRACE(Sha1PathName(cap));
        CryptAccel::LimitSha1Path(cap);
        const Sha1Path active = CryptAccel::ActiveSha1Path();
        EXPECT_LE(active, cap);
        EXPECT_LE(active, best);
        // Below the SHA instructions every path is offered by any processor offering a faster
        // one, so the cap is met exactly whenever the processor reaches it.
        if (cap != Sha1Path::ShaNi && best >= cap) {
            EXPECT_EQ(active, cap);
        }
        EXPECT_EQ(CryptAccel::ShaActive(), active == Sha1Path::ShaNi);
        CryptAccel::SetEnabled(false);
        EXPECT_EQ(CryptAccel::ActiveSha1Path(), Sha1Path::Portable);
        CryptAccel::SetEnabled(true);
    }
    CryptAccel::LimitSha1Path(Sha1Path::ShaNi);
    EXPECT_EQ(CryptAccel::ActiveSha1Path(), best);
}

std::string Sha1InPieces(Sha1Path path, const std::string& message, std::mt19937& random,
                         std::size_t largestPiece) {
    Sha1PathScope scope(path);
    const auto hash = THash_SHA1::ClassRef()->Create();
    hash->Init();
    for (std::size_t i = 0; i < message.size();) {
        const std::size_t piece =
            std::min<std::size_t>(random() % (largestPiece + 1), message.size() - i);
        hash->Update(message.data() + i, piece);
        i += piece;
    }
    hash->Finish();
    return hash->DigestText(nullptr);
}

// Pieces of up to 300 bytes hand over zero to four whole blocks at a time, so the two-block
// path also meets an odd block at the end; the long messages take one piece of many blocks.
TEST(CryptAccel, Sha1OfEveryLengthInRandomPiecesOnEveryPath) {
    std::mt19937 random(2003);
    const std::vector<Sha1Path> paths = OfferedSha1Paths();
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length <= 2000; ++length) {
        lengths.push_back(length);
    }
    for (std::size_t length : lengths) {
        const std::string message = testsupport::RandomBytes(random, length);
        const std::string expected = testsupport::ref::Sha1(message);
        for (Sha1Path path : paths) {
            ASSERT_EQ(ToHex(Sha1InPieces(path, message, random, 300)), ToHex(expected))
                << Sha1PathName(path) << ", length " << length;
        }
    }
    for (std::size_t length : {std::size_t{1} << 20, (std::size_t{1} << 20) + 64 + 55}) {
        const std::string message = testsupport::RandomBytes(random, length);
        const std::string expected = testsupport::ref::Sha1(message);
        for (Sha1Path path : paths) {
            EXPECT_EQ(ToHex(Sha1InPieces(path, message, random, length)), ToHex(expected))
                << Sha1PathName(path) << ", length " << length;
        }
    }
}

// One piece of 2^25 bytes carries the surplus of the bit counter into the padding; every path
// must give the digest signed logs of that size were made with.
TEST(CryptAccel, Sha1KnownAnswerOf32MiBInOnePieceOnEveryPath) {
    const std::string message(std::size_t{1} << 25, '\x79');
    for (Sha1Path path : OfferedSha1Paths()) {
        Sha1PathScope scope(path);
        EXPECT_EQ(ToHex(THash_SHA1::ClassRef()->HashText(message, nullptr)),
                  "425dea50a7ace5cc42bee84154c5f05d11c0d638")
            << Sha1PathName(path);
    }
}

// The original SHA has no fast path of its own and must not take the SHA-1 ones.
TEST(CryptAccel, OriginalShaIsTheSameOnEveryPath) {
    const std::string message(1000, 'a');
    std::string portable;
    {
        Sha1PathScope scope(Sha1Path::Portable);
        portable = ToHex(THash_SHA::ClassRef()->HashText(message, nullptr));
    }
    EXPECT_NE(portable, ToHex(testsupport::ref::Sha1(message)));
    for (Sha1Path path : OfferedSha1Paths()) {
        Sha1PathScope scope(path);
        EXPECT_EQ(ToHex(THash_SHA::ClassRef()->HashText(message, nullptr)), portable)
            << Sha1PathName(path);
    }
}

struct Signatures {
    std::string Kept;   // from a text the signer only reads
    std::string Given;  // from a text handed over to be encrypted in place
    std::string Left;   // what the handed-over text holds afterwards
};

Signatures Sign(Path path, const std::string& text) {
    PathScope scope(path);
    TCipher signer;
    signer.Setup("", "NRVG-8D 41873 / Bahnfunk Messdienst Nord");
    Signatures result;
    result.Kept = signer.SignText(text);
    std::string handed = text;
    result.Given = signer.SignText(std::move(handed));
    result.Left = std::move(handed);
    return result;
}

TEST(CryptAccel, SignaturesAgreeOnBothPathsAndInPlace) {
    std::mt19937 random(2004);
    for (std::size_t length : {0u, 5u, 16u, 40u, 1000u, 1u << 16, (1u << 18) + 13}) {
        SCOPED_TRACE("length " + std::to_string(length));
        const std::string text = testsupport::RandomBytes(random, length);
        const Signatures portable = Sign(Path::Portable, text);
        const Signatures hardware = Sign(Path::Hardware, text);
        EXPECT_EQ(hardware.Kept, portable.Kept);
        EXPECT_EQ(portable.Given, portable.Kept);
        EXPECT_EQ(hardware.Given, portable.Kept);
        EXPECT_TRUE(portable.Left.empty());
        EXPECT_TRUE(hardware.Left.empty());
    }
}

}  // namespace
