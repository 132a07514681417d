#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "crypto/CryptCipher.h"
#include "tests/crypto/CryptPaths.h"
#include "tests/support/OpenSslReference.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VectorFile.h"

namespace {

using testsupport::ToHex;
namespace ref = testsupport::ref;

// Every test here runs on each path Rijndael has.
using CipherModes = testsupport::OnCryptPath;

constexpr TCipherMode AllChainingModes[] = {cmCTSx, cmCBCx, cmCFB8, cmCFBx,
                                            cmOFB8, cmOFBx, cmCFS8, cmCFSx};

std::string Encode(TCryptCipher& cipher, const std::string& message) {
    std::string out(message.size(), '\0');
    cipher.Encode(message.data(), out.data(), message.size());
    return out;
}

// Encrypts in pieces whose sizes are drawn at random.
std::string EncodeInPieces(TCryptCipher& cipher, const std::string& message, std::mt19937& random) {
    std::string out(message.size(), '\0');
    for (std::size_t i = 0; i < message.size();) {
        const std::size_t piece = std::min<std::size_t>(random() % 40, message.size() - i);
        cipher.Encode(message.data() + i, out.data() + i, piece);
        i += piece;
    }
    return out;
}

std::unique_ptr<TCryptCipher> NewCipher(const std::string& key, TCipherMode mode,
                                        const std::string& vector = "",
                                        std::uint8_t filler = 0xFF) {
    auto cipher = TCipher_Rijndael::ClassRef()->Create();
    cipher->SetMode(mode);
    cipher->Init(key, vector, filler);
    return cipher;
}

std::string Vector(const TCryptCipher& cipher) {
    return {reinterpret_cast<const char*>(cipher.Vector().data()), cipher.Vector().size()};
}

std::string Feedback(const TCryptCipher& cipher) {
    return {reinterpret_cast<const char*>(cipher.Feedback().data()), cipher.Feedback().size()};
}

template <typename F>
void ExpectCryptError(F&& action, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const ECryptException& e) {
        EXPECT_EQ(e.what(), message);
    }
}

// Every key length; the long messages take many blocks in one call.
TEST_P(CipherModes, CBCxIsCbcOverWholeBlocksAndCfb8OverTheTail) {
    std::mt19937 random(3838);
    std::vector<std::size_t> lengths{255, 256, 4096, 4111, 65536 + 9};
    for (std::size_t length = 0; length <= 100; ++length) {
        lengths.push_back(length);
    }
    for (std::size_t keyLength : {16u, 24u, 32u}) {
        for (std::size_t length : lengths) {
            SCOPED_TRACE("key " + std::to_string(keyLength) + ", length " + std::to_string(length));
            const std::string key = testsupport::RandomBytes(random, keyLength);
            const std::string message = testsupport::RandomBytes(random, length);
            auto cipher = NewCipher(key, cmCBCx);
            const std::string vector =
                ref::Encrypt(ref::AesName(keyLength, "ECB"), key, "", std::string(16, '\xFF'));
            ASSERT_EQ(Vector(*cipher), vector);

            const std::size_t whole = length / 16 * 16;
            std::string expected =
                ref::Encrypt(ref::AesName(keyLength, "CBC"), key, vector, message.substr(0, whole));
            const std::string tailStart = whole == 0 ? vector : expected.substr(whole - 16);
            expected += ref::Encrypt(ref::AesName(keyLength, "CFB8"), key, tailStart,
                                     message.substr(whole));

            ASSERT_EQ(ToHex(Encode(*cipher, message)), ToHex(expected));
            EXPECT_EQ(cipher->State(), length % 16 == 0 ? StateEncoding : StatePadded);
            std::string inPlace = message;
            NewCipher(key, cmCBCx)->Encode(inPlace.data(), inPlace.data(), inPlace.size());
            EXPECT_EQ(inPlace, expected) << "in place";
        }
    }
}

// Rijndael keeps the chaining value in registers; the framework's block-by-block chaining
// must give the same ciphertext.
class FrameworkChainedRijndael : public TCipher_Rijndael {
  protected:
    void EncodeChainedBlocks(const std::uint8_t* source, std::uint8_t* destination,
                             std::size_t count, const std::uint8_t* chain) override {
        TCryptCipher::EncodeChainedBlocks(source, destination, count, chain);
    }
};

