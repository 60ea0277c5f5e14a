// The local day-count clock.
#include "bench/Clock.h"

#include "platform/Win32.h"

namespace orvane {

double Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return EncodeDateTime(
        {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds});
}

} // namespace orvane
