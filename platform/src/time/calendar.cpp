#include "time/calendar.h"

#include <chrono>

namespace platform::calendar {
namespace {

using Days = std::chrono::sys_days;
constexpr LONGLONG kMsPerDay = 86'400'000;

LONGLONG FloorDiv(LONGLONG value, LONGLONG divisor) {
    LONGLONG quotient = value / divisor;
    return (value % divisor < 0) ? quotient - 1 : quotient;
}

}  // namespace

SYSTEMTIME FromMs(LONGLONG msSince1601) {
    LONGLONG msSinceUnix = msSince1601 - kUnixEpochMs;
    LONGLONG day = FloorDiv(msSinceUnix, kMsPerDay);
    LONGLONG msOfDay = msSinceUnix - day * kMsPerDay;
    Days days{std::chrono::days{day}};
    std::chrono::year_month_day date{days};
    SYSTEMTIME out{};
    out.wYear = static_cast<WORD>(static_cast<int>(date.year()));
    out.wMonth = static_cast<WORD>(static_cast<unsigned>(date.month()));
    out.wDay = static_cast<WORD>(static_cast<unsigned>(date.day()));
    out.wDayOfWeek = static_cast<WORD>(std::chrono::weekday{days}.c_encoding());
    out.wHour = static_cast<WORD>(msOfDay / 3'600'000);
    out.wMinute = static_cast<WORD>(msOfDay / 60'000 % 60);
    out.wSecond = static_cast<WORD>(msOfDay / 1000 % 60);
    out.wMilliseconds = static_cast<WORD>(msOfDay % 1000);
    return out;
}

LONGLONG ToMs(const SYSTEMTIME& time) {
    // The day of the week is ignored, as SystemTimeToFileTime does.
    std::chrono::year_month_day date{std::chrono::year{time.wYear}, std::chrono::month{time.wMonth},
                                     std::chrono::day{time.wDay}};
    LONGLONG day = Days{date}.time_since_epoch().count();
    LONGLONG msOfDay = ((LONGLONG{time.wHour} * 60 + time.wMinute) * 60 + time.wSecond) * 1000 +
                       time.wMilliseconds;
    return kUnixEpochMs + day * kMsPerDay + msOfDay;
}

}  // namespace platform::calendar
