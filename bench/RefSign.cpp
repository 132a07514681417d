#define OPENSSL_SUPPRESS_DEPRECATED
#include "bench/RefSign.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "tests/support/TestSupport.h"

// The log signature hashes its base64 text in one piece, and the signing devices count a piece
// of n bytes with (n >> 25) instead of (n >> 29) added to the high word of the bit counter.
// SHA1_* lets us reproduce that by adjusting the counter before the final block.

namespace refsign {

namespace {

constexpr std::string_view Password = "Vq3TwKe8RmZpa1YdhN6uGc0LsXjBf5oQ2iMtDn7E";

using Bytes = std::unique_ptr<unsigned char[]>;

Bytes Allocate(std::size_t size) {
    return std::make_unique_for_overwrite<unsigned char[]>(size == 0 ? 1 : size);
}

std::string_view From(std::string_view line, std::size_t position) {
    return position - 1 < line.size() ? line.substr(position - 1) : std::string_view();
}

THeader ScanLines(const std::vector<std::string_view>& lines) {
    THeader header;
    header.Signed.reserve(lines.size());
    for (std::string_view line : lines) {
        if (line.starts_with("LICENSE:")) {
            header.Licence = From(line, 10);
        } else if (line.starts_with("SIGNATURE:")) {
            header.Signature = From(line, 12);
            continue;
        } else if (line.starts_with("SWVERSION:")) {
            const std::string_view digits = From(line, 18).substr(0, 3);
            int value = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value);
            header.Version =
                error == std::errc() && end == digits.data() + digits.size() ? value : 0;
        }
        header.Signed.push_back(line);
    }
    return header;
}

struct Text {
    Bytes Data;
    std::size_t Size = 0;
};

Text JoinSigned(const std::vector<std::string_view>& lines) {
    std::size_t size = 0;
    for (std::string_view line : lines) {
        size += line.size() + 2;
    }
    Text text{Allocate(size), size};
    unsigned char* out = text.Data.get();
    for (std::string_view line : lines) {
        std::memcpy(out, line.data(), line.size());
        out += line.size();
        *out++ = '\r';
        *out++ = '\n';
    }
    return text;
}

std::string Base64(const unsigned char* data, std::size_t size) {
    std::string text(4 * ((size + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), data,
                                  static_cast<int>(size));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

std::array<unsigned char, 20> Sha1(std::string_view data) {
    std::array<unsigned char, 20> digest{};
    SHA1(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest.data());
    return digest;
}

std::array<unsigned char, 4> BigEndian(std::uint32_t value) {
    return {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

// Each key byte folds (xor) the SHA-1 digest of: its position, the key bytes before it, the
// index 1, the seed length, the seed, the data length and the data (all lengths big-endian).
std::array<unsigned char, 32> DeriveKey(std::string_view seed) {
    std::array<unsigned char, 32> key{};
    for (std::uint32_t i = 0; i < key.size(); ++i) {
        SHA_CTX context;
        SHA1_Init(&context);
        const auto position = BigEndian(i);
        const auto index = BigEndian(1);
        const auto seedLength = BigEndian(static_cast<std::uint32_t>(seed.size()));
        const auto dataLength = BigEndian(static_cast<std::uint32_t>(Password.size()));
        SHA1_Update(&context, position.data(), 4);
        SHA1_Update(&context, key.data(), i);
        SHA1_Update(&context, index.data(), 4);
        SHA1_Update(&context, seedLength.data(), 4);
        SHA1_Update(&context, seed.data(), seed.size());
        SHA1_Update(&context, dataLength.data(), 4);
        SHA1_Update(&context, Password.data(), Password.size());
        std::array<unsigned char, 20> digest{};
        SHA1_Final(digest.data(), &context);
        for (unsigned char b : digest) {
            key[i] ^= b;
        }
    }
    return key;
}

void Crypt(const EVP_CIPHER* cipher, const unsigned char* key, const unsigned char* iv,
           unsigned char* data, std::size_t size) {
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                            EVP_CIPHER_CTX_free);
    int written = 0;
    if (EVP_EncryptInit_ex(context.get(), cipher, nullptr, key, iv) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
        throw std::runtime_error("EVP_EncryptInit_ex failed");
    }
    // EVP takes int lengths: large texts go in pieces, which chaining modes continue.
    constexpr std::size_t Piece = std::size_t{1} << 30;
    for (std::size_t done = 0; done < size; done += Piece) {
        const int n = static_cast<int>(std::min(Piece, size - done));
        if (EVP_EncryptUpdate(context.get(), data + done, &written, data + done, n) != 1) {
            throw std::runtime_error("EVP_EncryptUpdate failed");
        }
    }
}

std::array<unsigned char, 20> HashText(const std::string& text, bool plainSha1) {
    std::array<unsigned char, 20> digest{};
    if (plainSha1) {
        EVP_Digest(text.data(), text.size(), digest.data(), nullptr, EVP_sha1(), nullptr);
        return digest;
    }
    SHA_CTX context;
    SHA1_Init(&context);
    SHA1_Update(&context, text.data(), text.size());
    // The counter of one piece (see the top of this file): SHA1_Update added the carry out of
    // the low word and (length >> 29) to the high word, the signing devices add the carry and
    // (length >> 25).
    context.Nh += static_cast<SHA_LONG>((text.size() >> 25) - (text.size() >> 29));
    SHA1_Final(digest.data(), &context);
    return digest;
}

std::string SignText(Text text, std::string_view licence, bool plainSha1) {
    const auto licenceDigest = Sha1(licence);
    const std::string seed = Base64(licenceDigest.data(), licenceDigest.size());
    const auto key = DeriveKey(seed);
    std::array<unsigned char, 16> vector{};
    vector.fill(0xFF);
    Crypt(EVP_aes_256_ecb(), key.data(), nullptr, vector.data(), vector.size());
    const std::size_t whole = text.Size / 16 * 16;
    unsigned char* data = text.Data.get();
    Crypt(EVP_aes_256_cbc(), key.data(), vector.data(), data, whole);
    if (whole < text.Size) {
        const unsigned char* register_ = whole == 0 ? vector.data() : data + whole - 16;
        std::array<unsigned char, 16> feedback{};
        std::memcpy(feedback.data(), register_, 16);
        Crypt(EVP_aes_256_cfb8(), key.data(), feedback.data(), data + whole, text.Size - whole);
    }
    std::string encrypted = Base64(data, text.Size);
    text.Data.reset();
    const auto digest = HashText(encrypted, plainSha1);
    return Base64(digest.data(), digest.size());
}

}  // namespace

THeader ScanHeader(std::string_view file) {
    // A NUL ends the text of a log.
    return ScanLines(testsupport::SplitLines(file.substr(0, file.find('\0'))));
}

std::string Sign(const THeader& header, bool plainSha1) {
    return SignText(JoinSigned(header.Signed), header.Licence, plainSha1);
}

TVerdict Verify(std::string_view file, bool plainSha1) {
    const THeader header = ScanHeader(file);
    if (header.Version < 790) {
        return TVerdict::NotChecked;
    }
    if (header.Licence.empty() || header.Signature.empty()) {
        return TVerdict::NotInterpretable;
    }
    return Sign(header, plainSha1) == header.Signature ? TVerdict::Valid : TVerdict::NotValid;
}

const char* VerdictText(TVerdict verdict) {
    switch (verdict) {
        case TVerdict::Valid:
            return "The signature is OK";
        case TVerdict::NotValid:
            return "The signature is NOT VALID";
        case TVerdict::NotInterpretable:
            return "The file could not be interpreted";
        case TVerdict::NotChecked:
            break;
    }
    return "not checked";
}

int ExitStatus(TVerdict verdict) {
    switch (verdict) {
        case TVerdict::Valid:
            return 0;
        case TVerdict::NotValid:
            return 1;
        case TVerdict::NotInterpretable:
        case TVerdict::NotChecked:
            break;
    }
    return 2;
}

}  // namespace refsign
