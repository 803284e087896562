// Conversions between SYSTEMTIME and a count of milliseconds since
// 1 January 1601 (UTC), the epoch of FILETIME.
#pragma once

#include <windef.h>

namespace platform::calendar {

// Milliseconds from 1601-01-01 to 1970-01-01.
constexpr LONGLONG kUnixEpochMs = 11644473600000LL;

SYSTEMTIME FromMs(LONGLONG msSince1601);
LONGLONG ToMs(const SYSTEMTIME& time);

}  // namespace platform::calendar
