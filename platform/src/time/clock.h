// The process's one clock. Real mode reads the host's clocks; virtual mode
// holds a time that only the host's advance moves (see platform/clock.h).
// Everything that reads the time or waits for it goes through here.
#pragma once

#include <windef.h>

#include <chrono>

namespace platform::clock {

bool IsVirtual();

// Milliseconds on the tick timeline: since boot in real mode, from the
// host-given start in virtual mode. GetTickCount is its low 32 bits.
ULONGLONG Tick();

// System time as milliseconds since 1601-01-01 UTC.
LONGLONG SystemMs();

// Local time as milliseconds since 1601-01-01 in the local zone.
LONGLONG LocalMs();

// The real-clock instant at which the real tick count reaches `tick`.
std::chrono::steady_clock::time_point RealInstantOfTick(ULONGLONG tick);

// Mode switches and the virtual time's movement; the wait core calls these
// under its lock, so that the time and the deadlines change together.
void SwitchToVirtual(LONGLONG systemMs, ULONGLONG tick);
void SwitchToReal();
void SetVirtualTick(ULONGLONG tick);
void SetTimeZoneOffset(LONG minutesEastOfUtc);

}  // namespace platform::clock
