// File times: 100-nanosecond intervals since 1 January 1601 (UTC).
#include "time_conv/civil_date.h"

#include <errhandlingapi.h>
#include <timezoneapi.h>
#include <winerror.h>

namespace {

using namespace platform::time_conv;

constexpr int64_t kTicksPerMillisecond = 10000;
constexpr int64_t kTicksPerSecond = 1000 * kTicksPerMillisecond;
// The last year a SYSTEMTIME may carry into SystemTimeToFileTime.
constexpr int kLastYear = 30827;

int64_t FileTimeEpoch() {
    return DaysFromCivil(1601, 1, 1);
}

bool SystemTimeValid(const SYSTEMTIME& st) {
    return st.wYear >= 1601 && st.wYear <= kLastYear && st.wMonth >= 1 && st.wMonth <= 12 &&
           st.wDay >= 1 && st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour < 24 &&
           st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

}  // namespace

// wDayOfWeek is ignored; any other field out of range fails.
extern "C" BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    if (lpSystemTime == nullptr || lpFileTime == nullptr || !SystemTimeValid(*lpSystemTime)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const SYSTEMTIME& st = *lpSystemTime;
    const int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) - FileTimeEpoch();
    const int64_t seconds = days * kSecondsPerDay + st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
    const auto ticks =
        static_cast<uint64_t>(seconds * kTicksPerSecond + st.wMilliseconds * kTicksPerMillisecond);
    lpFileTime->dwLowDateTime = static_cast<DWORD>(ticks);
    lpFileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return TRUE;
}

// Times with the top bit set are negative to Windows and fail.
extern "C" BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (lpFileTime == nullptr || lpSystemTime == nullptr ||
        (lpFileTime->dwHighDateTime & 0x80000000u) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto ticks = static_cast<int64_t>((uint64_t{lpFileTime->dwHighDateTime} << 32) |
                                            lpFileTime->dwLowDateTime);
    const int64_t seconds = ticks / kTicksPerSecond;
    const auto milliseconds = static_cast<WORD>(ticks % kTicksPerSecond / kTicksPerMillisecond);
    FillSystemTime(FileTimeEpoch() + seconds / kSecondsPerDay, seconds % kSecondsPerDay,
                   milliseconds, *lpSystemTime);
    return TRUE;
}
