#include "data/Logger.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <utility>

#include "data/Utilities.h"

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

// Days from 1970-01-01 to 1899-12-30, the zero of the date-time.
constexpr int64_t kEpochOffsetDays = 25569;

bool IsLeapYear(int32_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int32_t DaysInMonth(int32_t year, int32_t month) {
    static constexpr std::array<int32_t, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<size_t>(month - 1)];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-days algorithm).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The date-time of a valid calendar moment. Times of day are added to the day count, also
// before 1899-12-30, so that the value orders like the moment it stands for.
TDateTime EncodeDateTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                         int32_t second, int32_t millisecond) {
    const auto days = static_cast<double>(DaysFromCivil(year, month, day) + kEpochOffsetDays);
    const double milliseconds = hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond;
    return days + milliseconds / kMillisecondsPerDay;
}

bool IsValidMoment(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                   int32_t second) {
    return InRange(year, 1, 9999) && InRange(month, 1, 12) &&
           InRange(day, 1, DaysInMonth(year, month)) && InRange(hour, 0, 23) &&
           InRange(minute, 0, 59) && InRange(second, 0, 59);
}

// Characters first..first+count-1 (counted from 1), shorter or empty beyond the text's end.
std::string Column(const std::string& text, size_t first, size_t count) {
    return first - 1 < text.size() ? text.substr(first - 1, count) : std::string();
}

}  // namespace

TDateTime ParseLogTime(const std::string& text) {
    static constexpr std::array<std::pair<size_t, size_t>, 6> kColumns{
        {{1, 4}, {5, 2}, {7, 2}, {9, 2}, {11, 2}, {13, 2}}};
    std::array<int32_t, 6> parts{};
    for (size_t i = 0; i < kColumns.size(); ++i) {
        parts[i] = StrToIntDef(Column(text, kColumns[i].first, kColumns[i].second), 0);
        if (!InRange(parts[i], 0, 65535)) {
            return 0;
        }
    }
    const auto [year, month, day, hour, minute, second] = parts;
    if (!IsValidMoment(year, month, day, hour, minute, second)) {
        return 0;
    }
    return EncodeDateTime(year, month, day, hour, minute, second, 0);
}

TDateTime Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return 0;
    }
    const auto millisecond = static_cast<int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, std::min(local.tm_sec, 59), millisecond);
}
