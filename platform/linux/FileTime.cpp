// File times: setting them on a handle, and the conversions between UTC file times, local
// file times, calendar fields and the packed DOS form.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "platform/linux/ErrnoMap.h"
#include "platform/linux/FileObject.h"
#include "platform/linux/FileTimes.h"

#include <cerrno>
#include <ctime>
#include <sys/stat.h>

using namespace orvane::platform;

namespace {

BOOL Invalid() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

bool ToCalendar(long long ticks, std::tm& fields) {
    if (ticks < 0) {
        return false;
    }
    const time_t seconds = static_cast<time_t>(ticks / TicksPerSecond - EpochDifference);
    return ::gmtime_r(&seconds, &fields) != nullptr;
}

} // namespace

BOOL SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                 const FILETIME* lpLastWriteTime) {
    auto* file = Lookup<TFileObject>(hFile);
    if (file == nullptr) {
        return FALSE;
    }
    (void)lpCreationTime; // Linux keeps no settable creation time
    timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    if (lpLastAccessTime != nullptr) {
        times[0] = TimespecOfFileTime(*lpLastAccessTime);
    }
    if (lpLastWriteTime != nullptr) {
        times[1] = TimespecOfFileTime(*lpLastWriteTime);
    }
    return OsCalls().futimens(file->fd, times) == 0 ? TRUE : FailWithErrno(errno);
}

BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, FILETIME* lpLocalFileTime) {
    std::tm fields{};
    const long long ticks = FileTimeTicks(*lpFileTime);
    const time_t seconds = static_cast<time_t>(ticks / TicksPerSecond - EpochDifference);
    if (ticks < 0 || ::localtime_r(&seconds, &fields) == nullptr) {
        return Invalid();
    }
    *lpLocalFileTime = FileTimeOfTicks(ticks + fields.tm_gmtoff * TicksPerSecond);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, FILETIME* lpFileTime) {
    std::tm fields{};
    const long long ticks = FileTimeTicks(*lpLocalFileTime);
    if (!ToCalendar(ticks, fields)) {
        return Invalid();
    }
    fields.tm_isdst = -1;
    const time_t utc = ::mktime(&fields);
    if (utc == static_cast<time_t>(-1)) {
        return Invalid();
    }
    *lpFileTime =
        FileTimeOfTicks((utc + EpochDifference) * TicksPerSecond + ticks % TicksPerSecond);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, SYSTEMTIME* lpSystemTime) {
    std::tm fields{};
    const long long ticks = FileTimeTicks(*lpFileTime);
    if (!ToCalendar(ticks, fields)) {
        return Invalid();
    }
    *lpSystemTime = {static_cast<WORD>(fields.tm_year + 1900),
                     static_cast<WORD>(fields.tm_mon + 1),
                     static_cast<WORD>(fields.tm_wday),
                     static_cast<WORD>(fields.tm_mday),
                     static_cast<WORD>(fields.tm_hour),
                     static_cast<WORD>(fields.tm_min),
                     static_cast<WORD>(fields.tm_sec),
                     static_cast<WORD>(ticks % TicksPerSecond / 10000)};
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, FILETIME* lpFileTime) {
    const SYSTEMTIME& t = *lpSystemTime;
    if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
        t.wDay > 31 || t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 || t.wMilliseconds > 999) {
        return Invalid();
    }
    std::tm fields{};
    fields.tm_year = t.wYear - 1900;
    fields.tm_mon = t.wMonth - 1;
    fields.tm_mday = t.wDay;
    fields.tm_hour = t.wHour;
    fields.tm_min = t.wMinute;
    fields.tm_sec = t.wSecond;
    const time_t seconds = ::timegm(&fields);
    if (fields.tm_mday != t.wDay) {
        return Invalid(); // 31 April and the like
    }
    *lpFileTime =
        FileTimeOfTicks((seconds + EpochDifference) * TicksPerSecond + t.wMilliseconds * 10000LL);
    return TRUE;
}

BOOL FileTimeToDosDateTime(const FILETIME* lpFileTime, WORD* lpFatDate, WORD* lpFatTime) {
    std::tm fields{};
    if (!ToCalendar(FileTimeTicks(*lpFileTime), fields) || fields.tm_year < 80 ||
        fields.tm_year > 207) {
        return Invalid();
    }
    *lpFatDate =
        static_cast<WORD>((fields.tm_year - 80) << 9 | (fields.tm_mon + 1) << 5 | fields.tm_mday);
    *lpFatTime = static_cast<WORD>(fields.tm_hour << 11 | fields.tm_min << 5 | fields.tm_sec / 2);
    return TRUE;
}

BOOL DosDateTimeToFileTime(WORD wFatDate, WORD wFatTime, FILETIME* lpFileTime) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(1980 + (wFatDate >> 9));
    t.wMonth = static_cast<WORD>((wFatDate >> 5) & 15);
    t.wDay = static_cast<WORD>(wFatDate & 31);
    t.wHour = static_cast<WORD>(wFatTime >> 11);
    t.wMinute = static_cast<WORD>((wFatTime >> 5) & 63);
    t.wSecond = static_cast<WORD>((wFatTime & 31) * 2);
    return SystemTimeToFileTime(&t, lpFileTime);
}
