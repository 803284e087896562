// What the entries of every worker share: both run inside the entry guard
// (see addin/crash/entry_guard.h), and closing the handle that leaves the
// wait list is the same for all of them.
#pragma once

#include <windows.h>

#include "addin/crash/entry_guard.h"

// Closes the handle; S_OK, or the system's error as a result code.
HRESULT CloseWorkerHandle(HANDLE handle);
