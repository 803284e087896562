// Closing kernel object handles (files, events, threads).
#pragma once

#include "windef.h"

WINBASEAPI BOOL WINAPI CloseHandle(HANDLE hObject);
