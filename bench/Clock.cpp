// The local day-count clock.
#include "bench/Clock.h"

#include "platform/Win32.h"

namespace orvane {

namespace {
// 1 January 1970 in days since 30 December 1899.
constexpr int UnixEpochDay = 25569;
constexpr double MillisecondsPerDay = 86400000.0;
} // namespace

int DayNumber(int year, unsigned month, unsigned day) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / std::chrono::month{month} /
                        std::chrono::day{day}};
    return static_cast<int>(date.time_since_epoch().count()) + UnixEpochDay;
}

double Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    const double date = DayNumber(t.wYear, t.wMonth, t.wDay);
    const std::int32_t milliseconds =
        t.wHour * 3600000 + t.wMinute * 60000 + t.wSecond * 1000 + t.wMilliseconds;
    return date + milliseconds / MillisecondsPerDay;
}

} // namespace orvane
