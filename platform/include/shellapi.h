// Starting programs and opening documents through the shell.
#pragma once

#include "windef.h"

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

SHSTDAPI HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile,
                                        LPCWSTR lpParameters, LPCWSTR lpDirectory, INT nShowCmd);
#define ShellExecute ShellExecuteW
