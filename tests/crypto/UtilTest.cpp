#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "crypto/CryptCipher.h"
#include "crypto/CryptFmt.h"
#include "crypto/CryptHash.h"
#include "crypto/CryptUtil.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(WipeBuffer, NonPositiveLengthLeavesBytesAlone) {
    std::array<std::uint8_t, 4> bytes{1, 2, 3, 4};
    WipeBuffer(bytes.data(), 0);
    WipeBuffer(bytes.data(), -3);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
}

TEST(WipeBuffer, ZeroesExactlyTheGivenBytes) {
    std::array<std::uint8_t, 7> bytes{9, 9, 9, 9, 9, 9, 9};
    WipeBuffer(bytes.data() + 1, 5);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 7>{9, 0, 0, 0, 0, 0, 9}));
}

// Large buffers are wiped piece by piece; every byte of the last, partial piece counts too.
TEST(WipeBuffer, ZeroesLargeBuffersUpToTheirLastByte) {
    for (std::ptrdiff_t length : {16383, 16384, 16385, 3 * 16384 + 7}) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length) + 2, 0x9C);
        WipeBuffer(bytes.data() + 1, length);
        EXPECT_EQ(bytes.front(), 0x9C) << length;
        EXPECT_EQ(bytes.back(), 0x9C) << length;
        EXPECT_EQ(std::count(bytes.begin() + 1, bytes.end() - 1, 0), length) << length;
    }
}

TEST(WipeText, LeavesOtherHoldersIntactAndEmptiesThisOne) {
    std::string secret = "a secret that is longer than the small-string buffer";
    const std::string copy = secret;
    WipeText(secret);
    EXPECT_TRUE(secret.empty());
    EXPECT_EQ(copy, "a secret that is longer than the small-string buffer");
}

TEST(WipeText, GuardWipesWhenAnExceptionLeaves) {
    std::string key = "derived key material, long enough for the heap";
    try {
        TTextWiper wiper(key);
        throw std::runtime_error("failure");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(key.empty());
}

TEST(XorBytes, MatchesBytewiseXorForEveryLengthAndInPlace) {
    std::mt19937 random(7);
    for (std::size_t length = 0; length <= 37; ++length) {
        const std::string a = testsupport::RandomBytes(random, length);
        const std::string b = testsupport::RandomBytes(random, length);
        std::string expected(length, '\0');
        for (std::size_t i = 0; i < length; ++i) {
            expected[i] = static_cast<char>(a[i] ^ b[i]);
        }
        std::string separate(length, '\0');
        XorBytes(a.data(), b.data(), length, separate.data());
        EXPECT_EQ(separate, expected) << "length " << length;
        std::string inPlace = a;
        XorBytes(inPlace.data(), b.data(), length, inPlace.data());
        EXPECT_EQ(inPlace, expected) << "length " << length;
    }
}

TEST(SwapBytes, ReversesTheBytesOfEachWord) {
    const std::array<std::uint8_t, 4> bytes{1, 2, 3, 4};
    std::uint32_t word;
    std::memcpy(&word, bytes.data(), 4);
    const std::uint32_t swapped = SwapBytes32(word);
    std::array<std::uint8_t, 4> result;
    std::memcpy(result.data(), &swapped, 4);
    EXPECT_EQ(result, (std::array<std::uint8_t, 4>{4, 3, 2, 1}));

    std::array<std::uint32_t, 3> words{0x01020304u, 0xA0B0C0D0u, 0x11223344u};
    SwapWords32(words.data(), words.data(), words.size());
    EXPECT_EQ(words, (std::array<std::uint32_t, 3>{0x04030201u, 0xD0C0B0A0u, 0x44332211u}));
}

TEST(ShortClassName, DropsEverythingUpToTheFirstUnderscore) {
    EXPECT_EQ(ShortClassName(TFormat_HEX::ClassRef()), "HEX");
    EXPECT_EQ(ShortClassName(TFormat_MIME64::ClassRef()), "MIME64");
    EXPECT_EQ(ShortClassName(TFormat_Copy::ClassRef()), "Copy");
    EXPECT_EQ(ShortClassName(THash_SHA1::ClassRef()), "SHA1");
    EXPECT_EQ(ShortClassName(TCipher_Rijndael::ClassRef()), "Rijndael");
    EXPECT_EQ(ShortClassName(TCryptHash::ClassRef()), "TCryptHash");
    EXPECT_EQ(ShortClassName(nullptr), "");
    const TCryptClass twoUnderscores{"TX_A_B"};
    EXPECT_EQ(ShortClassName(&twoUnderscores), "A_B");
}

}  // namespace