TEST_P(CipherModes, CBCxFrameworkChainingMatchesTheCipherOwnChaining) {
    std::mt19937 random(16);
    for (std::size_t length = 0; length <= 100; length += 7) {
        const std::string key = testsupport::RandomBytes(random, 32);
        const std::string message = testsupport::RandomBytes(random, length);
        FrameworkChainedRijndael framework;
        framework.SetMode(cmCBCx);
        framework.Init(key, "", 0xFF);
        const std::string viaFramework = Encode(framework, message);
        auto own = NewCipher(key, cmCBCx);
        EXPECT_EQ(ToHex(viaFramework), ToHex(Encode(*own, message))) << "length " << length;
        EXPECT_EQ(Feedback(framework), Feedback(*own)) << "length " << length;
    }
}

TEST_P(CipherModes, CBCxContinuesTheChainAcrossWholeBlockCallsAndClosesOnATail) {
    std::mt19937 random(35);
    const std::string key = testsupport::RandomBytes(random, 32);
    const std::string message = testsupport::RandomBytes(random, 35);
    const std::string whole = Encode(*NewCipher(key, cmCBCx), message);

    auto cipher = NewCipher(key, cmCBCx);
    std::string pieces = Encode(*cipher, message.substr(0, 16));
    pieces += Encode(*cipher, message.substr(16, 0));
    EXPECT_EQ(cipher->State(), StateEncoding);
    pieces += Encode(*cipher, message.substr(16));
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(cipher->State(), StatePadded);
    ExpectCryptError([&] { Encode(*cipher, "more"); },
                     "Cipher has already been padded, cannot process message");
}

TEST_P(CipherModes, BlockFeedbackModesCfbxAndOfbxAreStandardCfbAndOfb) {
    std::mt19937 random(128);
    for (std::size_t length : {0, 1, 15, 16, 17, 48, 99}) {
        const std::string key = testsupport::RandomBytes(random, 32);
        const std::string message = testsupport::RandomBytes(random, length);
        const std::string vector = testsupport::RandomBytes(random, 16);
        EXPECT_EQ(ToHex(Encode(*NewCipher(key, cmCFBx, vector), message)),
                  ToHex(ref::Encrypt("AES-256-CFB", key, vector, message)));
        EXPECT_EQ(ToHex(Encode(*NewCipher(key, cmOFBx, vector), message)),
                  ToHex(ref::Encrypt("AES-256-OFB", key, vector, message)));
    }
}

TEST_P(CipherModes, BlockFeedbackModesSplittingTheMessageChangesNothing) {
    std::mt19937 random(1234);
    for (TCipherMode mode : {cmCFBx, cmOFBx, cmCFSx}) {
        for (int round = 0; round < 20; ++round) {
            const std::string key = testsupport::RandomBytes(random, 1 + random() % 32);
            const std::string message = testsupport::RandomBytes(random, random() % 200);
            const std::string whole = Encode(*NewCipher(key, mode), message);
            auto cipher = NewCipher(key, mode);
            ASSERT_EQ(ToHex(EncodeInPieces(*cipher, message, random)), ToHex(whole))
                << CipherModeName(mode) << " length " << message.size();
        }
    }
}

// The modes OpenSSL does not have, computed from their rules with OpenSSL's block cipher. In
// cmCFSx the register takes the xor of itself and the output, where cmCFBx takes the output.
std::string ReferenceEncode(TCipherMode mode, const std::string& key, const std::string& message) {
    const auto encrypt = [&](const std::string& block) {
        return ref::Encrypt("AES-256-ECB", key, "", block);
    };
    std::string feedback = encrypt(std::string(16, '\xFF'));
    std::string out;
    std::size_t i = 0;
    if (mode == cmCFSx) {
        for (; i < message.size(); i += 16) {
            const std::string stream = encrypt(feedback);
            for (std::size_t j = 0; j < 16 && i + j < message.size(); ++j) {
                out += static_cast<char>(message[i + j] ^ stream[j]);
                feedback[j] = static_cast<char>(feedback[j] ^ out.back());
            }
        }
        return out;
    }
    if (mode == cmCTSx) {
        for (; i + 16 <= message.size(); i += 16) {
            std::string block = message.substr(i, 16);
            for (int j = 0; j < 16; ++j) {
                block[j] = static_cast<char>(block[j] ^ feedback[j]);
            }
            block = encrypt(block);
            for (int j = 0; j < 16; ++j) {
                feedback[j] = static_cast<char>(feedback[j] ^ block[j]);
            }
            out += block;
        }
        mode = cmCFS8;
    }
    for (; i < message.size(); ++i) {
        const char key0 = encrypt(feedback)[0];
        const auto output = static_cast<char>(message[i] ^ key0);
        const char last = feedback[15];
        feedback.erase(0, 1);
        feedback += mode == cmOFB8   ? key0
                    : mode == cmCFB8 ? output
                                     : static_cast<char>(last ^ output);
        out += output;
    }
    return out;
}

