#include <gtest/gtest.h>

#include "crypto/CryptHash.h"
#include "crypto/Sha256.h"
#include "tests/support/OpenSslReference.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VectorFile.h"

namespace {

using testsupport::FromHex;
using testsupport::ToHex;

TEST(Sha1, UpdateNeedsInitOnlyForActualBytes) {
    const auto hash = THash_SHA1::ClassRef()->Create();
    EXPECT_NO_THROW(hash->Update("", 0));
    try {
        hash->Update("x", 1);
        ADD_FAILURE() << "no exception";
    } catch (const ECryptException& e) {
        EXPECT_STREQ(e.what(), "Hash must be initialized");
    }
    EXPECT_THROW(hash->Finish(), ECryptException);
    hash->Init();
    hash->Update("abc", 3);
    hash->Finish();
    EXPECT_FALSE(hash->Initialized());
    EXPECT_THROW(hash->Update("x", 1), ECryptException);
    // The digest stays readable after Finish.
    EXPECT_EQ(ToHex(hash->DigestText(nullptr)), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(Sha1, PaddingByteZeroMeansStandardPadding) {
    const auto hash = THash_SHA1::ClassRef()->Create();
    EXPECT_EQ(hash->PaddingByte(), 0);
    hash->Init();
    hash->Update("abc", 3);
    hash->Finish();
    EXPECT_EQ(hash->PaddingByte(), 0x80);
    const std::string standard = hash->DigestText(nullptr);

    hash->SetPaddingByte(0x01);
    hash->Init();
    hash->Update("abc", 3);
    hash->Finish();
    EXPECT_EQ(hash->PaddingByte(), 0x01);
    EXPECT_NE(hash->DigestText(nullptr), standard);
}

class CounterProbe : public THash_SHA1 {
  public:
    void SetBitCount(const TBitCount& bits) { Bits = bits; }
};

TEST(Sha1, CounterOverflowIsRefused) {
    CounterProbe hash;
    hash.Init();
    hash.SetBitCount({0, 0, 1, 0, 0, 0, 0, 0});
    try {
        hash.Finish();
        ADD_FAILURE() << "no exception";
    } catch (const ECryptException& e) {
        EXPECT_STREQ(e.what(), "Hash function have to many bits processed");
    }

    const TCryptHash::TBitCount full{~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u};
    hash.Init();
    hash.SetBitCount(full);
    EXPECT_THROW(hash.Update("x", 1), ECryptException);
    EXPECT_EQ(hash.BitCount(), full);
}

TEST(HashClassOrDefault, NoClassIsRefused) {
    EXPECT_EQ(HashClassOrDefault(THash_SHA1::ClassRef()), THash_SHA1::ClassRef());
    try {
        HashClassOrDefault(nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const ECryptException& e) {
        EXPECT_STREQ(e.what(), "No default hash are registered");
    }
}

// Key derivation computed from its definition with OpenSSL's SHA-1.
std::string ReferenceDeriveKey(std::string_view data, std::string_view seed, std::size_t length,
                               std::uint32_t index) {
    const auto bigEndian = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    std::string key;
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::string digest = testsupport::ref::Sha1(
            bigEndian(i) + key + bigEndian(index) +
            bigEndian(static_cast<std::uint32_t>(seed.size())) + std::string(seed) +
            bigEndian(static_cast<std::uint32_t>(data.size())) + std::string(data));
        char folded = 0;
        for (char b : digest) {
            folded = static_cast<char>(folded ^ b);
        }
        key += folded;
    }
    return key;
}

TEST(DeriveKey, MatchesItsDefinitionForAnyLength) {
    std::mt19937 random(32);
    const THashClass* sha1 = THash_SHA1::ClassRef();
    for (std::size_t length : {0, 1, 20, 32, 77}) {
        const std::string data = testsupport::RandomBytes(random, random() % 120);
        const std::string seed = testsupport::RandomBytes(random, random() % 70);
        const auto index = static_cast<std::int32_t>(random() % 5);
        const std::string key =
            sha1->DeriveKey(data, seed, static_cast<std::ptrdiff_t>(length), nullptr, index);
        EXPECT_EQ(ToHex(key),
                  ToHex(ReferenceDeriveKey(data, seed, length, static_cast<std::uint32_t>(index))))
            << "length " << length;
        EXPECT_EQ(sha1->DeriveKey(data, seed, static_cast<std::ptrdiff_t>(length),
                                  TFormat_HEX::ClassRef(), index),
                  TFormat_HEX::ClassRef()->Encode(key));
    }
    EXPECT_THROW(sha1->DeriveKey("d", "s", -1, nullptr, 1), std::invalid_argument);
}

// The digest that names a file's bytes: the known answers in pieces of every size, and OpenSSL's
// answer for every length across the block and padding edges, by the SHA instructions (where
// the processor has them) and by the portable code alike.
TEST(Sha256, KnownAnswersAndOpenSslOnBothPaths) {
    for (const TSha256::TPath path : {TSha256::TPath::Fastest, TSha256::TPath::Portable}) {
        SCOPED_TRACE(path == TSha256::TPath::Portable ? "portable" : "fastest");
        for (const auto& v : testsupport::ReadVectors(NORVA_TEST_DATA, "sha256-fips180.txt")) {
            SCOPED_TRACE(v.Source);
            std::string message;
            for (unsigned long i = std::stoul(v.Text("repeat")); i > 0; --i) {
                message += v.Text("text");
            }
            for (const std::size_t piece : {message.size() + 1, std::size_t{1}, std::size_t{63},
                                            std::size_t{64}, std::size_t{65}}) {
                TSha256 hash(path);
                for (std::size_t i = 0; i < message.size(); i += piece) {
                    hash.Add(std::string_view(message).substr(i, piece));
                }
                EXPECT_EQ(hash.FinishHex(), v.Text("sha256")) << "pieces of " << piece;
            }
        }
        std::string message;
        for (std::size_t length = 0; length <= 200; ++length) {
            TSha256 hash(path);
            hash.Add(message);
            const auto digest = hash.Finish();
            EXPECT_EQ(ToHex(std::string(digest.begin(), digest.end())),
                      ToHex(testsupport::ref::Sha256(message)))
                << length << " bytes";
            message += static_cast<char>(length * 37 + 11);
        }
    }
}

}  // namespace
