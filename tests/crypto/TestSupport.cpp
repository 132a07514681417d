#include "tests/crypto/TestSupport.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace testsupport {

const std::string& VectorBlock::Text(const std::string& key) const {
    const auto found = Fields.find(key);
    if (found == Fields.end()) {
        throw std::runtime_error(Source + ": no field " + key);
    }
    return found->second;
}

std::string VectorBlock::Bytes(const std::string& key) const {
    return FromHex(Text(key));
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot open " + path);
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

std::vector<VectorBlock> ReadVectors(const std::string& fileName) {
    const std::string path = std::string(NORVA_TEST_DATA) + "/" + fileName;
    std::istringstream lines(ReadFile(path));
    std::vector<VectorBlock> blocks;
    VectorBlock current;
    std::string line;
    int number = 0;
    const auto flush = [&] {
        if (!current.Fields.empty()) {
            blocks.push_back(std::move(current));
        }
        current = VectorBlock{};
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            flush();
            continue;
        }
        if (line[0] == '#') {
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": no key");
        }
        std::string value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') {
            value.erase(0, 1);
        }
        if (current.Fields.empty()) {
            current.Source = fileName + ":" + std::to_string(number);
        }
        current.Fields[line.substr(0, colon)] = value;
    }
    flush();
    return blocks;
}

std::string FromHex(std::string_view hex) {
    std::string bytes;
    int pending = -1;
    for (char c : hex) {
        if (c == ' ' || c == '\t') {
            continue;
        }
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            throw std::runtime_error("bad hex digit in " + std::string(hex));
        }
        if (pending < 0) {
            pending = digit;
        } else {
            bytes += static_cast<char>(pending * 16 + digit);
            pending = -1;
        }
    }
    if (pending >= 0) {
        throw std::runtime_error("odd hex length in " + std::string(hex));
    }
    return bytes;
}

std::string ToHex(std::string_view bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += Digits[b >> 4];
        hex += Digits[b & 15];
    }
    return hex;
}

std::string RandomBytes(std::mt19937& random, std::size_t count) {
    std::string bytes(count, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

namespace ref {

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

}  // namespace ref
}  // namespace testsupport