TEST_P(CipherModes, ByteModesFollowTheirRegisterRules) {
    std::mt19937 random(8);
    for (TCipherMode mode : {cmCFB8, cmOFB8, cmCFS8, cmCTSx, cmCFSx}) {
        for (std::size_t length : {0, 1, 16, 21, 40}) {
            const std::string key = testsupport::RandomBytes(random, 32);
            const std::string message = testsupport::RandomBytes(random, length);
            auto cipher = NewCipher(key, mode);
            EXPECT_EQ(ToHex(Encode(*cipher, message)), ToHex(ReferenceEncode(mode, key, message)))
                << CipherModeName(mode) << " length " << length;
            const bool closed = mode == cmCTSx && length % 16 != 0;
            EXPECT_EQ(cipher->State(), closed ? StatePadded : StateEncoding)
                << CipherModeName(mode) << " length " << length;
        }
    }
}

TEST_P(CipherModes, ECBxEncryptsBlocksAndRefusesARemainder) {
    std::mt19937 random(20);
    const std::string key = testsupport::RandomBytes(random, 24);
    const std::string message = testsupport::RandomBytes(random, 48);
    auto cipher = NewCipher(key, cmECBx);
    EXPECT_EQ(Encode(*cipher, message), ref::Encrypt("AES-192-ECB", key, "", message));
    EXPECT_EQ(cipher->State(), StateEncoding);

    const std::string twenty = message.substr(0, 20);
    std::string out(20, '\0');
    ExpectCryptError([&] { cipher->Encode(twenty.data(), out.data(), twenty.size()); },
                     "Message length for cmECBx must be a multiple of 16 bytes");
    EXPECT_EQ(out.substr(0, 16), ref::Encrypt("AES-192-ECB", key, "", message.substr(0, 16)));
    EXPECT_EQ(cipher->State(), StatePadded);
}

TEST_P(CipherModes, FinishRestartsTheMessageFromTheInitialVectorInEveryMode) {
    std::mt19937 random(55);
    for (TCipherMode mode : AllChainingModes) {
        for (std::size_t length : {32, 37}) {
            const std::string key = testsupport::RandomBytes(random, 32);
            const std::string message = testsupport::RandomBytes(random, length);
            auto cipher = NewCipher(key, mode);
            const std::string first = Encode(*cipher, message);
            cipher->Finish();
            EXPECT_EQ(cipher->State(), StateFinished);
            EXPECT_EQ(Feedback(*cipher), Vector(*cipher));
            EXPECT_EQ(Encode(*cipher, message), first) << CipherModeName(mode) << " " << length;
        }
    }
}

TEST_P(CipherModes, InitDerivesOrCompletesTheInitialVector) {
    const std::string key(32, '\x07');
    auto cipher = NewCipher(key, cmCBCx);
    const std::string encryptedFiller =
        ref::Encrypt("AES-256-ECB", key, "", std::string(16, '\xFF'));
    EXPECT_EQ(Vector(*cipher), encryptedFiller);
    EXPECT_EQ(Feedback(*cipher), encryptedFiller);
    EXPECT_EQ(cipher->State(), StateInitialized);

    cipher->Init(key, "\x01\x02\x03\x04\x05", 0xAB);
    EXPECT_EQ(Vector(*cipher), "\x01\x02\x03\x04\x05" + std::string(11, '\xAB'));
    EXPECT_EQ(Feedback(*cipher), Vector(*cipher));
}

