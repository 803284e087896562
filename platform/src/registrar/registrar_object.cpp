// The registrar object: a replacement map and the script entry points. It
// deletes itself on its last Release (it is its own owner).
#include <atliface.h>
#include <errhandlingapi.h>
#include <fileapi.h>
#include <handleapi.h>
#include <winerror.h>

#include "core/ansi.h"
#include "registrar/registry_script.h"
#include "registry/key_name.h"

#include <atomic>
#include <mutex>
#include <new>

namespace platform::registrar {
namespace {

// Closes a file handle when it goes out of scope.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

HRESULT LastErrorResult() {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// A script file is text in the ANSI code page, or UTF-16LE after its
// byte-order mark.
HRESULT ReadScriptFile(LPCOLESTR fileName, std::wstring& text) {
    FileHandle file(CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return LastErrorResult();
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    do {
        if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr))
            return LastErrorResult();
        bytes.append(buffer, read);
    } while (read > 0);
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        text.clear();
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
        return S_OK;
    }
    auto wide = AnsiToWide(bytes.data(), bytes.size());
    if (!wide)
        return DISP_E_EXCEPTION;
    text = std::move(*wide);
    return S_OK;
}

class RegistrarObject final : public IRegistrar {
  public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IRegistrarBase || riid == IID_IRegistrar) {
            *ppv = static_cast<IRegistrar*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // IRegistrarBase
    HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR key, LPCOLESTR item) override {
        if (!key || !item)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        replacements_[registry::FoldName(key)] = item;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ClearReplacements() override {
        std::lock_guard lock(mutex_);
        replacements_.clear();
        return S_OK;
    }

    // IRegistrar
    HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR, LPCOLESTR, LPCOLESTR) override {
        return E_NOTIMPL;  // resources come with the module loader
    }
    HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR, LPCOLESTR, LPCOLESTR) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR, UINT, LPCOLESTR) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR, UINT, LPCOLESTR) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FileRegister(LPCOLESTR fileName) override {
        return RunFile(fileName, true);
    }
    HRESULT STDMETHODCALLTYPE FileUnregister(LPCOLESTR fileName) override {
        return RunFile(fileName, false);
    }
    HRESULT STDMETHODCALLTYPE StringRegister(LPCOLESTR data) override { return Run(data, true); }
    HRESULT STDMETHODCALLTYPE StringUnregister(LPCOLESTR data) override { return Run(data, false); }

  private:
    ~RegistrarObject() = default;

    HRESULT RunFile(LPCOLESTR fileName, bool registering) {
        if (!fileName)
            return E_INVALIDARG;
        std::wstring text;
        if (HRESULT hr = ReadScriptFile(fileName, text); FAILED(hr))
            return hr;
        return Run(text.c_str(), registering);
    }

    // The whole script is read before anything is applied: a script with an
    // error changes nothing and fails as the registrar's parse errors do.
    HRESULT Run(LPCOLESTR data, bool registering) {
        if (!data)
            return E_INVALIDARG;
        Replacements replacements;
        {
            std::lock_guard lock(mutex_);
            replacements = replacements_;
        }
        auto script = ReadScript(data, replacements);
        if (!script)
            return DISP_E_EXCEPTION;
        return registering ? RegisterScript(*script) : UnregisterScript(*script);
    }

    std::atomic<ULONG> references_{1};
    std::mutex mutex_;
    Replacements replacements_;
};

}  // namespace
}  // namespace platform::registrar

STDAPI BvCreateRegistrar(IRegistrar** ppRegistrar) {
    if (!ppRegistrar)
        return E_POINTER;
    *ppRegistrar = new (std::nothrow) platform::registrar::RegistrarObject();
    return *ppRegistrar ? S_OK : E_OUTOFMEMORY;
}
