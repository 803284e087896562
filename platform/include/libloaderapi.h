// Modules. Loading comes with the COM layer; the file name of the process
// image and of loaded modules is known here.
#pragma once

#include "windef.h"

WINBASEAPI DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
