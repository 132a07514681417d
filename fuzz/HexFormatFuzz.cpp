// TFormat_HEX decoding of any text: either the format error naming HEX, or the bytes of a
// second decoder written from the rule; decoded bytes survive encode and decode unchanged.

#include <optional>
#include <string>
#include <string_view>

#include "crypto/CryptFmt.h"
#include "fuzz/FuzzSupport.h"

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Nothing for a text with a character that is neither a digit nor a marker ("X", "$");
// the first marker discards what came before it, later ones are skipped.
std::optional<std::string> ReferenceDecode(std::string_view text) {
    std::string digits;
    bool markerSeen = false;
    for (char c : text) {
        if (c == 'X' || c == '$') {
            if (!markerSeen) {
                digits.clear();
                markerSeen = true;
            }
        } else if (DigitValue(c) >= 0) {
            digits.push_back(c);
        } else {
            return std::nullopt;
        }
    }
    std::string bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<char>(DigitValue(digits[i]) * 16 + DigitValue(digits[i + 1])));
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TFormatClass& hex = *TFormat_HEX::ClassRef();
    const std::string_view text = AsText(data, size);
    const std::optional<std::string> expected = ReferenceDecode(text);
    std::optional<std::string> decoded;
    try {
        decoded = hex.Decode(text);
    } catch (const ECryptException& e) {
        FUZZ_CHECK(std::string_view(e.what()) == "Input is not an valid HEX format.");
    }
    FUZZ_CHECK(decoded.has_value() == expected.has_value());
    if (!decoded) {
        return 0;
    }
    FUZZ_CHECK(*decoded == *expected);
    FUZZ_CHECK(decoded->size() <= text.size() / 2);
    // Every character the decoder takes is in the format's table.
    FUZZ_CHECK(hex.AcceptsText(text));

    const std::string encoded = hex.Encode(*decoded);
    FUZZ_CHECK(encoded.size() == 2 * decoded->size());
    FUZZ_CHECK(encoded.find_first_not_of("0123456789ABCDEF") == std::string::npos);
    FUZZ_CHECK(hex.Decode(encoded) == *decoded);
    // The raw input as bytes survives the round trip too.
    FUZZ_CHECK(hex.Decode(hex.Encode(text)) == text);
    return 0;
}
