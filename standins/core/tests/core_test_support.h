// The core laid down and registered under a test's root, its objects made
// by ProgID as the add-in makes them, and BSTRs that free themselves.
#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <brevint_core.h>

#include "module_files.h"
#include "registry_fixture.h"

#include <string>

class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : m_text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(m_text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    operator BSTR() const { return m_text; }
    BSTR* Out() {
        SysFreeString(m_text);
        m_text = nullptr;
        return &m_text;
    }
    std::wstring Text() const { return m_text ? std::wstring(m_text, SysStringLen(m_text)) : L""; }

  private:
    BSTR m_text = nullptr;
};

// A counted reference to one of the core's interfaces.
template <class Interface>
class Ref {
  public:
    Ref() = default;
    ~Ref() {
        if (m_object)
            m_object->Release();
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Interface* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    void** Out() { return reinterpret_cast<void**>(&m_object); }

  private:
    Interface* m_object = nullptr;
};

class CoreTest : public RegistryTest {
  protected:
    void SetUp() override {
        InstallModule(BV_CORE_MODULE_FILE, kCore);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        HMODULE core = LoadLibraryW(kCore.c_str());
        ASSERT_NE(core, nullptr);
        auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(core, "DllRegisterServer")));
        ASSERT_NE(reg, nullptr);
        ASSERT_EQ(reg(), S_OK);
        FreeLibrary(core);
    }
    void TearDown() override { CoUninitialize(); }

    // The object of a ProgID, asked for its own interface.
    template <class Interface>
    static void Create(const wchar_t* progId, Ref<Interface>& object) {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << "not registered";
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(Interface), object.Out()),
                  S_OK);
    }

    static inline const std::wstring kCore = L"C:\\Program Files\\Brevint\\Core.dll";
};
