#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

// Marks a missing integer in every measurement field.
inline constexpr int32_t NoValue = 2147483647;

// A set of 8-bit character codes that end a field.
using TDelimiterSet = std::bitset<256>;

bool InRange(int32_t value, int32_t lo, int32_t hi);

// The one integer conversion of the system: leading blanks skipped, optional sign and
// decimal digits, or "$", "x", "X", "0x", "0X" and up to 32 bits of hexadecimal digits.
// The whole rest of the text must be consumed; anything else yields `def`.
int32_t StrToIntDef(const std::string& text, int32_t def);

// Fills fields[0..high] and returns how many fields were stored. `fields` is resized
// to high + 1 entries when it is smaller.
int32_t SplitFields(const std::string& text, std::vector<std::string>& fields, int32_t high,
                    bool skipEmpty, const TDelimiterSet& delimiters);

// The integer placeholders of the display texts: the decimal digits of `value`, zero-filled
// on the left to at least `minDigits` digits, a "-" in front when negative, then blank-filled
// on the left to at least `width` characters. Unlike C's "%.0d", zero always prints as "0":
// "%4.d" is FormatInt(v, 4), "%.5d" is FormatInt(v, 0, 5), "%5d" is FormatInt(v, 5).
std::string FormatInt(int64_t value, int width, int minDigits = 1);

// `value` as at least `digits` upper-case hexadecimal digits, zero-filled on the left.
std::string HexText(uint32_t value, int digits);

// `text` without the bytes of code 32 or below at either end.
std::string TrimText(const std::string& text);

// `text` without the bytes of code 32 or below at its end.
std::string TrimRightText(const std::string& text);
