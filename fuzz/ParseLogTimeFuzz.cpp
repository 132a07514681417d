// ParseLogTime against std::chrono's calendar: the same moment or 0, and a parsed moment
// written back in the log's fixed columns parses to the same value.

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "data/Logger.h"
#include "data/Utilities.h"
#include "fuzz/FuzzSupport.h"

namespace {

using namespace std::chrono;

constexpr std::array<std::pair<size_t, size_t>, 6> Columns{
    {{0, 4}, {4, 2}, {6, 2}, {8, 2}, {10, 2}, {12, 2}}};

// Parts beyond the text's end are shorter or empty; each converts with default 0.
std::array<int32_t, 6> Parts(const std::string& text) {
    std::array<int32_t, 6> parts{};
    for (size_t i = 0; i < Columns.size(); ++i) {
        const auto [first, count] = Columns[i];
        parts[i] = StrToIntDef(first < text.size() ? text.substr(first, count) : "", 0);
    }
    return parts;
}

double ReferenceTime(const std::string& text) {
    const auto [y, mo, d, h, mi, s] = Parts(text);
    const bool validParts = y >= 1 && y <= 9999 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 &&
                            h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59;
    if (!validParts) {
        return 0;
    }
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                              day{static_cast<unsigned>(d)}};
    if (!date.ok()) {
        return 0;
    }
    const auto days = (sys_days{date} - sys_days{1899y / December / 30}).count();
    const double milliseconds = h * 3600000.0 + mi * 60000.0 + s * 1000.0;
    return static_cast<double>(days) + milliseconds / 86400000.0;
}

// The moment back in the columns YYYYMMDDhhmmss.
std::string LogTimeText(double value) {
    const auto days = static_cast<int64_t>(std::floor(value));
    const auto milliseconds = std::llround((value - static_cast<double>(days)) * 86400000.0);
    const year_month_day date{sys_days{1899y / December / 30} + std::chrono::days{days}};
    const hh_mm_ss<std::chrono::milliseconds> time{std::chrono::milliseconds{milliseconds}};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02u%02d%02d%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(AsText(data, size));
    const double value = ParseLogTime(text);
    FUZZ_CHECK(std::isfinite(value));
    FUZZ_CHECK(value == ReferenceTime(text));
    // Year 1 to 9999 of the proleptic calendar, relative to 1899-12-30.
    FUZZ_CHECK(value == 0 || (value >= -693593 && value < 2958466));
    // Characters after the 14th do not count.
    if (text.size() > 14) {
        FUZZ_CHECK(ParseLogTime(text.substr(0, 14)) == value);
    }
    // Only an exact 1899-12-30 00:00:00 parses to 0 as a valid moment; that is no time.
    if (value != 0) {
        FUZZ_CHECK(ParseLogTime(LogTimeText(value)) == value);
    }
    return 0;
}