TEST_P(CipherModes, InitRefusesOversizedKeyAndVectorAndLeavesTheCipherUnusable) {
    auto cipher = NewCipher(std::string(32, 'k'), cmCBCx);
    ExpectCryptError([&] { cipher->Init(std::string(33, 'k'), "", 0xFF); },
                     "Keymaterial is too large for use (Security Issue)");
    EXPECT_EQ(cipher->State(), StateNew);
    EXPECT_EQ(Vector(*cipher), std::string(16, '\0'));
    ExpectCryptError([&] { Encode(*cipher, "data"); },
                     "Cipher is not in valid state for this action");

    ExpectCryptError([&] { cipher->Init(std::string(16, 'k'), std::string(17, 'v'), 0xFF); },
                     "Initvector is too large for use (Security Issue)");
    EXPECT_EQ(cipher->State(), StateNew);
}

TEST_P(CipherModes, InitStartsABlockFeedbackModeWithoutALeftOverKeyStream) {
    const std::string key(32, 'k');
    const std::string message = "a message of thirty-three bytes!!";
    auto cipher = NewCipher(key, cmCFBx);
    Encode(*cipher, "five!");
    EXPECT_EQ(cipher->BufferIndex(), 5);
    cipher->Init(key, "", 0xFF);
    EXPECT_EQ(Encode(*cipher, message), Encode(*NewCipher(key, cmCFBx), message));
}

// Where SetMode and Finish lead from each state. Steps: i = Init, e = 32 bytes (the message
// stays open), p = 35 bytes (closed by its tail), f = Finish; all in cmCBCx. A cipher without
// a key stays closed: finishing it must not open it for encryption under a wiped schedule.
TEST_P(CipherModes, CipherStateSetModeAndFinishTransitions) {
    enum Action { OtherMode, SameMode, Finish };
    struct Row {
        const char* steps;
        Action action;
        CipherState after;
    };
    const Row rows[] = {
        {"", OtherMode, StateNew},          {"", Finish, StateNew},
        {"i", OtherMode, StateInitialized}, {"i", Finish, StateFinished},
        {"ie", SameMode, StateEncoding},    {"ie", OtherMode, StateFinished},
        {"ip", SameMode, StatePadded},      {"ip", OtherMode, StateFinished},
        {"ip", Finish, StateFinished},      {"ief", OtherMode, StateFinished},
    };
    const std::string key(32, 'm');
    const std::string message(35, 'x');
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.steps) + " action " + std::to_string(row.action));
        auto cipher = TCipher_Rijndael::ClassRef()->Create();
        cipher->SetMode(cmCBCx);
        for (const char* step = row.steps; *step != '\0'; ++step) {
            if (*step == 'i') {
                cipher->Init(key, "", 0xFF);
            } else if (*step == 'f') {
                cipher->Finish();
            } else {
                Encode(*cipher, message.substr(0, *step == 'e' ? 32 : 35));
            }
        }
        const TCipherMode mode = row.action == SameMode ? cmCBCx : cmCFB8;
        row.action == Finish ? cipher->Finish() : cipher->SetMode(mode);
        EXPECT_EQ(cipher->State(), row.after);
        EXPECT_EQ(cipher->Mode(), row.action == Finish ? cmCBCx : mode);
        if (row.after == StateInitialized || row.after == StateFinished) {
            // The next message starts from the initial vector.
            EXPECT_EQ(Encode(*cipher, message), Encode(*NewCipher(key, cipher->Mode()), message));
        } else if (row.after == StateNew) {
            ExpectCryptError([&] { Encode(*cipher, message); },
                             "Cipher is not in valid state for this action");
        }
    }
}

TEST_P(CipherModes, CipherStateEncodeBeforeInitAndNoDefaultClassAreRefused) {
    auto cipher = TCipher_Rijndael::ClassRef()->Create();
    EXPECT_EQ(cipher->Mode(), cmCTSx);
    EXPECT_EQ(cipher->State(), StateNew);
    ExpectCryptError([&] { Encode(*cipher, ""); }, "Cipher is not in valid state for this action");
    ExpectCryptError([] { CipherClassOrDefault(nullptr); },
                     "No default cipher has been registered");
    EXPECT_EQ(CipherModeName(cmECBx), "cmECBx");
    EXPECT_EQ(CipherModeName(cmCTSx), "cmCTSx");
}

INSTANTIATE_TEST_SUITE_P(, CipherModes, testing::ValuesIn(testsupport::AesPaths()),
                         testsupport::CryptPathName);

}  // namespace
