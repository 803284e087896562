// Dates of the proleptic Gregorian calendar as a count of days, the common
// ground of file times and automation dates.
#pragma once

#include <windef.h>

#include <cstdint>

namespace platform::time_conv {

struct CivilDate {
    int year;
    int month;  // 1-12
    int day;    // 1-31
};

// Days from 1 January 1970 to the date; day may run past the month's end
// (or be 0) and the count carries on into the next (or previous) month.
int64_t DaysFromCivil(int year, int month, int day);
CivilDate CivilFromDays(int64_t days);
int DaysInMonth(int year, int month);
// 0 for Sunday, as SYSTEMTIME's wDayOfWeek.
WORD DayOfWeek(int64_t days);

constexpr int64_t kSecondsPerDay = 86400;

// A year of two digits (0-99) in the century Windows puts it by default:
// 00-29 in this one, 30-99 in the last.
constexpr int FullYearOfTwoDigits(int year) {
    return year < 30 ? 2000 + year : 1900 + year;
}

// Fills the date fields and wDayOfWeek of `st` from a day count, and the
// time fields from the seconds within that day.
void FillSystemTime(int64_t days, int64_t secondOfDay, WORD milliseconds, SYSTEMTIME& st);

}  // namespace platform::time_conv
