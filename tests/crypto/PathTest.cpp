// Every path of the cryptography, the portable code and each instruction set, through the same
// known answers and the same comparison with OpenSSL. Each path is a test case of its own; a
// path the processor lacks is reported as skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crypto/Cipher.h"
#include "crypto/CryptAccel.h"
#include "crypto/CryptCipher.h"
#include "crypto/CryptFmt.h"
#include "crypto/CryptHash.h"
#include "tests/crypto/CryptPaths.h"
#include "tests/support/OpenSslReference.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VectorFile.h"

namespace {

using testsupport::ToHex;
namespace ref = testsupport::ref;

using EveryPath = testsupport::OnCryptPath;

constexpr std::string_view DevicePassword = "Vq3TwKe8RmZpa1YdhN6uGc0LsXjBf5oQ2iMtDn7E";

const TFormatClass* Mime64() {
    return TFormat_MIME64::ClassRef();
}

std::string Repeat(const std::string& text, std::size_t times) {
    std::string message;
    message.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        message += text;
    }
    return message;
}

std::string DigestInPieces(const THashClass* hashClass, std::string_view message,
                           std::size_t pieceSize) {
    const auto hash = hashClass->Create();
    hash->Init();
    for (std::size_t i = 0; i < message.size(); i += pieceSize) {
        hash->Update(message.substr(i, pieceSize));
    }
    hash->Finish();
    return ToHex(hash->DigestText(nullptr));
}

// --- Known answers --------------------------------------------------------------------------

// The original SHA has no fast path of its own: its answer shows it does not take SHA-1's.
TEST_P(EveryPath, Sha1Fips180InPiecesOfEverySize) {
    for (const auto& v : testsupport::ReadVectors(NORVA_TEST_DATA, "sha1-fips180.txt")) {
        SCOPED_TRACE(v.Source);
        const std::string message = Repeat(v.Text("text"), std::stoul(v.Text("repeat")));
        for (std::size_t piece : {message.size() + 1, std::size_t{1}, std::size_t{63},
                                  std::size_t{64}, std::size_t{65}}) {
            EXPECT_EQ(DigestInPieces(THash_SHA1::ClassRef(), message, piece), v.Text("sha1"))
                << "pieces of " << piece;
        }
        if (v.Has("sha0")) {
            EXPECT_EQ(DigestInPieces(THash_SHA::ClassRef(), message, message.size() + 1),
                      v.Text("sha0"));
        }
    }
}

TEST_P(EveryPath, RijndaelFips197EncryptsAndDecryptsInPlaceAndApart) {
    for (const auto& v : testsupport::ReadVectors(NORVA_TEST_DATA, "aes-fips197.txt")) {
        SCOPED_TRACE(v.Source);
        TCipher_Rijndael cipher;
        cipher.Init(v.Bytes("key"), "", 0);
        EXPECT_EQ(cipher.Rounds(), std::stoi(v.Text("rounds")));
        const std::string plain = v.Bytes("plaintext");
        std::string out(16, '\0');
        cipher.EncodeBlock(plain.data(), out.data(), 16);
        EXPECT_EQ(ToHex(out), v.Text("ciphertext"));
        cipher.DecodeBlock(out.data(), out.data(), 16);
        EXPECT_EQ(ToHex(out), v.Text("plaintext"));
        cipher.EncodeBlock(out.data(), out.data(), 16);
        EXPECT_EQ(ToHex(out), v.Text("ciphertext"));
    }
}

TEST_P(EveryPath, Sp80038aCbcAndCfb8) {
    for (const auto& v : testsupport::ReadVectors(NORVA_TEST_DATA, "sp800-38a.txt")) {
        SCOPED_TRACE(v.Source);
        TCipher_Rijndael cipher;
        cipher.SetMode(v.Text("mode") == "CBC" ? cmCBCx : cmCFB8);
        cipher.Init(v.Bytes("key"), v.Bytes("iv"), 0xFF);
        const std::string plain = v.Bytes("plaintext");
        std::string out(plain.size(), '\0');
        cipher.Encode(plain.data(), out.data(), plain.size());
        EXPECT_EQ(ToHex(out), v.Text("ciphertext"));
    }
}

