// Conversions between FILETIME (100 ns since 1601, UTC) and POSIX times.
#pragma once

#include "platform/Win32.h"

#include <ctime>

namespace orvane::platform {

// Seconds from 1 January 1601 to 1 January 1970.
inline constexpr long long EpochDifference = 11644473600LL;
inline constexpr long long TicksPerSecond = 10000000LL;

inline long long FileTimeTicks(const FILETIME& time) {
    return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                  time.dwLowDateTime);
}

inline FILETIME FileTimeOfTicks(long long ticks) {
    const auto value = static_cast<unsigned long long>(ticks);
    return {static_cast<DWORD>(value & 0xFFFFFFFF), static_cast<DWORD>(value >> 32)};
}

inline FILETIME FileTimeOfTimespec(const timespec& time) {
    return FileTimeOfTicks((time.tv_sec + EpochDifference) * TicksPerSecond + time.tv_nsec / 100);
}

inline timespec TimespecOfFileTime(const FILETIME& time) {
    const long long ticks = FileTimeTicks(time);
    return {static_cast<time_t>(ticks / TicksPerSecond - EpochDifference),
            static_cast<long>(ticks % TicksPerSecond * 100)};
}

} // namespace orvane::platform
