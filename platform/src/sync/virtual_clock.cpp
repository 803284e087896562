// The host's controls of the clock: switching modes, advancing virtual time.
// They live beside the waiting core because a change of time and the waiters'
// deadlines must move together under its lock.
#include "platform/clock.h"

#include "sync/wait.h"
#include "time/calendar.h"
#include "time/clock.h"

#include <algorithm>

namespace platform::host {

void UseVirtualClock(const SYSTEMTIME& startUtc, ULONGLONG startTick) {
    auto lock = sync::LockScheduler();
    clock::SwitchToVirtual(calendar::ToMs(startUtc), startTick);
    sync::RecheckDeadlines();
}

void UseRealClock() {
    auto lock = sync::LockScheduler();
    clock::SwitchToReal();
    sync::RecheckDeadlines();
}

bool IsVirtualClock() {
    return clock::IsVirtual();
}

void AdvanceClock(ULONGLONG ms) {
    sync::AdvanceVirtualTime(ms);
}

void AdvanceWaitsForThisThread() {
    auto lock = sync::LockScheduler();
    sync::SettleLikeAPlatformThread();
}

void AdvanceWhenAllWait(bool on) {
    auto lock = sync::LockScheduler();
    sync::PassTimeWhenAllWait(on);
}

std::optional<ULONGLONG> NextDeadline() {
    auto lock = sync::LockScheduler();
    ULONGLONG earliest = sync::EarliestDeadline();
    if (earliest == sync::kNoDeadline)
        return std::nullopt;
    return earliest - std::min(earliest, clock::Tick());
}

SYSTEMTIME CurrentSystemTime() {
    return calendar::FromMs(clock::SystemMs());
}

void SetTimeZoneOffset(LONG minutesEastOfUtc) {
    clock::SetTimeZoneOffset(minutesEastOfUtc);
}

}  // namespace platform::host
