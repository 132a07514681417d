#include <gtest/gtest.h>

#include <new>
#include <string_view>

#include "crypto/Cipher.h"
#include "crypto/CryptCipher.h"
#include "crypto/CryptFmt.h"
#include "crypto/CryptHash.h"
#include "tests/crypto/ReleasedMemory.h"
#include "tests/support/OpenSslReference.h"

namespace {

using Names = std::vector<std::string>;

const std::string Password = "Vq3TwKe8RmZpa1YdhN6uGc0LsXjBf5oQ2iMtDn7E";
const std::string Licence = "NRVG-8D 41873 / Bahnfunk Messdienst Nord";

// Every holder of key material or of an intermediate value of the signature is wiped before
// its memory goes back: the password, the seed text and its digest, the derived key, the
// cipher's data area, the ciphertext (also in the hash thread's ring) and its base64 text,
// also through a second Setup.
TEST(Secrets, SigningReleasesNoIntermediateValue) {
    const std::string text = "SWVERSION: NG-FW 795\r\n03;20240514102231;U;1;0;1004;4711\r\n";
    const TFormatClass* mime64 = TFormat_MIME64::ClassRef();
    const std::string seed = THash_SHA1::ClassRef()->HashText(Licence, mime64);
    const std::string key = THash_SHA1::ClassRef()->DeriveKey(Password, seed, 32, nullptr, 1);
    const std::string vector =
        testsupport::ref::Encrypt("AES-256-ECB", key, "", std::string(16, '\xFF'));
    const std::string whole = text.substr(0, text.size() / 16 * 16);
    const std::string cipherText = testsupport::ref::Encrypt("AES-256-CBC", key, vector, whole);
    const std::string secondPassword(64, 'p');
    // Derived for the first time inside the watch, whatever keys earlier tests left set up.
    const std::string secondKey =
        THash_SHA1::ClassRef()->DeriveKey(secondPassword, seed, 32, nullptr, 1);
    // Long enough for the hash thread, whose ring holds the later pieces: piece 5 stays in
    // the ring's second buffer.
    const std::string longText(6 * TCipher::SignPieceSize + 100, 'L');
    const std::string ringPiece =
        testsupport::ref::Encrypt("AES-256-CBC", key, vector,
                                  longText.substr(0, longText.size() / 16 * 16))
            .substr(5 * TCipher::SignPieceSize, 16);
    std::string encrypted;
    std::string signatures[3];

    // Built before the watch starts: its own temporaries are released unwiped.
    std::vector<TReleasedMemoryWatch::TSecret> secrets = {
        {"password", Password.substr(0, 16)},
        {"second password", secondPassword.substr(0, 16)},
        {"seed text", Licence.substr(0, 16)},
        {"seed", seed.substr(0, 16)},
        {"seed digest", THash_SHA1::ClassRef()->HashText(Licence, nullptr)},
        {"key", key.substr(0, 16)},
        {"second key", secondKey.substr(0, 16)},
        {"vector", vector},
        {"ciphertext", cipherText.substr(0, 16)},
        {"base64 text", mime64->Encode(cipherText).substr(0, 16)},
        {"ciphertext in the hash thread's ring", ringPiece}};
    TReleasedMemoryWatch watch(std::move(secrets));
    {
        TCipher signer;
        signer.Setup("", Licence);
        encrypted = signer.EncryptText(text);
        signatures[0] = signer.SignText(text);
        signer.BeginSignText(true);
        signer.SignPiece(longText);
        signatures[2] = signer.EndSignText();
        signer.Setup(secondPassword, Licence);
        signatures[1] = signer.SignText(text);
    }
    EXPECT_EQ(watch.Found(), Names{});
}

// The toolkit objects leave zero bytes behind, whatever they held.
TEST(Secrets, ReleasedToolkitObjectsAreZero) {
    TReleasedMemoryWatch watch({});
    std::unique_ptr<TCryptHash> hash = THash_SHA1::ClassRef()->Create();
    hash->Init();
    hash->Update(Password.data(), Password.size());
    hash->Finish();
    watch.Keep(hash.get(), sizeof(THash_SHA1));
    hash.reset();
    EXPECT_EQ(watch.Kept(), std::string(sizeof(THash_SHA1), '\0'));

    std::unique_ptr<TCryptCipher> cipher = TCipher_Rijndael::ClassRef()->Create();
    cipher->SetMode(cmCFBx);
    cipher->Init(Password.substr(0, 32), "", 0xFF);
    std::string data = "five!";
    cipher->Encode(data.data(), data.data(), data.size());
    watch.Keep(cipher.get(), sizeof(TCipher_Rijndael));
    cipher.reset();
    EXPECT_EQ(watch.Kept(), std::string(sizeof(TCipher_Rijndael), '\0'));
}

// A hash that lives inside other storage (a member, the stack) is released without the
// toolkit's own operator delete: its destructor alone must take the digest and the bit count.
TEST(Secrets, HashHeldInPlaceWipesItsDigestAndCount) {
    alignas(THash_SHA1) unsigned char storage[sizeof(THash_SHA1)];
    auto* hash = ::new (storage) THash_SHA1;
    hash->Init();
    hash->Update(Password.data(), Password.size());
    hash->Finish();
    const std::string digest = hash->DigestText(nullptr);
    const TCryptHash::TBitCount& bits = hash->BitCount();
    const std::string count(reinterpret_cast<const char*>(bits.data()), sizeof bits);
    hash->~THash_SHA1();
    const std::string_view left(reinterpret_cast<const char*>(storage), sizeof storage);
    EXPECT_EQ(left.find(digest), std::string_view::npos);
    EXPECT_EQ(left.find(count), std::string_view::npos);
}

// A wiped text leaves nothing in its storage, also not in the capacity beyond its end.
TEST(Secrets, WipeTextClearsTheSpareCapacity) {
    std::string text = Password;
    text.resize(4);
    std::vector<TReleasedMemoryWatch::TSecret> secrets = {
        {"spare capacity", Password.substr(8, 16)}};
    TReleasedMemoryWatch watch(std::move(secrets));
    WipeText(text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(watch.Found(), Names{});
}

}  // namespace
