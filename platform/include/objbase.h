// The COM library: task memory, identifiers as text, object creation.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "basetyps.h"
#include "wtypes.h"
#include "unknwn.h"
#include "objidl.h"
#include "oaidl.h"

WINBASEAPI LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
WINBASEAPI LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
WINBASEAPI void WINAPI CoTaskMemFree(LPVOID pv);

// Identifiers in their braced text form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#define CHARS_IN_GUID 39
WINBASEAPI int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
WINOLEAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
WINOLEAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
WINOLEAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
WINOLEAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);

// Provided by the COM runtime (class registrations and the registry).
WINOLEAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                           LPVOID* ppv);
