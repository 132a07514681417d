#pragma once
// Shared helpers of the crypto tests: vector files, hexadecimal and the OpenSSL reference.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// One block of "key: value" lines of a vector file; blocks are separated by blank lines.
struct VectorBlock {
    std::string Source;  // file and line, for failure messages
    std::map<std::string, std::string> Fields;

    bool Has(const std::string& key) const { return Fields.count(key) != 0; }
    const std::string& Text(const std::string& key) const;
    std::string Bytes(const std::string& key) const;  // a hexadecimal field as bytes
};

std::vector<VectorBlock> ReadVectors(const std::string& fileName);
std::string ReadFile(const std::string& path);

std::string FromHex(std::string_view hex);
std::string ToHex(std::string_view bytes);

std::string RandomBytes(std::mt19937& random, std::size_t count);

// Reference computations by OpenSSL's libcrypto.
namespace ref {
std::string Sha1(std::string_view data);
// Ciphers named as EVP knows them, e.g. "AES-256-CBC"; no padding.
std::string Encrypt(std::string_view cipherName, std::string_view key, std::string_view iv,
                    std::string_view data);
// AES with the key zero-extended to 16, 24 or 32 bytes, chosen by its length.
std::string AesName(std::size_t keyLength, std::string_view mode);
std::string ZeroExtendedKey(std::string_view key);
std::string Base64(std::string_view data);
}  // namespace ref

}  // namespace testsupport