TEST_P(EveryPath, SignatureVectorsWithEveryIntermediateValue) {
    const auto vectors = testsupport::ReadVectors(NORVA_TEST_DATA, "signature-vectors.txt");
    ASSERT_GE(vectors.size(), 9u);
    for (const auto& v : vectors) {
        SCOPED_TRACE(v.Source);
        const std::string licence = v.Has("licence") ? v.Text("licence") : v.Bytes("licence-hex");
        const std::string message = v.Bytes("message");

        const std::string seed = THash_SHA1::ClassRef()->HashText(licence, Mime64());
        EXPECT_EQ(seed, v.Text("seed"));
        const std::string key =
            THash_SHA1::ClassRef()->DeriveKey(DevicePassword, seed, 32, nullptr, 1);
        EXPECT_EQ(ToHex(key), v.Text("key"));

        TCipher_Rijndael cipher;
        cipher.SetMode(cmCBCx);
        cipher.Init(key, "", 0xFF);
        EXPECT_EQ(cipher.Rounds(), 14);
        EXPECT_EQ(ToHex({reinterpret_cast<const char*>(cipher.Vector().data()), 16}),
                  v.Text("vector"));
        std::string encrypted(message.size(), '\0');
        cipher.Encode(message.data(), encrypted.data(), message.size());
        EXPECT_EQ(ToHex(encrypted), v.Text("ciphertext"));
        const std::string text = Mime64()->Encode(encrypted);
        EXPECT_EQ(text, v.Text("text"));
        EXPECT_EQ(THash_SHA1::ClassRef()->HashText(text, Mime64()), v.Text("signature"));

        TCipher signer;
        signer.Setup("", licence);
        EXPECT_EQ(signer.SeedText(), v.Text("seed"));
        EXPECT_EQ(signer.EncryptText(message), v.Text("text"));
        EXPECT_EQ(signer.SignText(message), v.Text("signature"));
    }
}

// --- Against OpenSSL ------------------------------------------------------------------------

// Pieces of up to 300 bytes hand over zero to four whole blocks at a time; the long messages
// go in one piece of many blocks.
TEST_P(EveryPath, Sha1MatchesOpenSslForEveryLengthInRandomPieces) {
    std::mt19937 random(2003);
    const auto hash = THash_SHA1::ClassRef()->Create();
    const auto digest = [&](const std::string& message, std::size_t largestPiece) {
        hash->Init();
        for (std::size_t i = 0; i < message.size();) {
            const std::size_t piece =
                std::min<std::size_t>(random() % (largestPiece + 1), message.size() - i);
            hash->Update(message.data() + i, piece);
            i += piece;
        }
        hash->Finish();
        return ToHex(hash->DigestText(nullptr));
    };
    for (std::size_t length = 0; length <= 2000; ++length) {
        const std::string message = testsupport::RandomBytes(random, length);
        ASSERT_EQ(digest(message, 300), ToHex(ref::Sha1(message))) << "length " << length;
    }
    for (std::size_t length : {std::size_t{1} << 20, (std::size_t{1} << 20) + 64 + 55}) {
        const std::string message = testsupport::RandomBytes(random, length);
        EXPECT_EQ(digest(message, length), ToHex(ref::Sha1(message))) << "length " << length;
    }
}

