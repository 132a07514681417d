#include "app/Cp1252.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Code points of the bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char32_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t CodePoint(uint8_t byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? HighControlRange[byte - 0x80] : char32_t{byte};
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string Cp1252ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        AppendUtf8(out, CodePoint(static_cast<uint8_t>(c)));
    }
    return out;
}

namespace {

// The byte of a character, or nothing when neither code page has one for it.
std::optional<char> SingleByte(char32_t cp) {
    if (cp < 0x100) {
        return static_cast<char>(cp);
    }
    const auto* found = std::find(HighControlRange.begin(), HighControlRange.end(), cp);
    if (found == HighControlRange.end()) {
        return std::nullopt;
    }
    return static_cast<char>(0x80 + (found - HighControlRange.begin()));
}

bool IsContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

// Characters beyond U+FFFF have no single byte: four-byte sequences need no decoding.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        char32_t cp = lead;
        size_t length = 1;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
        } else if (lead >= 0x80) {
            return std::nullopt;
        }
        if (utf8.size() - i < length) {
            return std::nullopt;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(utf8[i + k]);
            if (!IsContinuation(next)) {
                return std::nullopt;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        // Overlong forms and surrogates are not UTF-8.
        if (length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) {
            return std::nullopt;
        }
        const std::optional<char> byte = SingleByte(cp);
        if (!byte) {
            return std::nullopt;
        }
        out += *byte;
        i += length;
    }
    return out;
}
