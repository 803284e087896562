#include "time_conv/civil_date.h"

namespace platform::time_conv {
namespace {

// The calendar repeats every 400 years (146097 days). Counting years from
// March puts the leap day at the end of each year, so the day of a year
// follows from the month by one linear formula.
constexpr int64_t kDaysPerEra = 146097;
constexpr int64_t kYearsPerEra = 400;
// Days from 1 March of year 0 to 1 January 1970.
constexpr int64_t kEraBaseToUnixEpoch = 719468;

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

int DayOfMarchYear(int month) {
    const int monthFromMarch = month > 2 ? month - 3 : month + 9;
    return (153 * monthFromMarch + 2) / 5;
}

}  // namespace

int64_t DaysFromCivil(int year, int month, int day) {
    const int64_t marchYear = month <= 2 ? year - 1 : year;
    const int64_t era = FloorDiv(marchYear, kYearsPerEra);
    const int64_t yearOfEra = marchYear - era * kYearsPerEra;
    const int64_t dayOfEra =
        yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + DayOfMarchYear(month) + day - 1;
    return era * kDaysPerEra + dayOfEra - kEraBaseToUnixEpoch;
}

CivilDate CivilFromDays(int64_t days) {
    const int64_t shifted = days + kEraBaseToUnixEpoch;
    const int64_t era = FloorDiv(shifted, kDaysPerEra);
    const int64_t dayOfEra = shifted - era * kDaysPerEra;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / (kDaysPerEra - 1)) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const int month =
        static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    const int64_t year = yearOfEra + era * kYearsPerEra + (month <= 2 ? 1 : 0);
    return {static_cast<int>(year), month, day};
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

WORD DayOfWeek(int64_t days) {
    constexpr int64_t kThursday = 4;  // 1 January 1970
    return static_cast<WORD>(((days % 7) + 7 + kThursday) % 7);
}

void FillSystemTime(int64_t days, int64_t secondOfDay, WORD milliseconds, SYSTEMTIME& st) {
    const CivilDate date = CivilFromDays(days);
    st.wYear = static_cast<WORD>(date.year);
    st.wMonth = static_cast<WORD>(date.month);
    st.wDay = static_cast<WORD>(date.day);
    st.wDayOfWeek = DayOfWeek(days);
    st.wHour = static_cast<WORD>(secondOfDay / 3600);
    st.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    st.wSecond = static_cast<WORD>(secondOfDay % 60);
    st.wMilliseconds = milliseconds;
}

}  // namespace platform::time_conv
