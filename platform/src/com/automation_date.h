// Automation dates (days since 30 December 1899, the fraction giving the
// time of day) to and from calendar parts, and their US English text.
#pragma once

#include <oleauto.h>

#include <optional>
#include <string>

namespace platform::com {

struct CalendarTime {
    int year, month, day, hour, minute, second;
};

// Automation dates lie after 31 December 99 and before 1 January 10000.
inline constexpr DATE kDateBeforeFirst = -657435.0;
inline constexpr DATE kDateAfterLast = 2958466.0;

// Nothing when the date lies outside the automation range.
std::optional<CalendarTime> SplitDate(DATE date);
// Nothing when a part is out of range.
std::optional<DATE> JoinDate(const CalendarTime& parts);

// "3/4/2007 9:05:04 AM"; the date is left out on 30 December 1899 and the
// time at midnight (unless both are, which gives "12:00:00 AM").
std::wstring FormatDate(const CalendarTime& parts);
// Reads "M/D/YYYY", "M/D/YY", "YYYY-MM-DD", each optionally followed by a
// time, or a time alone ("H:MM", "H:MM:SS", optionally "AM"/"PM").
std::optional<DATE> ParseDate(const std::wstring& text);

}  // namespace platform::com
