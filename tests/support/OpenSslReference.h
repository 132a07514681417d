#pragma once
// Reference computations by OpenSSL's libcrypto, the oracle of the crypto tests and benchmarks.

#include <cstddef>
#include <string>
#include <string_view>

namespace testsupport::ref {

std::string Sha1(std::string_view data);
// Ciphers named as EVP knows them, e.g. "AES-256-CBC"; no padding.
std::string Encrypt(std::string_view cipherName, std::string_view key, std::string_view iv,
                    std::string_view data);
// AES with the key zero-extended to 16, 24 or 32 bytes, chosen by its length.
std::string AesName(std::size_t keyLength, std::string_view mode);
std::string ZeroExtendedKey(std::string_view key);
std::string Base64(std::string_view data);

// The signature a signing device gives a log's signed text under its licence: the key derived
// by SHA-1 from the device password and the base64 digest of the licence, AES-256 in CBC with
// an 8-bit feedback tail from an encrypted block of 0xFF bytes, base64, SHA-1, base64. For
// signed texts below 24 MiB, whose base64 form the devices count like any SHA-1.
std::string LogSignature(std::string_view signedText, std::string_view licence);

}  // namespace testsupport::ref
