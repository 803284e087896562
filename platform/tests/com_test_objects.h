// The objects and interfaces of the COM types' tests.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <comdef.h>
#include <interface_uuid.h>

namespace widgets {
// An interface declared the way other headers declare theirs, in a
// namespace of its own.
struct IWidget : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Spin() = 0;
};
BV_DECLARE_UUID(IWidget, "6f1a2b3c-4d5e-4f60-8172-8394a5b6c7d8")
_COM_SMARTPTR_TYPEDEF(IWidget, __uuidof(IWidget));
}  // namespace widgets

namespace {

// A COM object whose references the tests count. It lives on the test's
// stack, so its last Release does not delete it.

class CountedObject final : public IDispatch, public ISupportErrorInfo {
  public:
    LONG references = 1;
    bool offersSupportErrorInfo = true;
    IID interfaceWithErrorInfo = GUID_NULL;
    HRESULT otherInterfaceResult = E_NOINTERFACE;
    LONG valueProperty = 42;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
        } else if (riid == IID_ISupportErrorInfo && offersSupportErrorInfo) {
            *ppv = static_cast<ISupportErrorInfo*>(this);
        } else {
            return otherInterfaceResult;
        }
        ++references;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_I4;
        result->lVal = valueProperty;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == interfaceWithErrorInfo ? S_OK : S_FALSE;
    }
};

}  // namespace
