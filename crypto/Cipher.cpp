#include "crypto/Cipher.h"

#include <string_view>
#include <utility>

#include "crypto/CryptCipher.h"
#include "crypto/CryptFmt.h"
#include "crypto/CryptHash.h"
#include "crypto/CryptUtil.h"

namespace {

// Key-derivation data used when no password is given: the shared secret of the signature.
constexpr std::string_view DefaultPassword = "Vq3TwKe8RmZpa1YdhN6uGc0LsXjBf5oQ2iMtDn7E";
// Seed text used when no seed text is given.
constexpr std::string_view DefaultSeed = "gH2wZk9PaQe4Rt+Ys7uNvB1cXm6LdJo0pCfEi3Ta";

constexpr TCipherMode SignCipherMode = cmCBCx;
constexpr std::int32_t KeyDerivationIndex = 1;
constexpr std::uint8_t VectorFiller = 0xFF;

}  // namespace

const TCipherClass* TCipher::SignCipherClass() {
    return TCipher_Rijndael::ClassRef();
}
const THashClass* TCipher::SignHashClass() {
    return THash_SHA1::ClassRef();
}

TCipher::TCipher() = default;

TCipher::~TCipher() {
    WipeText(Password);
    WipeText(Seed);
}

void TCipher::Setup(const std::string& password, const std::string& seedText) {
    TextFormat = TFormat_MIME64::ClassRef();
    // Assigned in place: a temporary copy of a short text would stay behind on the stack.
    WipeText(Password);
    Password.assign(password.empty() ? DefaultPassword : std::string_view(password));
    WipeText(Seed);
    Seed.assign(seedText.empty() ? DefaultSeed : std::string_view(seedText));
    std::string seedDigest = HashToText(Seed);
    WipeText(Seed);
    Seed.swap(seedDigest);
    Cipher.reset();
    Cipher = CipherClassOrDefault(SignCipherClass())->Create();
}

void TCipher::PrepareCipher() {
    if (!Cipher) {
        throw ECryptException(CryptMessages::InvalidState);
    }
    const TCipherContext& context = Cipher->Context();
    Cipher->SetMode(SignCipherMode);
    std::string key = SignHashClass()->DeriveKey(Password, Seed, context.KeySize,
                                                 TFormat_Copy::ClassRef(), KeyDerivationIndex);
    TTextWiper keyWiper(key);
    Cipher->Init(key, {}, VectorFiller);
}

std::string TCipher::EncryptText(const std::string& text) {
    PrepareCipher();
    std::string cipherText(text.size(), '\0');
    TTextWiper cipherTextWiper(cipherText);
    Cipher->Encode(text.data(), cipherText.data(), text.size());
    return TextFormat->Encode(cipherText);
}

void TCipher::EncryptInPlace(std::string& buffer) {
    PrepareCipher();
    Cipher->Encode(buffer.data(), buffer.data(), buffer.size());
    TextFormat->EncodeInPlace(buffer);
}

std::size_t TCipher::SignBufferSize(std::size_t textSize) {
    return 4 * ((textSize + 2) / 3);
}

std::string TCipher::HashToText(const std::string& text) const {
    return THash_SHA1::ClassRef()->HashText(text, TFormat_MIME64::ClassRef());
}

std::string TCipher::SignText(const std::string& text) {
    std::string buffer;
    buffer.reserve(SignBufferSize(text.size()));
    buffer.assign(text);
    return SignText(std::move(buffer));
}

std::string TCipher::SignText(std::string&& text) {
    std::string buffer = std::move(text);
    TTextWiper bufferWiper(buffer);
    EncryptInPlace(buffer);
    return HashToText(buffer);
}
