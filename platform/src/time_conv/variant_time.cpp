// Automation dates: days since 30 December 1899 as a double, the fraction
// being the time of day. Before that day the fraction still runs forward
// from midnight: -1.25 is 29 December 1899, 06:00. The time resolves to one
// second; years run from 100 to 9999.
#include "time_conv/civil_date.h"

#include <oleauto.h>

#include <cmath>

namespace {

using namespace platform::time_conv;

constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;

int64_t VariantEpoch() {
    return DaysFromCivil(1899, 12, 30);
}

bool TimeOfDayValid(const SYSTEMTIME& st) {
    return st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60;
}

}  // namespace

// A day past the month's end moves into the next month and day 0 is the last
// day of the month before, as Windows accepts them; a day above 31 or a bad
// month fails. A year below 100 has two digits, as in text ("90" is 1990).
// Milliseconds are ignored.
extern "C" INT WINAPI SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime) {
    if (lpSystemTime == nullptr || pvtime == nullptr) {
        return FALSE;
    }
    const SYSTEMTIME& st = *lpSystemTime;
    const int year = st.wYear < kFirstYear ? FullYearOfTwoDigits(st.wYear) : st.wYear;
    if (year > kLastYear || st.wMonth < 1 || st.wMonth > 12 || st.wDay > 31 ||
        !TimeOfDayValid(st)) {
        return FALSE;
    }
    const int64_t days = DaysFromCivil(year, st.wMonth, 1) + st.wDay - 1 - VariantEpoch();
    const double fraction =
        static_cast<double>(st.wHour * 3600 + st.wMinute * 60 + st.wSecond) / kSecondsPerDay;
    const auto whole = static_cast<double>(days);
    *pvtime = days < 0 ? whole - fraction : whole + fraction;
    return TRUE;
}

// The time is rounded to the nearest second (half a second rounds up, and
// may carry into the next day); wMilliseconds is 0.
extern "C" INT WINAPI VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime == nullptr || !std::isfinite(vtime)) {
        return FALSE;
    }
    const double firstDay = static_cast<double>(DaysFromCivil(kFirstYear, 1, 1) - VariantEpoch());
    const double dayAfterLast =
        static_cast<double>(DaysFromCivil(kLastYear + 1, 1, 1) - VariantEpoch());
    if (vtime < firstDay || vtime >= dayAfterLast) {
        return FALSE;
    }
    const double whole = std::trunc(vtime);
    int64_t days = static_cast<int64_t>(whole) + VariantEpoch();
    int64_t seconds = std::llround(std::fabs(vtime - whole) * kSecondsPerDay);
    if (seconds == kSecondsPerDay) {
        ++days;
        seconds = 0;
    }
    if (CivilFromDays(days).year > kLastYear) {
        return FALSE;
    }
    FillSystemTime(days, seconds, 0, *lpSystemTime);
    return TRUE;
}
