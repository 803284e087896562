// The registrar object: a replacement map and the script entry points. It
// deletes itself on its last Release (it is its own owner).
#include <atliface.h>
#include <errhandlingapi.h>
#include <winerror.h>
#include <platform/ref_counted.h>

#include "registrar/module_data.h"
#include "registrar/registry_script.h"
#include "registry/key_name.h"

#include <mutex>
#include <new>

namespace platform::registrar {
namespace {

class RegistrarObject final : public com::RefCounted<IRegistrar> {
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

    // IRegistrarBase
    HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR key, LPCOLESTR item) override {
        if (!key || !item)
            return E_INVALIDARG;
        std::lock_guard lock(m_mutex);
        m_replacements[registry::FoldName(key)] = item;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ClearReplacements() override {
        std::lock_guard lock(m_mutex);
        m_replacements.clear();
        return S_OK;
    }

    // IRegistrar
    HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR resFileName, LPCOLESTR szID,
                                                 LPCOLESTR szType) override {
        return RunResource(resFileName, szID, szType, true);
    }
    HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR resFileName, LPCOLESTR szID,
                                                   LPCOLESTR szType) override {
        return RunResource(resFileName, szID, szType, false);
    }
    HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR resFileName, UINT nID,
                                               LPCOLESTR szType) override {
        return RunResource(resFileName, IntegerResource(nID), szType, true);
    }
    HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR resFileName, UINT nID,
                                                 LPCOLESTR szType) override {
        return RunResource(resFileName, IntegerResource(nID), szType, false);
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

    static LPCOLESTR IntegerResource(UINT id) {
        return reinterpret_cast<LPCOLESTR>(static_cast<ULONG_PTR>(static_cast<WORD>(id)));
    }

    HRESULT RunFile(LPCOLESTR fileName, bool registering) {
        if (!fileName)
            return E_INVALIDARG;
        std::string bytes;
        if (HRESULT hr = ReadFileBytes(fileName, bytes); FAILED(hr))
            return hr;
        return RunBytes(bytes, registering);
    }

    HRESULT RunResource(LPCOLESTR fileName, LPCOLESTR id, LPCOLESTR type, bool registering) {
        if (!fileName || !id || !type)
            return E_INVALIDARG;
        std::string bytes;
        if (HRESULT hr = ReadModuleResource(fileName, type, id, bytes); FAILED(hr))
            return hr;
        return RunBytes(bytes, registering);
    }

    HRESULT RunBytes(const std::string& bytes, bool registering) {
        std::wstring text;
        if (!ResourceText(bytes, text))
            return DISP_E_EXCEPTION;
        return Run(text.c_str(), registering);
    }

    // The whole script is read before anything is applied: a script with an
    // error changes nothing and fails as the registrar's parse errors do.
    HRESULT Run(LPCOLESTR data, bool registering) {
        if (!data)
            return E_INVALIDARG;
        Replacements replacements;
        {
            std::lock_guard lock(m_mutex);
            replacements = m_replacements;
        }
        auto script = ReadScript(data, replacements);
        if (!script)
            return DISP_E_EXCEPTION;
        return registering ? RegisterScript(*script) : UnregisterScript(*script);
    }

    std::mutex m_mutex;
    Replacements m_replacements;
};

}  // namespace
}  // namespace platform::registrar

STDAPI BvCreateRegistrar(IRegistrar** ppRegistrar) {
    if (!ppRegistrar)
        return E_POINTER;
    *ppRegistrar = new (std::nothrow) platform::registrar::RegistrarObject();
    return *ppRegistrar ? S_OK : E_OUTOFMEMORY;
}
