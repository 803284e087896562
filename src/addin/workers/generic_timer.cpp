#include "addin/workers/generic_timer.h"

namespace {

DWORD MillisecondsOfDay(const SYSTEMTIME& time) {
    return ((DWORD{time.wHour} * 60 + time.wMinute) * 60 + time.wSecond) * 1000 +
           time.wMilliseconds;
}

}  // namespace

DWORD CGenericTimer::Start() {
    GetLocalTime(&m_start);
    return m_total;
}

DWORD CGenericTimer::Lap() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    m_total += MillisecondsOfDay(now) - MillisecondsOfDay(m_start);
    return m_total;
}
