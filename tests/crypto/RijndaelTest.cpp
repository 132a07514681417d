#include <gtest/gtest.h>

#include "crypto/CryptCipher.h"
#include "tests/support/OpenSslReference.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VectorFile.h"

namespace {

using testsupport::ToHex;

std::string EncodeBlock(TCipher_Rijndael& cipher, const std::string& block) {
    std::string out(16, '\0');
    cipher.EncodeBlock(block.data(), out.data(), 16);
    return out;
}

std::string DecodeBlock(TCipher_Rijndael& cipher, const std::string& block) {
    std::string out(16, '\0');
    cipher.DecodeBlock(block.data(), out.data(), 16);
    return out;
}

TEST(RijndaelFips197, EncryptsAndDecryptsTheExamples) {
    for (const auto& v : testsupport::ReadVectors(NORVA_TEST_DATA, "aes-fips197.txt")) {
        SCOPED_TRACE(v.Source);
        TCipher_Rijndael cipher;
        cipher.Init(v.Bytes("key"), "", 0);
        EXPECT_EQ(cipher.Rounds(), std::stoi(v.Text("rounds")));
        const std::string plain = v.Bytes("plaintext");
        const std::string encrypted = v.Bytes("ciphertext");
        EXPECT_EQ(ToHex(EncodeBlock(cipher, plain)), v.Text("ciphertext"));
        EXPECT_EQ(ToHex(DecodeBlock(cipher, encrypted)), v.Text("plaintext"));

        std::string inPlace = plain;
        cipher.EncodeBlock(inPlace.data(), inPlace.data(), 16);
        EXPECT_EQ(inPlace, encrypted);
        cipher.DecodeBlock(inPlace.data(), inPlace.data(), 16);
        EXPECT_EQ(inPlace, plain);
    }
}

TEST(Rijndael, EveryKeyLengthIsAesWithTheZeroExtendedKey) {
    std::mt19937 random(197);
    TCipher_Rijndael cipher;
    for (std::size_t keyLength = 0; keyLength <= 32; ++keyLength) {
        const std::string key = testsupport::RandomBytes(random, keyLength);
        cipher.Init(key, "", 0);
        EXPECT_EQ(cipher.Rounds(), keyLength <= 16 ? 10 : keyLength <= 24 ? 12 : 14);
        const std::string blocks = testsupport::RandomBytes(random, 16 * 8);
        const std::string expected =
            testsupport::ref::Encrypt(testsupport::ref::AesName(keyLength, "ECB"),
                                      testsupport::ref::ZeroExtendedKey(key), "", blocks);
        for (std::size_t i = 0; i < blocks.size(); i += 16) {
            const std::string block = blocks.substr(i, 16);
            const std::string encrypted = EncodeBlock(cipher, block);
            ASSERT_EQ(ToHex(encrypted), ToHex(expected.substr(i, 16)))
                << "key length " << keyLength;
            ASSERT_EQ(DecodeBlock(cipher, encrypted), block) << "key length " << keyLength;
        }
    }
}

TEST(Rijndael, NewKeyReplacesTheWholeSchedule) {
    TCipher_Rijndael cipher;
    const std::string block(16, '\x42');
    cipher.Init(std::string(32, '\x11'), "", 0);
    cipher.Init(std::string(16, '\x22'), "", 0);
    TCipher_Rijndael fresh;
    fresh.Init(std::string(16, '\x22'), "", 0);
    EXPECT_EQ(EncodeBlock(cipher, block), EncodeBlock(fresh, block));
    EXPECT_EQ(DecodeBlock(cipher, block), DecodeBlock(fresh, block));
}

}  // namespace
