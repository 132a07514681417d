#include "tests/support/OpenSslReference.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

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

std::string Sha256(std::string_view data) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    EVP_Digest(data.data(), data.size(), digest, nullptr, EVP_sha256(), nullptr);
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

}  // namespace testsupport::ref
