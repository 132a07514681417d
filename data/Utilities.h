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
