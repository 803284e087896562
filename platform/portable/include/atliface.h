// The registrar: applies registry scripts for a COM server's registration and
// unregistration, with %NAME% replacements given by the caller.
#pragma once

#include "windef.h"
#include "unknwn.h"
#include "interface_uuid.h"

struct IRegistrarBase : public IUnknown {
    // Adds (or, for a name already given, replaces) the text that %Key%
    // stands for; names are compared ignoring case.
    virtual HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR Key, LPCOLESTR item) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearReplacements() = 0;
};
BV_DECLARE_UUID(IRegistrarBase, "E21F8A85-B05D-4243-8183-C7CB405588F7")

struct IRegistrar : public IRegistrarBase {
    virtual HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR resFileName, LPCOLESTR szID,
                                                         LPCOLESTR szType) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR resFileName, LPCOLESTR szID,
                                                           LPCOLESTR szType) = 0;
    virtual HRESULT STDMETHODCALLTYPE FileRegister(LPCOLESTR fileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE FileUnregister(LPCOLESTR fileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE StringRegister(LPCOLESTR data) = 0;
    virtual HRESULT STDMETHODCALLTYPE StringUnregister(LPCOLESTR data) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR resFileName, UINT nID,
                                                       LPCOLESTR szType) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR resFileName, UINT nID,
                                                         LPCOLESTR szType) = 0;
};
BV_DECLARE_UUID(IRegistrar, "44EC053B-400F-11D0-9DCD-00A0C90391D3")

// The registrar's class, for a class factory that hands it out.
struct Registrar;
BV_DECLARE_UUID(Registrar, "44EC053A-400F-11D0-9DCD-00A0C90391D3")

inline constexpr IID IID_IRegistrarBase = __uuidof(IRegistrarBase);
inline constexpr IID IID_IRegistrar = __uuidof(IRegistrar);
inline constexpr CLSID CLSID_Registrar = __uuidof(Registrar);

// Creates a registrar object of the platform with one reference and an empty
// replacement map. It stands where a module would otherwise create the
// registrar class or link one in statically.
STDAPI BvCreateRegistrar(IRegistrar** ppRegistrar);
