// The calling thread's last-error code.
#pragma once

#include "windef.h"

WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode);
