// Host-side control of the platform clock and of what the machine reports.
// Not a Windows API: only the simulator and tests call it.
//
// The clock runs in real time by default. In virtual mode time stands still
// until the host advances it; Sleep and every timed wait follow the virtual
// time, so a 10-second wait costs no real time.
#pragma once

#include <windef.h>

#include <optional>

namespace platform::host {

// Switches to virtual time: the system time becomes `startUtc` and the tick
// count `startTick` (GetTickCount shows its low 32 bits). Switch before any
// thread is in a timed wait: a pending deadline keeps the value it had.
void UseVirtualClock(const SYSTEMTIME& startUtc, ULONGLONG startTick = 0);
// Back to the real clock.
void UseRealClock();
bool IsVirtualClock();

// Moves virtual time forward by `ms`. Deadlines that fall inside the interval
// are visited in order: the time is set to each one, its waiters time out (in
// the order they began waiting), and the advance goes on only when the threads
// it woke have settled (see docs/platform/time-and-threads.md). Returns with
// the time at the old time plus `ms`. Does nothing in real mode.
void AdvanceClock(ULONGLONG ms);

// Makes the advance treat the calling thread (one the host started, such as
// the simulator's user-interface thread) like a CreateThread thread: it counts
// as running whenever it is not blocked in a platform wait, so after a wake
// the advance waits until it blocks again or ends, not only until it has
// returned from its wait.
void AdvanceWaitsForThisThread();

// Virtual time that passes by itself (off by default). When on, and every
// thread the advance waits for (CreateThread threads, and host threads that
// called AdvanceWaitsForThisThread) is blocked in a platform wait while some
// thread waits with a deadline, the clock moves to the earliest deadline and
// its waiters time out, exactly as AdvanceClock visits a deadline; the next
// deadline comes only when the threads those woke have settled again. A
// thread blocked outside the platform (a socket read) counts as running and
// holds time still. Never moves time during an explicit AdvanceClock, nor in
// real mode.
void AdvanceWhenAllWait(bool on);

// Milliseconds from now to the earliest deadline of a thread in a timed wait,
// or nothing when no thread waits with a deadline. Virtual mode only.
std::optional<ULONGLONG> NextDeadline();

// The clock's current system time (UTC), in either mode.
SYSTEMTIME CurrentSystemTime();

// Local time in virtual mode is UTC shifted by this many minutes (east of UTC
// positive; 0 by default). Real mode uses the host's own time zone.
void SetTimeZoneOffset(LONG minutesEastOfUtc);

// The processor count GetSystemInfo reports; 0 means the machine's own.
void SetProcessorCount(DWORD count);

}  // namespace platform::host
