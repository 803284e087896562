// The C runtime's seconds since 1970, on the platform clock.
#include <time.h>

#include "time/clock.h"

namespace {

// Milliseconds from 1601-01-01 to 1970-01-01.
constexpr LONGLONG kUnixEpochMs = 11644473600000LL;

__time64_t SecondsSince1970() {
    return (platform::clock::SystemMs() - kUnixEpochMs) / 1000;
}

}  // namespace

extern "C" __time64_t _time64(__time64_t* destTime) {
    __time64_t now = SecondsSince1970();
    if (destTime)
        *destTime = now;
    return now;
}

extern "C" __time32_t _time32(__time32_t* destTime) {
    __time32_t now = static_cast<__time32_t>(SecondsSince1970());
    if (destTime)
        *destTime = now;
    return now;
}