// A single piece of 2^25 bytes or more is counted with a surplus in the high word of the bit
// counter. Signed logs of that size depend on it, so the surplus must stay on every path.
TEST_P(EveryPath, Sha1OfOnePieceOf32MiBKeepsTheCounterSurplus) {
    const std::string message(std::size_t{1} << 25, '\x79');
    const auto hash = THash_SHA1::ClassRef()->Create();
    hash->Init();
    hash->Update(message);
    const TCryptHash::TBitCount expectedBits{1u << 28, 1, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(hash->BitCount(), expectedBits);
    hash->Finish();
    EXPECT_EQ(ToHex(hash->DigestText(nullptr)), "425dea50a7ace5cc42bee84154c5f05d11c0d638");

    hash->Init();
    hash->Update(message.data(), message.size() / 2);
    hash->Update(message.data() + message.size() / 2, message.size() / 2);
    hash->Finish();
    EXPECT_EQ(ToHex(hash->DigestText(nullptr)), "5f1e8939abed70889088d37c20544079f67b2095");
    EXPECT_EQ(hash->DigestText(nullptr), ref::Sha1(message));
}

TEST_P(EveryPath, RijndaelOfEveryKeyLengthIsAesWithTheZeroExtendedKey) {
    std::mt19937 random(197);
    TCipher_Rijndael cipher;
    for (std::size_t keyLength = 0; keyLength <= 32; ++keyLength) {
        SCOPED_TRACE("key length " + std::to_string(keyLength));
        const std::string key = testsupport::RandomBytes(random, keyLength);
        cipher.Init(key, "", 0);
        EXPECT_EQ(cipher.Rounds(), keyLength <= 16 ? 10 : keyLength <= 24 ? 12 : 14);
        const std::string blocks = testsupport::RandomBytes(random, 16 * 16);
        const std::string expected =
            ref::Encrypt(ref::AesName(keyLength, "ECB"), ref::ZeroExtendedKey(key), "", blocks);
        std::string encrypted(blocks.size(), '\0');
        std::string decrypted = expected;
        for (std::size_t i = 0; i < blocks.size(); i += 16) {
            cipher.EncodeBlock(&blocks[i], &encrypted[i], 16);
            cipher.DecodeBlock(&decrypted[i], &decrypted[i], 16);
        }
        EXPECT_EQ(ToHex(encrypted), ToHex(expected));
        EXPECT_EQ(ToHex(decrypted), ToHex(blocks));
    }
}

// The whole chain of the signature rebuilt from OpenSSL's pieces: AES-256 in CBC from the
// encrypted filler block with an 8-bit CFB tail, base64, SHA-1, base64. Also for a text handed
// over to be encrypted in its own storage, which is left empty.
TEST_P(EveryPath, SignatureMatchesOpenSslAlsoEncryptedInPlace) {
    const auto vector = testsupport::ReadVectors(NORVA_TEST_DATA, "signature-vectors.txt").front();
    const std::string key = vector.Bytes("key");
    const std::string chain = vector.Bytes("vector");
    TCipher signer;
    signer.Setup("", vector.Text("licence"));
    std::mt19937 random(2004);
    for (std::size_t length : {0u, 5u, 16u, 40u, 1000u, 1u << 16, (1u << 18) + 13}) {
        SCOPED_TRACE("length " + std::to_string(length));
        const std::string text = testsupport::RandomBytes(random, length);
        const std::size_t whole = length / 16 * 16;
        std::string encrypted = ref::Encrypt("AES-256-CBC", key, chain, text.substr(0, whole));
        const std::string tailChain = whole == 0 ? chain : encrypted.substr(whole - 16);
        encrypted += ref::Encrypt("AES-256-CFB8", key, tailChain, text.substr(whole));
        const std::string expected = ref::Base64(ref::Sha1(ref::Base64(encrypted)));

        EXPECT_EQ(signer.SignText(text), expected);
    }
}

// Every length around the sixteen and thirty-two characters the vector code writes at once, from
// sources at every offset within a vector, and nothing written beyond the text.
TEST_P(EveryPath, Mime64MatchesOpenSslForEveryLengthFromEveryOffset) {
    std::mt19937 random(4649);
    const std::string bytes = testsupport::RandomBytes(random, 300 + 32);
    for (std::size_t offset = 0; offset < 32; offset += 5) {
        for (std::size_t length = 0; length <= 300; ++length) {
            const std::string_view source(bytes.data() + offset, length);
            const std::string expected = ref::Base64(source);
            ASSERT_EQ(Mime64()->Encode(source), expected) << "length " << length;
            std::string at(expected.size() + 8, '~');
            Mime64()->EncodeAt(source.data(), length, at.data());
            ASSERT_EQ(at, expected + "~~~~~~~~") << "length " << length;
        }
    }
    const std::string large = testsupport::RandomBytes(random, (1u << 20) + 1);
    EXPECT_EQ(Mime64()->Encode(large), ref::Base64(large));
}

// A text handed over in pieces ends up in the buffers at every alignment: pieces of a byte, of
// a block, of a MIME64 group, around the signature's own piece size and of random sizes, with
// and without the hash thread, over a text long enough for the thread to start.
TEST_P(EveryPath, SignatureInPiecesOfEverySizeIsTheWholeTextsSignature) {
    const auto vector = testsupport::ReadVectors(NORVA_TEST_DATA, "signature-vectors.txt").front();
    const std::string key = vector.Bytes("key");
    std::mt19937 random(2006);
    const std::size_t piece = TCipher::SignPieceSize;
    const std::string text = testsupport::RandomBytes(random, 6 * piece + 29);
    const std::size_t whole = text.size() / 16 * 16;
    std::string encrypted =
        ref::Encrypt("AES-256-CBC", key, vector.Bytes("vector"), text.substr(0, whole));
    encrypted +=
        ref::Encrypt("AES-256-CFB8", key, encrypted.substr(whole - 16), text.substr(whole));
    const std::string expected = ref::Base64(ref::Sha1(ref::Base64(encrypted)));

    TCipher signer;
    signer.Setup("", vector.Text("licence"));
    for (const bool hashThread : {false, true}) {
        for (std::size_t size :
             {std::size_t{1}, std::size_t{15}, std::size_t{16}, std::size_t{17}, std::size_t{47},
              std::size_t{48}, piece - 1, piece, piece + 1, text.size(), std::size_t{0}}) {
            SCOPED_TRACE("pieces of " + std::to_string(size) + (hashThread ? ", thread" : ""));
            signer.BeginSignText(hashThread);
            for (std::size_t i = 0; i < text.size();) {
                const std::size_t next =
                    size != 0 ? size : std::min<std::size_t>(random() % 4000, text.size() - i);
                signer.SignPiece(std::string_view(text).substr(i, next));
                i += next;
            }
            EXPECT_EQ(signer.EndSignText(), expected);
        }
    }
    EXPECT_THROW(signer.EndSignText(), ECryptException);
}

INSTANTIATE_TEST_SUITE_P(, EveryPath, testing::ValuesIn(testsupport::EveryCryptPath()),
                         testsupport::CryptPathName);

// --- Nothing of the message stays behind the schedule --------------------------------

using Sha1Schedule = testsupport::OnCryptPath;

// The schedule of one block as the paths hold it, four words at a time: W, W + K, and W in
// reversed lanes.
// Computed into the heap, so that this computation leaves nothing on the stack itself.
std::vector<std::string> SchedulePieces(const std::string& block) {
    std::vector<std::uint32_t> w(80);
    for (std::size_t t = 0; t < 80; ++t) {
        if (t < 16) {
            std::uint32_t word;
            std::memcpy(&word, &block[4 * t], 4);
            w[t] = SwapBytes32(word);
        } else {
            const std::uint32_t x = w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16];
            w[t] = (x << 1) | (x >> 31);
        }
    }
    std::vector<std::string> pieces;
    for (std::size_t group = 0; group < 20; ++group) {
        const std::uint32_t k = group < 5    ? 0x5A827999u
                                : group < 10 ? 0x6ED9EBA1u
                                : group < 15 ? 0x8F1BBCDCu
                                             : 0xCA62C1D6u;
        std::string plain(16, '\0');
        std::string withConstant(16, '\0');
        for (std::size_t i = 0; i < 4; ++i) {
            const std::uint32_t word = w[4 * group + i];
            const std::uint32_t sum = word + k;
            std::memcpy(&plain[4 * i], &word, 4);
            std::memcpy(&withConstant[4 * i], &sum, 4);
        }
        pieces.push_back(plain);
        pieces.push_back(withConstant);
        // The SHA instructions hold the first word of a group in the top lane.
        std::string lanesReversed(16, '\0');
        for (std::size_t i = 0; i < 4; ++i) {
            std::memcpy(&lanesReversed[4 * i], &plain[4 * (3 - i)], 4);
        }
        pieces.push_back(lanesReversed);
    }
    return pieces;
}

