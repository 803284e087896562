// Error information: an object describing the last error, kept per thread.
// A failing method sets it with SetErrorInfo; its caller takes it with
// GetErrorInfo, which hands the thread's reference over and clears the slot.
#include <oleauto.h>
#include <platform/ref_counted.h>

#include <string>

namespace {

// A text kept by the error object; a null text stays distinct from "" as a
// null BSTR is.
class OptionalText {
  public:
    void Set(LPCOLESTR text) {
        m_present = text != nullptr;
        m_text = m_present ? text : L"";
    }
    HRESULT CopyTo(BSTR* out) const {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = m_present ? SysAllocStringLen(m_text.data(), static_cast<UINT>(m_text.size()))
                         : nullptr;
        return (m_present && *out == nullptr) ? E_OUTOFMEMORY : S_OK;
    }

  private:
    bool m_present = false;
    std::wstring m_text;
};

// Implements both faces of the error object. It deletes itself on its last
// Release, so it is its own owner.
class ErrorInfoObject final : public platform::com::RefCounted<ICreateErrorInfo, IErrorInfo> {
  public:
    // IUnknown (reached through either face)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ICreateErrorInfo) {
            *ppv = static_cast<ICreateErrorInfo*>(this);
        } else if (riid == IID_IErrorInfo) {
            *ppv = static_cast<IErrorInfo*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    // ICreateErrorInfo
    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override {
        m_guid = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Store(m_source, text); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override {
        return Store(m_description, text);
    }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override {
        return Store(m_helpFile, text);
    }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override {
        m_helpContext = context;
        return S_OK;
    }

    // IErrorInfo
    HRESULT STDMETHODCALLTYPE GetGUID(GUID* out) override {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = m_guid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return m_source.CopyTo(out); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override {
        return m_description.CopyTo(out);
    }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return m_helpFile.CopyTo(out); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = m_helpContext;
        return S_OK;
    }

  private:
    static HRESULT Store(OptionalText& field, LPCOLESTR text) {
        field.Set(text);
        return S_OK;
    }

    GUID m_guid{};
    OptionalText m_source;
    OptionalText m_description;
    OptionalText m_helpFile;
    DWORD m_helpContext = 0;
};

// The calling thread's error object; its reference is released when the
// thread ends.
class ThreadErrorSlot {
  public:
    ~ThreadErrorSlot() { Replace(nullptr); }
    void Replace(IErrorInfo* info) {
        if (m_current != nullptr)
            m_current->Release();
        m_current = info;
    }
    IErrorInfo* Take() {
        IErrorInfo* info = m_current;
        m_current = nullptr;
        return info;
    }

  private:
    IErrorInfo* m_current = nullptr;
};

thread_local ThreadErrorSlot threadError;

}  // namespace

extern "C" HRESULT WINAPI SetErrorInfo(ULONG, IErrorInfo* perrinfo) {
    if (perrinfo != nullptr)
        perrinfo->AddRef();
    threadError.Replace(perrinfo);
    return S_OK;
}

extern "C" HRESULT WINAPI GetErrorInfo(ULONG, IErrorInfo** pperrinfo) {
    if (pperrinfo == nullptr)
        return E_INVALIDARG;
    *pperrinfo = threadError.Take();
    return *pperrinfo != nullptr ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
    if (pperrinfo == nullptr)
        return E_INVALIDARG;
    *pperrinfo = new ErrorInfoObject();  // owns itself, see ErrorInfoObject
    return S_OK;
}
