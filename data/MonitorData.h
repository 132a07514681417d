#pragma once

#include <array>
#include <cstdint>
#include <string>

// One mobile country code and the two-letter text the cell lines show for it.
struct TCountryEntry {
    int32_t Mcc;
    const char* Text;
};

inline constexpr std::array<TCountryEntry, 22> CountryTable{{
    {204, "NL"}, {206, "BE"}, {208, "FR"}, {214, "ES"}, {219, "HR"}, {222, "IT"},
    {228, "CH"}, {230, "CZ"}, {232, "AT"}, {234, "UK"}, {238, "DK"}, {250, "RU"},
    {255, "UA"}, {260, "PL"}, {262, "DE"}, {286, "TR"}, {310, "US"}, {418, "IQ"},
    {454, "HK"}, {502, "MY"}, {505, "AU"}, {530, "NZ"},
}};

// The table's text for a mobile country code, "??" for any code not in it.
std::string CountryText(int32_t mcc);

// A network code (MCC * 100 + MNC, or MCC * 1000 + MNC from 100000 on) as country text,
// hyphen and MNC of at least two digits, e.g. "DE-01".
std::string PlmnText(int32_t code);