constexpr std::size_t ProbeSize = 64 * 1024;

// How many of the pieces the stack below the caller still holds, where the frames of the
// functions it called were.
[[gnu::noinline]] std::size_t PiecesLeftBelow(const std::vector<std::string>& pieces) {
    char below[ProbeSize];
    // The array is read without having been written: its bytes are what earlier calls left.
    __asm__ __volatile__("" : : "r"(below) : "memory");
    const std::string_view stack(below, sizeof(below));
    return static_cast<std::size_t>(std::count_if(
        pieces.begin(), pieces.end(),
        [stack](const std::string& piece) { return stack.find(piece) != stack.npos; }));
}

// How many of the pieces the vector registers hold, read before any other code may reuse them.
[[gnu::noinline]] std::size_t PiecesInVectorRegisters(const std::vector<std::string>& pieces,
                                                      const std::array<char, 256>& registers) {
    const std::string_view held(registers.data(), registers.size());
    return static_cast<std::size_t>(
        std::count_if(pieces.begin(), pieces.end(),
                      [held](const std::string& piece) { return held.find(piece) != held.npos; }));
}

[[gnu::noinline]] void ClearBelow() {
    char below[ProbeSize];
    std::memset(below, 0, sizeof(below));
    __asm__ __volatile__("" : : "r"(below) : "memory");
}

