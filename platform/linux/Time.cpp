// Sleeping, the millisecond tick count and the local clock.
#include "platform/OsCalls.h"
#include "platform/Win32.h"

#include <cerrno>
#include <ctime>

void Sleep(DWORD dwMilliseconds) {
    timespec remaining{static_cast<time_t>(dwMilliseconds / 1000),
                       static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (orvane::platform::OsCalls().nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

ULONGLONG GetTickCount64() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000 +
           static_cast<ULONGLONG>(now.tv_nsec / 1000000);
}

// Wraps after 49.7 days, as on Windows.
DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());
}

void GetLocalTime(SYSTEMTIME* lpSystemTime) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm fields{};
    ::localtime_r(&now.tv_sec, &fields);
    *lpSystemTime = {
        static_cast<WORD>(fields.tm_year + 1900), static_cast<WORD>(fields.tm_mon + 1),
        static_cast<WORD>(fields.tm_wday),        static_cast<WORD>(fields.tm_mday),
        static_cast<WORD>(fields.tm_hour),        static_cast<WORD>(fields.tm_min),
        static_cast<WORD>(fields.tm_sec),         static_cast<WORD>(now.tv_nsec / 1000000)};
}
