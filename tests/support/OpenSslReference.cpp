#include "tests/support/OpenSslReference.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace testsupport::ref {

namespace {
const unsigned char* Data(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}
}  // namespace

std::string Sha1(std::string_view data) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    EVP_Digest(data.data(), data.size(), digest, nullptr, EVP_sha1(), nullptr);
    return std::string(reinterpret_cast<char*>(digest), sizeof(digest));
}

std::string Encrypt(std::string_view cipherName, std::string_view key, std::string_view iv,
                    std::string_view data) {
    const std::string name(cipherName);
    const EVP_CIPHER* cipher = EVP_get_cipherbyname(name.c_str());
    if (cipher == nullptr) {
        throw std::runtime_error("unknown cipher " + name);
    }
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                            EVP_CIPHER_CTX_free);
    std::string out(data.size() + 32, '\0');
    int written = 0;
    int finalWritten = 0;
    auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
    if (EVP_EncryptInit_ex(context.get(), cipher, nullptr, Data(key),
                           iv.empty() ? nullptr : Data(iv)) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
        EVP_EncryptUpdate(context.get(), outBytes, &written, Data(data),
                          static_cast<int>(data.size())) != 1 ||
        EVP_EncryptFinal_ex(context.get(), outBytes + written, &finalWritten) != 1) {
        throw std::runtime_error("OpenSSL encryption failed for " + name);
    }
    out.resize(static_cast<std::size_t>(written + finalWritten));
    return out;
}

std::string AesName(std::size_t keyLength, std::string_view mode) {
    const int bits = keyLength <= 16 ? 128 : keyLength <= 24 ? 192 : 256;
    return "AES-" + std::to_string(bits) + "-" + std::string(mode);
}

std::string ZeroExtendedKey(std::string_view key) {
    const std::size_t size = key.size() <= 16 ? 16 : key.size() <= 24 ? 24 : 32;
    std::string extended(key);
    extended.resize(size, '\0');
    return extended;
}

std::string Base64(std::string_view data) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), Data(data),
                                       static_cast<int>(data.size()));
    out.resize(static_cast<std::size_t>(length));
    return out;
}

namespace {

constexpr std::string_view DevicePassword = "Vq3TwKe8RmZpa1YdhN6uGc0LsXjBf5oQ2iMtDn7E";

std::string BigEndian32(std::size_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// Each key byte is the xor of the bytes of one SHA-1 digest over its position, the key bytes
// before it, the index 1, and the seed and the password, each after its length.
std::string DeviceKey(std::string_view seed) {
    std::string key;
    for (std::size_t i = 0; i < 32; ++i) {
        const std::string digest = Sha1(
            BigEndian32(i) + key + BigEndian32(1) + BigEndian32(seed.size()) + std::string(seed) +
            BigEndian32(DevicePassword.size()) + std::string(DevicePassword));
        char folded = 0;
        for (const char b : digest) {
            folded = static_cast<char>(folded ^ b);
        }
        key += folded;
    }
    return key;
}

}  // namespace

std::string LogSignature(std::string_view signedText, std::string_view licence) {
    const std::string key = DeviceKey(Base64(Sha1(licence)));
    const std::string start = Encrypt("AES-256-ECB", key, "", std::string(16, '\xFF'));
    const std::size_t whole = signedText.size() / 16 * 16;
    std::string encrypted = whole == 0
                                ? std::string()
                                : Encrypt("AES-256-CBC", key, start, signedText.substr(0, whole));
    if (whole < signedText.size()) {
        const std::string chain = whole == 0 ? start : encrypted.substr(whole - 16);
        encrypted += Encrypt("AES-256-CFB8", key, chain, signedText.substr(whole));
    }
    return Base64(Sha1(Base64(encrypted)));
}

}  // namespace testsupport::ref
