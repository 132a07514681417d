// TFormat_MIME64 decoding of any text never raises and gives the bytes of a second decoder
// written from the rule; decode and re-encode are inverse on every byte string.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "crypto/CryptFmt.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr std::string_view Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The index of each byte in the alphabet, -1 for bytes outside it.
const std::array<int8_t, 256>& SextetOf() {
    static const std::array<int8_t, 256> table = [] {
        std::array<int8_t, 256> sextets;
        sextets.fill(-1);
        for (size_t i = 0; i < Alphabet.size(); ++i) {
            sextets[static_cast<unsigned char>(Alphabet[i])] = static_cast<int8_t>(i);
        }
        return sextets;
    }();
    return table;
}

// Alphabet characters up to the first "=" count; everything else is skipped.
std::string ReferenceDecode(std::string_view text) {
    std::string sextets;
    for (char c : text) {
        if (c == '=') {
            break;
        }
        const int8_t index = SextetOf()[static_cast<unsigned char>(c)];
        if (index >= 0) {
            sextets.push_back(static_cast<char>(index));
        }
    }
    std::string bytes;
    for (size_t i = 0; i < sextets.size(); i += 4) {
        uint32_t group = 0;
        const size_t count = std::min<size_t>(4, sextets.size() - i);
        for (size_t j = 0; j < 4; ++j) {
            group = (group << 6) | (j < count ? static_cast<uint32_t>(sextets[i + j]) : 0);
        }
        for (size_t j = 0; j + 1 < count; ++j) {
            bytes.push_back(static_cast<char>(group >> (16 - 8 * j)));
        }
    }
    return bytes;
}

void CheckEncoding(const TFormatClass& mime64, std::string_view bytes) {
    const std::string encoded = mime64.Encode(bytes);
    FUZZ_CHECK(encoded.size() == 4 * ((bytes.size() + 2) / 3));
    const size_t padding = (3 - bytes.size() % 3) % 3;
    FUZZ_CHECK(encoded.find('=') == (padding == 0 ? std::string::npos : encoded.size() - padding));
    FUZZ_CHECK(mime64.AcceptsText(encoded));
    FUZZ_CHECK(mime64.Decode(encoded) == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TFormatClass& mime64 = *TFormat_MIME64::ClassRef();
    const std::string_view text = AsText(data, size);
    const std::string decoded = mime64.Decode(text);
    FUZZ_CHECK(decoded == ReferenceDecode(text));
    FUZZ_CHECK(decoded.size() <= text.size());
    CheckEncoding(mime64, decoded);
    CheckEncoding(mime64, text);
    // Line breaks of a mail body change nothing.
    const std::string encoded = mime64.Encode(text);
    std::string wrapped;
    for (size_t i = 0; i < encoded.size(); i += 76) {
        wrapped += encoded.substr(i, 76) + "\r\n";
    }
    FUZZ_CHECK(mime64.Decode(wrapped) == text);
    return 0;
}
