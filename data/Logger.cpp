#include "data/Logger.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <optional>
#include <utility>

#include "data/Utilities.h"

namespace {

namespace chrono = std::chrono;

constexpr double MillisecondsPerDay = 86400000.0;

// The zero of the date-time.
constexpr chrono::sys_days DateTimeEpoch = chrono::year{1899} / chrono::December / 30;

// The proleptic Gregorian date of a year 1..9999, month and day, when there is one.
std::optional<chrono::year_month_day> CivilDate(int32_t year, int32_t month, int32_t day) {
    if (!InRange(year, 1, 9999) || !InRange(month, 1, 12) || !InRange(day, 1, 31)) {
        return std::nullopt;
    }
    const chrono::year_month_day date{chrono::year{year},
                                      chrono::month{static_cast<unsigned>(month)},
                                      chrono::day{static_cast<unsigned>(day)}};
    return date.ok() ? std::optional(date) : std::nullopt;
}

// The date-time of a calendar moment. Times of day are added to the day count, also before
// 1899-12-30, so that the value orders like the moment it stands for.
TDateTime EncodeDateTime(chrono::year_month_day date, int32_t hour, int32_t minute, int32_t second,
                         int32_t millisecond) {
    const auto days = static_cast<double>((chrono::sys_days{date} - DateTimeEpoch).count());
    const double milliseconds = hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond;
    return days + milliseconds / MillisecondsPerDay;
}

bool IsValidTimeOfDay(int32_t hour, int32_t minute, int32_t second) {
    return InRange(hour, 0, 23) && InRange(minute, 0, 59) && InRange(second, 0, 59);
}

// Characters first..first+count-1 (counted from 1), shorter or empty beyond the text's end.
std::string Column(const std::string& text, size_t first, size_t count) {
    return first - 1 < text.size() ? text.substr(first - 1, count) : std::string();
}

}  // namespace

TDateTime ParseLogTime(const std::string& text) {
    static constexpr std::array<std::pair<size_t, size_t>, 6> Columns{
        {{1, 4}, {5, 2}, {7, 2}, {9, 2}, {11, 2}, {13, 2}}};
    std::array<int32_t, 6> parts{};
    for (size_t i = 0; i < Columns.size(); ++i) {
        parts[i] = StrToIntDef(Column(text, Columns[i].first, Columns[i].second), 0);
        if (!InRange(parts[i], 0, 65535)) {
            return 0;
        }
    }
    const auto [year, month, day, hour, minute, second] = parts;
    const std::optional<chrono::year_month_day> date = CivilDate(year, month, day);
    if (!date || !IsValidTimeOfDay(hour, minute, second)) {
        return 0;
    }
    return EncodeDateTime(*date, hour, minute, second, 0);
}

TDateTime Now() {
    const auto now = chrono::system_clock::now();
    const std::time_t seconds = chrono::system_clock::to_time_t(now);
    // Every record cleared takes the time, many in a second: the calendar time of the second
    // is worked out once.
    thread_local std::optional<std::pair<std::time_t, std::tm>> lastSecond;
    if (!lastSecond || lastSecond->first != seconds) {
        std::tm local{};
        if (localtime_r(&seconds, &local) == nullptr) {
            return 0;
        }
        lastSecond.emplace(seconds, local);
    }
    const std::tm& local = lastSecond->second;
    const auto millisecond = static_cast<int32_t>(
        chrono::duration_cast<chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    const std::optional<chrono::year_month_day> date =
        CivilDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    if (!date) {
        return 0;
    }
    return EncodeDateTime(*date, local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                          millisecond);
}
