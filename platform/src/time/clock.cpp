#include "time/clock.h"

#include "time/calendar.h"

#include <atomic>
#include <ctime>

namespace platform::clock {
namespace {

struct VirtualState {
    std::atomic<bool> on{false};
    std::atomic<ULONGLONG> tick{0};
    // System time minus tick, so that both move together on an advance.
    std::atomic<LONGLONG> systemMinusTick{0};
    std::atomic<LONG> zoneMinutes{0};
};

VirtualState& Virtual() {
    static VirtualState state;  // atomics only: safe to touch at any time
    return state;
}

LONGLONG RealSystemMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return calendar::kUnixEpochMs + LONGLONG{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace

bool IsVirtual() {
    return Virtual().on.load(std::memory_order_acquire);
}

ULONGLONG Tick() {
    if (IsVirtual())
        return Virtual().tick.load(std::memory_order_acquire);
    auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<ULONGLONG>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

LONGLONG SystemMs() {
    if (!IsVirtual())
        return RealSystemMs();
    auto& state = Virtual();
    return state.systemMinusTick.load(std::memory_order_acquire) +
           static_cast<LONGLONG>(state.tick.load(std::memory_order_acquire));
}

LONGLONG LocalMs() {
    if (IsVirtual()) {
        return SystemMs() +
               LONGLONG{Virtual().zoneMinutes.load(std::memory_order_acquire)} * 60'000;
    }
    // The host's zone, with its daylight saving rules, for the current instant.
    LONGLONG utcMs = RealSystemMs();
    time_t seconds = static_cast<time_t>((utcMs - calendar::kUnixEpochMs) / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    return utcMs + LONGLONG{local.tm_gmtoff} * 1000;
}

std::chrono::steady_clock::time_point RealInstantOfTick(ULONGLONG tick) {
    return std::chrono::steady_clock::time_point{
        std::chrono::milliseconds{static_cast<LONGLONG>(tick)}};
}

void SwitchToVirtual(LONGLONG systemMs, ULONGLONG tick) {
    auto& state = Virtual();
    state.tick.store(tick, std::memory_order_release);
    state.systemMinusTick.store(systemMs - static_cast<LONGLONG>(tick), std::memory_order_release);
    state.on.store(true, std::memory_order_release);
}

void SwitchToReal() {
    Virtual().on.store(false, std::memory_order_release);
}

void SetVirtualTick(ULONGLONG tick) {
    Virtual().tick.store(tick, std::memory_order_release);
}

void SetTimeZoneOffset(LONG minutesEastOfUtc) {
    Virtual().zoneMinutes.store(minutesEastOfUtc, std::memory_order_release);
}

}  // namespace platform::clock
