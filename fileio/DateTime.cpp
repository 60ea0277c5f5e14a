// Calendar arithmetic for date-time values.
#include "fileio/DateTime.h"

#include <chrono>
#include <cmath>

namespace orvane {

namespace {
constexpr int UnixEpochDay = 25569; // 1 January 1970
constexpr double MillisecondsPerDay = 86400000.0;
} // namespace

int DayNumber(int year, unsigned month, unsigned day) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / std::chrono::month{month} /
                        std::chrono::day{day}};
    return static_cast<int>(date.time_since_epoch().count()) + UnixEpochDay;
}

TDateTime EncodeDateTime(const TDateTimeFields& f) {
    const std::int64_t milliseconds = std::int64_t{f.Hour} * 3600000 +
                                      std::int64_t{f.Minute} * 60000 +
                                      std::int64_t{f.Second} * 1000 + f.Millisecond;
    return DayNumber(f.Year, f.Month, f.Day) +
           static_cast<double>(milliseconds) / MillisecondsPerDay;
}

TDateTimeFields DecodeDateTime(TDateTime value) {
    using namespace std::chrono;
    auto days = static_cast<std::int64_t>(std::floor(value));
    std::int64_t ms = std::llround((value - static_cast<double>(days)) * MillisecondsPerDay);
    if (ms >= 86400000) { // rounded up into the next day
        ++days;
        ms -= 86400000;
    }
    const year_month_day date{sys_days{} + std::chrono::days{days - UnixEpochDay}};
    return {static_cast<int>(date.year()),          static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day()),      static_cast<unsigned>(ms / 3600000),
            static_cast<unsigned>(ms / 60000 % 60), static_cast<unsigned>(ms / 1000 % 60),
            static_cast<unsigned>(ms % 1000)};
}

} // namespace orvane
