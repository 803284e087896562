// Extended MAPI's entry points, found in Outlook's MAPI library at run time by
// CMapiHelper::LoadFunctions and used by everything here that calls MAPI. They
// stay valid until CMapiHelper::Logoff frees the library.
#pragma once

#include <mapix.h>
#include <mapiutil.h>

// The SDK declares the utility functions, not types for pointers to them.
using HrQueryAllRowsFunction = decltype(&HrQueryAllRows);
using HrThisThreadAdviseSinkFunction = decltype(&HrThisThreadAdviseSink);
using HrGetOnePropFunction = decltype(&HrGetOneProp);
using HrSetOnePropFunction = decltype(&HrSetOneProp);

extern LPMAPILOGONEX pfnMAPILogonEx;
extern LPMAPIINITIALIZE pfnMAPIInitialize;
extern LPMAPIUNINITIALIZE pfnMAPIUninitialize;
extern LPMAPIALLOCATEBUFFER pfnMAPIAllocateBuffer;
extern LPMAPIFREEBUFFER pfnMAPIFreeBuffer;
extern HrQueryAllRowsFunction pfnHrQueryAllRows;
extern HrThisThreadAdviseSinkFunction pfnHrThisThreadAdviseSink;
extern HrGetOnePropFunction pfnHrGetOneProp;
extern HrSetOnePropFunction pfnHrSetOneProp;

// The loaded library, and whether all nine entry points were found in it.
extern HMODULE g_hMapiLibrary;
extern bool g_isMapiLoaded;

// Frees what MAPI allocated; nothing for a null pointer or without the library.
void FreeMapiBuffer(void* buffer);

// A fresh MAPI buffer holding `size` bytes of `source` (left as allocated when
// `source` is null); null when the size is 0, the library is not loaded or
// the allocation fails. Freed with FreeMapiBuffer.
void* CopyToMapiBuffer(ULONG size, const void* source);
