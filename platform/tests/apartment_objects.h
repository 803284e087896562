// Objects for the tests of calls between apartments: an automation object
// that tells which thread runs its calls, with a custom interface besides.
#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <platform/ref_counted.h>
#include <windows.h>

#include <atomic>
#include <cwchar>

struct ICustom : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Twice(LONG value, LONG* result) = 0;
    // A new object made on the thread that runs the call.
    virtual HRESULT STDMETHODCALLTYPE Partner(IDispatch** partner) = 0;
    // The thread that runs a call of `other`'s "ThreadId", made from inside this call.
    virtual HRESULT STDMETHODCALLTYPE Visit(IDispatch* other, LONG* threadId) = 0;
};
BV_DECLARE_UUID(ICustom, "3F0C9A41-6B2D-4E8F-A1C3-5D7E9F0B2C4A")

constexpr DISPID kThreadIdMember = 1;

// Invokes the "ThreadId" property of any automation object.
inline LONG ThreadIdOf(IDispatch* object, HRESULT* result = nullptr) {
    VARIANT value;
    VariantInit(&value);
    DISPPARAMS none{};
    const HRESULT invoked = object->Invoke(kThreadIdMember, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                           &none, &value, nullptr, nullptr);
    if (result)
        *result = invoked;
    return SUCCEEDED(invoked) ? V_I4(&value) : 0;
}

class ThreadReporter final : public platform::com::RefCounted<IDispatch, ICustom> {
  public:
    // Where the object notes the thread of its last release.
    explicit ThreadReporter(std::atomic<DWORD>* releasedOn = nullptr, bool freeThreaded = false)
        : m_releasedOn(releasedOn) {
        if (freeThreaded)
            CoCreateFreeThreadedMarshaler(static_cast<IDispatch*>(this), &m_marshaler);
    }
    // Runs on the thread of the last release.
    ~ThreadReporter() override {
        if (m_releasedOn)
            *m_releasedOn = GetCurrentThreadId();
        if (m_marshaler)
            m_marshaler->Release();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch)
            *object = static_cast<IDispatch*>(this);
        else if (iid == __uuidof(ICustom))
            *object = static_cast<ICustom*>(this);
        else if (iid == IID_IMarshal && m_marshaler)
            return m_marshaler->QueryInterface(iid, object);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (std::wcscmp(names[0], L"ThreadId") != 0)
            return DISP_E_UNKNOWNNAME;
        ids[0] = kThreadIdMember;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (member != kThreadIdMember)
            return DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(GetCurrentThreadId());
        return S_OK;
    }

    STDMETHODIMP Twice(LONG value, LONG* result) override {
        *result = 2 * value;
        return S_OK;
    }
    STDMETHODIMP Partner(IDispatch** partner) override {
        *partner = new ThreadReporter(m_releasedOn);
        return S_OK;
    }
    STDMETHODIMP Visit(IDispatch* other, LONG* threadId) override {
        HRESULT result = S_OK;
        *threadId = ThreadIdOf(other, &result);
        return result;
    }

  private:
    std::atomic<DWORD>* m_releasedOn;
    IUnknown* m_marshaler = nullptr;
};
