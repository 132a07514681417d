#include "crypto/CryptFmt.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "crypto/CryptAccel.h"

namespace {

using namespace std::string_view_literals;

// Digits, the two prefix markers, then characters that may surround hexadecimal text.
constexpr std::string_view HexAlphabet =
    "0123456789ABCDEF"
    "X$"
    " abcdefhHx()[]{},;:-_/\\*+\"'\t\n\r"sv;
constexpr std::size_t HexDigitCount = 16;
constexpr std::size_t HexMarkerEnd = 18;

// The base64 alphabet, the padding character, then characters that may surround base64 text.
constexpr std::string_view Mime64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
    "="
    " $()[]{},;:-_\\*\"'\t\n\r"sv;
constexpr char Mime64Padding = '=';

static_assert(HexAlphabet.size() == 48);
static_assert(Mime64Alphabet.size() == 85);

const std::uint8_t* Bytes(const void* data) {
    return static_cast<const std::uint8_t*>(data);
}

std::string CopyToText(const void* data, std::size_t count) {
    return count == 0 ? std::string() : std::string(static_cast<const char*>(data), count);
}

std::size_t SameSize(std::size_t count) {
    return count;
}

void CopyToTextAt(const void* data, std::size_t count, char* out) {
    if (count > 0) {
        std::memcpy(out, data, count);
    }
}

bool AcceptsEveryText(const TFormatClass&, const void*, std::size_t) {
    return true;
}

// True when every character of the text occurs in the class's character table.
bool AcceptsAlphabetText(const TFormatClass& self, const void* text, std::size_t count) {
    const std::string_view alphabet = self.Alphabet();
    const std::uint8_t* chars = Bytes(text);
    for (std::size_t i = 0; i < count; ++i) {
        if (alphabet.find(static_cast<char>(chars[i])) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

std::size_t HexTextSize(std::size_t count) {
    return 2 * count;
}

void HexToTextAt(const void* data, std::size_t count, char* out) {
    const std::uint8_t* bytes = Bytes(data);
    for (std::size_t i = 0; i < count; ++i) {
        out[2 * i] = HexAlphabet[bytes[i] >> 4];
        out[2 * i + 1] = HexAlphabet[bytes[i] & 0x0F];
    }
}

std::string HexToText(const void* data, std::size_t count) {
    std::string text(HexTextSize(count), '\0');
    HexToTextAt(data, count, text.data());
    return text;
}

// Index of `c` among the digits and markers (0..17), or -1 when it cannot be placed.
int HexCharIndex(char c) {
    const std::size_t exact = HexAlphabet.substr(0, HexMarkerEnd).find(c);
    if (exact != std::string_view::npos) {
        return static_cast<int>(exact);
    }
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    const std::size_t digit = HexAlphabet.substr(0, HexDigitCount).find(upper);
    return digit == std::string_view::npos ? -1 : static_cast<int>(digit);
}

std::string HexFromText(const void* text, std::size_t count) {
    const char* chars = static_cast<const char*>(text);
    std::string bytes(count / 2 + 1, '\0');
    std::size_t nibbles = 0;
    std::size_t position = 0;
    bool markerSeen = false;
    for (std::size_t i = 0; i < count; ++i) {
        const int index = HexCharIndex(chars[i]);
        if (index < 0) {
            WipeText(bytes);
            throw ECryptException(CryptMessages::InvalidFormat,
                                  {ShortClassName(TFormat_HEX::ClassRef())});
        }
        if (index < static_cast<int>(HexDigitCount)) {
            auto& current = reinterpret_cast<std::uint8_t&>(bytes[position]);
            if (nibbles % 2 == 0) {
                current = static_cast<std::uint8_t>(index << 4);
            } else {
                current = static_cast<std::uint8_t>(current | index);
                ++position;
            }
            ++nibbles;
        } else if (!markerSeen) {
            // The first "X" or "$" starts the number afresh, so "0X" and "$" act as prefixes.
            markerSeen = true;
            nibbles = 0;
            position = 0;
        }
    }
    bytes.resize(position);
    return bytes;
}

// Every 12-bit value as its two base64 characters, the first in the low byte: one lookup
// gives two characters.
constexpr std::array<std::uint16_t, 4096> MakeMime64Pairs() {
    std::array<std::uint16_t, 4096> pairs{};
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto first = static_cast<std::uint8_t>(Mime64Alphabet[i >> 6]);
        const auto second = static_cast<std::uint8_t>(Mime64Alphabet[i & 0x3F]);
        pairs[i] = static_cast<std::uint16_t>(first | (second << 8));
    }
    return pairs;
}

constexpr std::array<std::uint16_t, 4096> Mime64Pairs = MakeMime64Pairs();

inline std::uint32_t Mime64Group(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 16) | (std::uint32_t{bytes[1]} << 8) | bytes[2];
}

inline void StoreMime64Group(std::uint32_t group, char* out) {
    const std::uint16_t high = Mime64Pairs[group >> 12];
    const std::uint16_t low = Mime64Pairs[group & 0xFFF];
    std::memcpy(out, &high, 2);
    std::memcpy(out + 2, &low, 2);
}

// The last one or two bytes as four characters, completed with "=".
void StoreMime64Tail(const std::uint8_t* bytes, std::size_t rest, char* out) {
    std::uint32_t group = std::uint32_t{bytes[0]} << 16;
    if (rest == 2) {
        group |= std::uint32_t{bytes[1]} << 8;
    }
    out[0] = Mime64Alphabet[group >> 18];
    out[1] = Mime64Alphabet[(group >> 12) & 0x3F];
    out[2] = rest == 2 ? Mime64Alphabet[(group >> 6) & 0x3F] : Mime64Padding;
    out[3] = Mime64Padding;
}

constexpr std::size_t Mime64TextSize(std::size_t count) {
    return 4 * ((count + 2) / 3);
}

// Whole groups of three bytes, as many as the vector code takes on the path chosen, the rest
// through the table.
void StoreMime64Groups(const std::uint8_t* bytes, std::size_t groups, char* out) {
    std::size_t k = 0;
#if NORVA_CRYPT_ACCEL
    switch (CryptAccel::ActiveBase64Path()) {
        case CryptAccel::Base64Path::Avx2:
            k = CryptAccel::Base64EncodeAvx2(bytes, groups, out);
            break;
        case CryptAccel::Base64Path::Ssse3:
            k = CryptAccel::Base64EncodeSsse3(bytes, groups, out);
            break;
        case CryptAccel::Base64Path::Portable:
            break;
    }
#endif
    for (; k < groups; ++k) {
        StoreMime64Group(Mime64Group(bytes + 3 * k), out + 4 * k);
    }
}

void Mime64ToTextAt(const void* data, std::size_t count, char* out) {
    const std::uint8_t* bytes = Bytes(data);
    const std::size_t groups = count / 3;
    StoreMime64Groups(bytes, groups, out);
    if (count % 3 != 0) {
        StoreMime64Tail(bytes + 3 * groups, count % 3, out + 4 * groups);
    }
}

std::size_t Mime64Size(std::size_t count) {
    return Mime64TextSize(count);
}

std::string Mime64ToText(const void* data, std::size_t count) {
    std::string text(Mime64TextSize(count), '\0');
    Mime64ToTextAt(data, count, text.data());
    return text;
}

constexpr std::array<std::int8_t, 256> Mime64DecodeTable() {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < 64; ++i) {
        table[static_cast<std::uint8_t>(Mime64Alphabet[i])] = static_cast<std::int8_t>(i);
    }
    return table;
}

std::string Mime64FromText(const void* text, std::size_t count) {
    static constexpr std::array<std::int8_t, 256> Decode = Mime64DecodeTable();
    const std::uint8_t* chars = Bytes(text);
    std::string bytes(count, '\0');
    std::size_t position = 0;
    std::uint32_t group = 0;
    int collected = 0;
    for (std::size_t i = 0; i < count && chars[i] != Mime64Padding; ++i) {
        const int index = Decode[chars[i]];
        if (index < 0) {
            continue;  // blanks, line breaks and any other character are skipped
        }
        group = (group << 6) | static_cast<std::uint32_t>(index);
        if (++collected == 4) {
            bytes[position++] = static_cast<char>(group >> 16);
            bytes[position++] = static_cast<char>(group >> 8);
            bytes[position++] = static_cast<char>(group);
            group = 0;
            collected = 0;
        }
    }
    if (collected > 1) {
        group <<= 6 * (4 - collected);
        bytes[position++] = static_cast<char>(group >> 16);
        if (collected == 3) {
            bytes[position++] = static_cast<char>(group >> 8);
        }
    }
    bytes.resize(position);
    return bytes;
}

const TFormatClass FormatCopy{
    {"TFormat_Copy"}, CopyToText, CopyToText, AcceptsEveryText, {}, SameSize, CopyToTextAt,
};
const TFormatClass FormatHex{
    {"TFormat_HEX"}, HexToText,   HexFromText, AcceptsAlphabetText,
    HexAlphabet,     HexTextSize, HexToTextAt,
};
// Inherits the hexadecimal validity test, applied to its own character table.
const TFormatClass FormatMime64{
    {"TFormat_MIME64"}, Mime64ToText, Mime64FromText, AcceptsAlphabetText,
    Mime64Alphabet,     Mime64Size,   Mime64ToTextAt,
};

}  // namespace

const TFormatClass* TFormat_Copy::ClassRef() {
    return &FormatCopy;
}
const TFormatClass* TFormat_HEX::ClassRef() {
    return &FormatHex;
}
const TFormatClass* TFormat_MIME64::ClassRef() {
    return &FormatMime64;
}

const TFormatClass* FormatClassOrDefault(const TFormatClass* formatClass) {
    return formatClass != nullptr ? formatClass : TFormat_Copy::ClassRef();
}
