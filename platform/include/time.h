// The C library's <time.h>, with the C runtime's 32-bit time functions that
// Windows code calls. They read the platform clock, so they follow the
// virtual time where the host runs one.
#pragma once

#include_next <time.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int __time32_t;
typedef long long __time64_t;

// Seconds since 1970-01-01 UTC; also stored through `destTime` when given.
__time32_t _time32(__time32_t* destTime);
__time64_t _time64(__time64_t* destTime);

#ifdef __cplusplus
}
#endif
