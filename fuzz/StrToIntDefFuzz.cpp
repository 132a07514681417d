// StrToIntDef against a second conversion written from the rule with std::from_chars, and
// the default honoured exactly when the text is not a number.

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "data/Utilities.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// Every digit is checked first because from_chars stops quietly at the first non-digit.
std::optional<uint64_t> Digits(std::string_view text, int base) {
    if (text.empty()) {
        return std::nullopt;
    }
    for (char c : text) {
        if (base == 16 ? !IsHexDigit(c) : !IsDecimalDigit(c)) {
            return std::nullopt;
        }
    }
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> ReferenceHex(std::string_view digits) {
    const std::optional<uint64_t> value = Digits(digits, 16);
    if (!value || *value > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(*value));
}

std::optional<int32_t> ReferenceDecimal(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    const std::optional<uint64_t> magnitude = Digits(text, 10);
    if (!magnitude || *magnitude > (uint64_t{1} << 31)) {
        return std::nullopt;
    }
    const int64_t value =
        negative ? -static_cast<int64_t>(*magnitude) : static_cast<int64_t>(*magnitude);
    if (value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<int32_t> ReferenceConversion(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(first);
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
        return ReferenceHex(text.substr(1));
    }
    if (text.starts_with("0x") || text.starts_with("0X")) {
        return ReferenceHex(text.substr(2));
    }
    return ReferenceDecimal(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(AsText(data, size));
    // Two defaults that no text can both produce: a result that equals neither default, or
    // equal results, mean the text converted.
    const int32_t withZero = StrToIntDef(text, 0);
    const int32_t withNoValue = StrToIntDef(text, NoValue);
    const std::optional<int32_t> expected = ReferenceConversion(text);
    if (expected) {
        FUZZ_CHECK(withZero == *expected);
        FUZZ_CHECK(withNoValue == *expected);
        // The decimal text of the value converts back to it.
        FUZZ_CHECK(StrToIntDef(std::to_string(*expected), ~*expected) == *expected);
    } else {
        FUZZ_CHECK(withZero == 0);
        FUZZ_CHECK(withNoValue == NoValue);
    }
    return 0;
}
