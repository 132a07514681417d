#include "data/MonitorData.h"

#include <algorithm>

#include "data/Utilities.h"

namespace {

// Codes from here on carry a three-digit network code.
constexpr int32_t ThreeDigitMncFrom = 100000;

}  // namespace

std::string CountryText(int32_t mcc) {
    const auto entry = std::find_if(CountryTable.begin(), CountryTable.end(),
                                    [mcc](const TCountryEntry& e) { return e.Mcc == mcc; });
    return entry != CountryTable.end() ? entry->Text : "??";
}

std::string PlmnText(int32_t code) {
    const int32_t divisor = code >= ThreeDigitMncFrom ? 1000 : 100;
    return CountryText(code / divisor) + "-" + FormatInt(code % divisor, 0, 2);
}
