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
        present_ = text != nullptr;
        text_ = present_ ? text : L"";
    }
    HRESULT CopyTo(BSTR* out) const {
        if (out == nullptr)
            return E_INVALIDARG;
        *out =
            present_ ? SysAllocStringLen(text_.data(), static_cast<UINT>(text_.size())) : nullptr;
        return (present_ && *out == nullptr) ? E_OUTOFMEMORY : S_OK;
    }

  private:
    bool present_ = false;
    std::wstring text_;
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
        guid_ = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Store(source_, text); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override {
        return Store(description_, text);
    }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return Store(helpFile_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override {
        helpContext_ = context;
        return S_OK;
    }

    // IErrorInfo
    HRESULT STDMETHODCALLTYPE GetGUID(GUID* out) override {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return source_.CopyTo(out); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override {
        return description_.CopyTo(out);
    }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return helpFile_.CopyTo(out); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = helpContext_;
        return S_OK;
    }

  private:
    static HRESULT Store(OptionalText& field, LPCOLESTR text) {
        field.Set(text);
        return S_OK;
    }

    GUID guid_{};
    OptionalText source_;
    OptionalText description_;
    OptionalText helpFile_;
    DWORD helpContext_ = 0;
};

// The calling thread's error object; its reference is released when the
// thread ends.
class ThreadErrorSlot {
  public:
    ~ThreadErrorSlot() { Replace(nullptr); }
    void Replace(IErrorInfo* info) {
        if (current_ != nullptr)
            current_->Release();
        current_ = info;
    }
    IErrorInfo* Take() {
        IErrorInfo* info = current_;
        current_ = nullptr;
        return info;
    }

  private:
    IErrorInfo* current_ = nullptr;
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
