// IUnknown and IClassFactory, the roots of every COM object.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "basetyps.h"
#include <interface_uuid.h>

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

    // The typed form Windows' header offers to C++ callers.
    template <class Q>
    HRESULT STDMETHODCALLTYPE QueryInterface(Q** pp) {
        return QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
    }
};
BV_DECLARE_UUID(IUnknown, "00000000-0000-0000-C000-000000000046")
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};
BV_DECLARE_UUID(IClassFactory, "00000001-0000-0000-C000-000000000046")
typedef IClassFactory* LPCLASSFACTORY;

inline constexpr IID IID_IUnknown = __uuidof(IUnknown);
inline constexpr IID IID_IClassFactory = __uuidof(IClassFactory);
inline constexpr GUID GUID_NULL = {};
inline constexpr IID IID_NULL = {};
inline constexpr CLSID CLSID_NULL = {};