TEST_P(Sha1Schedule, IsWipedFromTheStackAndTheVectorRegisters) {
    std::mt19937 random(2005);
    const std::string block = testsupport::RandomBytes(random, 64);
    const std::vector<std::string> pieces = SchedulePieces(block);
    const auto hash = THash_SHA1::ClassRef()->Create();
    hash->Init();
    ClearBelow();
    ASSERT_EQ(PiecesLeftBelow(pieces), 0u);
    std::array<char, 256> registers{};
    hash->Update(block);  // exactly one whole block: compressed at once, not buffered
    __asm__ __volatile__(
        "movdqu %%xmm0, 0(%0)\n\tmovdqu %%xmm1, 16(%0)\n\tmovdqu %%xmm2, 32(%0)\n\t"
        "movdqu %%xmm3, 48(%0)\n\tmovdqu %%xmm4, 64(%0)\n\tmovdqu %%xmm5, 80(%0)\n\t"
        "movdqu %%xmm6, 96(%0)\n\tmovdqu %%xmm7, 112(%0)\n\tmovdqu %%xmm8, 128(%0)\n\t"
        "movdqu %%xmm9, 144(%0)\n\tmovdqu %%xmm10, 160(%0)\n\tmovdqu %%xmm11, 176(%0)\n\t"
        "movdqu %%xmm12, 192(%0)\n\tmovdqu %%xmm13, 208(%0)\n\tmovdqu %%xmm14, 224(%0)\n\t"
        "movdqu %%xmm15, 240(%0)"
        :
        : "r"(registers.data())
        : "memory");
    EXPECT_EQ(PiecesInVectorRegisters(pieces, registers), 0u);
    EXPECT_EQ(PiecesLeftBelow(pieces), 0u);
    hash->Finish();
    EXPECT_EQ(hash->DigestText(nullptr), ref::Sha1(block));
}

INSTANTIATE_TEST_SUITE_P(, Sha1Schedule, testing::ValuesIn(testsupport::Sha1Paths()),
                         testsupport::CryptPathName);

// --- The choice of path -----------------------------------------------------------------------

using CryptAccel::AesPath;
using CryptAccel::Sha1Path;

TEST(CryptAccel, TheChoiceStaysWithinTheCapAndWhatTheProcessorOffers) {
    EXPECT_TRUE(CryptAccel::Offered(AesPath::Portable));
    EXPECT_TRUE(CryptAccel::Offered(Sha1Path::Portable));
    EXPECT_EQ(CryptAccel::ActiveAesPath(),
              CryptAccel::Offered(AesPath::AesNi) ? AesPath::AesNi : AesPath::Portable);
    CryptAccel::LimitAesPath(AesPath::Portable);
    EXPECT_EQ(CryptAccel::ActiveAesPath(), AesPath::Portable);
    CryptAccel::LimitAesPath(AesPath::AesNi);

    for (Sha1Path cap : {Sha1Path::Portable, Sha1Path::Ssse3, Sha1Path::Avx2, Sha1Path::ShaNi}) {
        SCOPED_TRACE(static_cast<int>(cap));
        CryptAccel::LimitSha1Path(cap);
        // The fastest path offered at or below the cap.
        Sha1Path expected = cap;
        while (!CryptAccel::Offered(expected)) {
            expected = static_cast<Sha1Path>(static_cast<int>(expected) - 1);
        }
        EXPECT_EQ(CryptAccel::ActiveSha1Path(), expected);
    }
    CryptAccel::LimitSha1Path(Sha1Path::ShaNi);

    using CryptAccel::Base64Path;
    for (Base64Path cap : {Base64Path::Portable, Base64Path::Ssse3, Base64Path::Avx2}) {
        SCOPED_TRACE(static_cast<int>(cap));
        CryptAccel::LimitBase64Path(cap);
        Base64Path expected = cap;
        while (!CryptAccel::Offered(expected)) {
            expected = static_cast<Base64Path>(static_cast<int>(expected) - 1);
        }
        EXPECT_EQ(CryptAccel::ActiveBase64Path(), expected);
    }
    CryptAccel::LimitBase64Path(Base64Path::Avx2);
}

}  // namespace
