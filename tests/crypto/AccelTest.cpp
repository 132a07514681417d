// The processor-instruction paths against the portable code and against OpenSSL. On a
// processor without the instructions the hardware cases run the portable code again and say so.

#include <gtest/gtest.h>

#include <iostream>

#include "Cipher.h"
#include "CryptAccel.h"
#include "CryptCipher.h"
#include "CryptHash.h"
#include "TestSupport.h"

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

std::string Sha1InPieces(Path path, const std::string& message, std::mt19937& random) {
    PathScope scope(path);
    const auto hash = THash_SHA1::ClassRef()->Create();
    hash->Init();
    for (std::size_t i = 0; i < message.size();) {
        const std::size_t piece = std::min<std::size_t>(random() % 300, message.size() - i);
        hash->Update(message.data() + i, piece);
        i += piece;
    }
    hash->Finish();
    return hash->DigestText(nullptr);
}

TEST(CryptAccel, Sha1OfEveryLengthInRandomPieces) {
    std::mt19937 random(2003);
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length <= 600; ++length) {
        lengths.push_back(length);
    }
    lengths.push_back(1 << 20);
    lengths.push_back((1 << 20) + 55);
    for (std::size_t length : lengths) {
        const std::string message = testsupport::RandomBytes(random, length);
        const std::string expected = testsupport::ref::Sha1(message);
        for (Path path : {Path::Portable, Path::Hardware}) {
            ASSERT_EQ(ToHex(Sha1InPieces(path, message, random)), ToHex(expected))
                << PathName(path) << ", length " << length;
        }
    }
}

// The original SHA has no instructions of its own and must not take the SHA-1 ones.
TEST(CryptAccel, OriginalShaIsTheSameOnBothPaths) {
    const std::string message(1000, 'a');
    std::string digests[2];
    for (Path path : {Path::Portable, Path::Hardware}) {
        PathScope scope(path);
        digests[static_cast<int>(path)] = ToHex(THash_SHA::ClassRef()->HashText(message, nullptr));
    }
    EXPECT_EQ(digests[0], digests[1]);
    EXPECT_NE(digests[0], ToHex(testsupport::ref::Sha1(message)));
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
