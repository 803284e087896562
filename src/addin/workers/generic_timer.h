// A stopwatch over the local time of day: each lap adds the milliseconds since
// the start to a running total.
#pragma once

#include <windows.h>

class CGenericTimer {
  public:
    CGenericTimer() = default;
    virtual ~CGenericTimer() = default;

    // Records the current local time as the start; returns the running total.
    DWORD Start();
    // Adds the time of day elapsed since the start to the running total and
    // returns it. The difference is taken on the time of day alone, as an
    // unsigned 32-bit number, so a lap across midnight wraps.
    DWORD Lap();
    DWORD Total() const { return m_total; }

  private:
    DWORD m_total = 0;
    SYSTEMTIME m_start{};
};
