#include "data/Utilities.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Any count of digits is accepted (leading zeros included) as long as the value fits.
std::optional<int32_t> ParseHex(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || value > (std::numeric_limits<uint32_t>::max() >> 4)) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    // All 32 bits are usable: "$FFFFFFFF" is -1.
    return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    // Accumulate as a magnitude so that -2147483648 fits while 2147483648 does not.
    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    uint64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    const int64_t value =
        negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseInteger(std::string_view text) {
    const size_t firstNonBlank = text.find_first_not_of(' ');
    if (firstNonBlank == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(firstNonBlank);
    if (text.front() == '$' || text.front() == 'x' || text.front() == 'X') {
        return ParseHex(text.substr(1));
    }
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return ParseHex(text.substr(2));
    }
    return ParseDecimal(text);
}

}  // namespace

bool InRange(int32_t value, int32_t lo, int32_t hi) {
    return lo <= value && value <= hi;
}

int32_t StrToIntDef(const std::string& text, int32_t def) {
    return ParseInteger(text).value_or(def);
}

int32_t SplitFields(const std::string& text, std::vector<std::string>& fields, int32_t high,
                    bool skipEmpty, const TDelimiterSet& delimiters) {
    if (high < 0) {
        return 0;
    }
    const auto slots = static_cast<size_t>(high) + 1;
    if (fields.size() < slots) {
        fields.resize(slots);
    }
    const char* const data = text.data();
    const size_t size = text.size();
    int32_t count = 0;
    size_t start = 0;  // of the field being read
    size_t p = 0;
    bool inRun = skipEmpty;  // no byte but delimiters since the last field (skipEmpty only)
    bool full = false;
    fields[0].clear();
    while (true) {
        while (p < size && !delimiters[static_cast<unsigned char>(data[p])]) {
            ++p;
        }
        if (p == size) {
            break;
        }
        if (p > start) {
            inRun = false;
        }
        if (!inRun) {
            fields[static_cast<size_t>(count)].assign(data + start, p - start);
            ++count;
            if (count > high) {
                full = true;
                break;
            }
            fields[static_cast<size_t>(count)].clear();
        }
        if (skipEmpty) {
            inRun = true;
        }
        start = ++p;
    }
    if (!full && size > start) {
        fields[static_cast<size_t>(count)].assign(data + start, size - start);
        ++count;
    }
    for (auto i = static_cast<size_t>(count); i < slots; ++i) {
        fields[i].clear();
    }
    return count;
}

std::string FormatInt(int64_t value, int width, int minDigits) {
    const bool negative = value < 0;
    // The magnitude is taken in unsigned arithmetic so that the most negative value works.
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char digits[20];
    size_t digitCount = 0;
    do {
        digits[digitCount++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const size_t zeroFilled = std::max(digitCount, static_cast<size_t>(std::max(minDigits, 0)));
    const size_t withSign = zeroFilled + (negative ? 1 : 0);
    const size_t total = std::max(withSign, static_cast<size_t>(std::max(width, 0)));
    std::string text(total, ' ');
    char* out = text.data() + total;
    for (size_t i = 0; i < digitCount; ++i) {
        *--out = digits[i];
    }
    for (size_t i = digitCount; i < zeroFilled; ++i) {
        *--out = '0';
    }
    if (negative) {
        *--out = '-';
    }
    return text;
}

std::string HexText(uint32_t value, int digits) {
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.push_back(HexDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(text.size()) < digits) {
        text.append(static_cast<size_t>(digits) - text.size(), '0');
    }
    return {text.rbegin(), text.rend()};
}

std::string TrimText(const std::string& text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsBlankOrControl);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlankOrControl).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string TrimRightText(const std::string& text) {
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlankOrControl).base();
    return std::string(text.begin(), last);
}
