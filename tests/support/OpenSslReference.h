#pragma once
// Reference computations by OpenSSL's libcrypto, the oracle of the crypto tests and benchmarks.

#include <cstddef>
#include <string>
#include <string_view>

namespace testsupport::ref {

std::string Sha1(std::string_view data);
std::string Sha256(std::string_view data);
// Ciphers named as EVP knows them, e.g. "AES-256-CBC"; no padding.
std::string Encrypt(std::string_view cipherName, std::string_view key, std::string_view iv,
                    std::string_view data);
// AES with the key zero-extended to 16, 24 or 32 bytes, chosen by its length.
std::string AesName(std::size_t keyLength, std::string_view mode);
std::string ZeroExtendedKey(std::string_view key);
std::string Base64(std::string_view data);

}  // namespace testsupport::ref
