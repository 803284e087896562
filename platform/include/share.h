// Sharing modes of the C runtime's _fsopen family, and _wfsopen itself (which
// Windows declares in <stdio.h>). A stream opened in text mode writes each
// "\n" as CR LF on disk and reads CR LF back as "\n".
#pragma once

#include <cstdio>

#include "windef.h"

#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40
#define _SH_SECURE 0x80

WINBASEAPI FILE* _wfsopen(const wchar_t* filename, const wchar_t* mode, int shflag);
