// Sharing modes of the C runtime's _fsopen family, and _wfsopen itself (which
// Windows declares in <stdio.h>). A stream opened in text mode writes each
// "\n" as CR LF on disk and reads CR LF back as "\n".
//
// Windows' C runtime lets a stream take narrow and wide output alike, wide
// characters going out through the C locale's conversion. The streams here
// are glibc streams, which take one kind only, so the wide output functions
// are routed below to versions that keep the Windows behaviour.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "windef.h"

#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40
#define _SH_SECURE 0x80

WINBASEAPI FILE* _wfsopen(const wchar_t* filename, const wchar_t* mode, int shflag);

WINBASEAPI int platform_crt_fwprintf(FILE* stream, const wchar_t* format, ...);
WINBASEAPI int platform_crt_vfwprintf(FILE* stream, const wchar_t* format, va_list args);
WINBASEAPI int platform_crt_fputws(const wchar_t* text, FILE* stream);
WINBASEAPI wint_t platform_crt_fputwc(wchar_t c, FILE* stream);

namespace std {
using ::platform_crt_fputwc;
using ::platform_crt_fputws;
using ::platform_crt_fwprintf;
using ::platform_crt_vfwprintf;
}  // namespace std

#define fwprintf platform_crt_fwprintf
#define vfwprintf platform_crt_vfwprintf
#define fputws platform_crt_fputws
#define fputwc platform_crt_fputwc
