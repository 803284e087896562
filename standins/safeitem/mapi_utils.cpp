// The utility object, "BVOLTOOL.BVMAPIUtils": the name of the mail profile in
// use, and the source of the library's new-mail event. It lives in the
// apartment that created it (Outlook's user-interface thread).
//
// The profile in use is MAPI's default profile, named in the mail
// subsystem's profile key of the current user. The new-mail event is raised
// when mail is delivered into the store, which arrives with the store model.
#include <atlconnect.h>
#include <bvoltool.h>
#include <winreg.h>

#include <string>

#include "safeitem/resource_ids.h"
#include "server/standin_server.h"

namespace {

constexpr const wchar_t* kProfilesKey =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";

std::wstring DefaultProfileName() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProfilesKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    wchar_t name[256] = {};
    DWORD type = 0;
    DWORD size = sizeof name - sizeof(wchar_t);  // room for the terminator
    const LONG result = RegQueryValueExW(key, L"DefaultProfile", nullptr, &type,
                                         reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return {};
    return name;
}

class ATL_NO_VTABLE CBVMAPIUtils
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CBVMAPIUtils, &CLSID_BVMAPIUtils>,
      public standins::CMemberlessDispatch<bvoltool::IBVMAPIUtils>,
      public IConnectionPointContainerImpl<CBVMAPIUtils>,
      public IConnectionPointImpl<CBVMAPIUtils, &DIID_IBVMAPIUtilsEvents> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_BVMAPIUTILS)
    DECLARE_NOT_AGGREGATABLE(CBVMAPIUtils)

    BEGIN_COM_MAP(CBVMAPIUtils)
    COM_INTERFACE_ENTRY(bvoltool::IBVMAPIUtils)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(CBVMAPIUtils)
    CONNECTION_POINT_ENTRY(DIID_IBVMAPIUtilsEvents)
    END_CONNECTION_POINT_MAP()

    STDMETHOD(Unused7)() override { return E_NOTIMPL; }
    STDMETHOD(Unused8)() override { return E_NOTIMPL; }
    STDMETHOD(Unused9)() override { return E_NOTIMPL; }
    STDMETHOD(Unused10)() override { return E_NOTIMPL; }
    STDMETHOD(Unused11)() override { return E_NOTIMPL; }
    STDMETHOD(Unused12)() override { return E_NOTIMPL; }
    STDMETHOD(Unused13)() override { return E_NOTIMPL; }
    STDMETHOD(Unused14)() override { return E_NOTIMPL; }
    STDMETHOD(Cleanup)() override { return S_OK; }  // nothing is kept between calls
    STDMETHOD(Unused16)() override { return E_NOTIMPL; }
    STDMETHOD(Unused17)() override { return E_NOTIMPL; }
    STDMETHOD(Unused18)() override { return E_NOTIMPL; }
    STDMETHOD(Unused19)() override { return E_NOTIMPL; }
    STDMETHOD(Unused20)() override { return E_NOTIMPL; }
    STDMETHOD(Unused21)() override { return E_NOTIMPL; }
    STDMETHOD(Unused22)() override { return E_NOTIMPL; }

    STDMETHOD(get_CurrentProfileName)(BSTR* name) override {
        if (!name)
            return E_POINTER;
        const std::wstring profile = DefaultProfileName();
        *name = SysAllocStringLen(profile.c_str(), static_cast<UINT>(profile.size()));
        return *name ? S_OK : E_OUTOFMEMORY;
    }
};

OBJECT_ENTRY_AUTO(CLSID_BVMAPIUtils, CBVMAPIUtils)

}  // namespace
