// The utility object, "BVOLTOOL.BVMAPIUtils": the name of the mail profile in
// use, and the source of the library's new-mail event. It lives in the
// apartment that created it (Outlook's user-interface thread).
//
// The profile in use is MAPI's default profile, named in the mail
// subsystem's profile key of the current user. The new-mail event is raised
// when mail is delivered into one of the current profile's stores (those it
// has when the object is made): the store's notification, which comes on
// whichever thread delivered, is queued and a message posted to a hidden
// window of the object's thread, and the event fires when that thread pumps.
#include <atlconnect.h>
#include <bvoltool.h>
#include <winreg.h>

#include <mailstore/model.h>

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "safeitem/property_variant.h"
#include "safeitem/new_mail_item.h"
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

// New mail waiting for the object's thread: filled by the store
// notifications on any thread, emptied by the hidden window.
struct NewMailQueue {
    static constexpr UINT kNewMail = WM_APP + 0x4256;

    std::mutex lock;
    HWND window = nullptr;  // null once the object is going
    std::deque<std::wstring> entryIds;

    void Add(const mailstore::EntryId& id) {
        std::lock_guard guard(lock);
        if (!window)
            return;
        entryIds.push_back(mailstore::EntryIdToHex(id));
        PostMessageW(window, kNewMail, 0, 0);
    }
    bool Take(std::wstring& entryId) {
        std::lock_guard guard(lock);
        if (entryIds.empty())
            return false;
        entryId = std::move(entryIds.front());
        entryIds.pop_front();
        return true;
    }
};

// The hidden windows' class, registered while any utility object lives
// (the module cannot be unloaded under a live object).
class NotifyWindowClass {
  public:
    static constexpr const wchar_t* kName = L"BVMAPIUtilsNotifyWindow";

    static bool Acquire(WNDPROC procedure) {
        std::lock_guard guard(Lock());
        if (Users() == 0) {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = procedure;
            windowClass.hInstance = _AtlBaseModule.GetModuleInstance();
            windowClass.lpszClassName = kName;
            if (!RegisterClassW(&windowClass))
                return false;
        }
        ++Users();
        return true;
    }
    static void Release() {
        std::lock_guard guard(Lock());
        if (--Users() == 0)
            UnregisterClassW(kName, _AtlBaseModule.GetModuleInstance());
    }

  private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static int& Users() {
        static int users = 0;
        return users;
    }
};

constexpr platform::calls::ComObject kMapiUtils{L"BVMAPIUtils", nullptr, &CLSID_BVMAPIUtils,
                                                &__uuidof(bvoltool::IBVMAPIUtils)};

class ATL_NO_VTABLE CBVMAPIUtils
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CBVMAPIUtils, &CLSID_BVMAPIUtils>,
      public standins::CMemberlessDispatch<bvoltool::IBVMAPIUtils>,
      public IConnectionPointContainerImpl<CBVMAPIUtils>,
      public IConnectionPointImpl<CBVMAPIUtils, &DIID_IBVMAPIUtilsEvents>,
      public standins::CErrorInfoSupport<&__uuidof(bvoltool::IBVMAPIUtils)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_BVMAPIUTILS)
    DECLARE_NOT_AGGREGATABLE(CBVMAPIUtils)

    BEGIN_COM_MAP(CBVMAPIUtils)
    COM_INTERFACE_ENTRY(bvoltool::IBVMAPIUtils)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(CBVMAPIUtils)
    CONNECTION_POINT_ENTRY(DIID_IBVMAPIUtilsEvents)
    END_CONNECTION_POINT_MAP()

    // Nothing is kept between calls.
    STDMETHOD(Cleanup)() override {
        return platform::calls::EnterComMember(kMapiUtils, L"Cleanup");
    }

    HRESULT FinalConstruct() {
        if (!NotifyWindowClass::Acquire(&CBVMAPIUtils::WindowProc))
            return HRESULT_FROM_WIN32(GetLastError());
        m_window = CreateWindowExW(0, NotifyWindowClass::kName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, _AtlBaseModule.GetModuleInstance(), nullptr);
        if (!m_window) {
            const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
            NotifyWindowClass::Release();
            return hr;
        }
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_queue->window = m_window;
        WatchNewMail();
        return S_OK;
    }

    void FinalRelease() {
        for (auto& [store, connection] : m_watched)
            if (const mailstore::StorePtr held = store.lock())
                held->Unadvise(connection);
        m_watched.clear();
        if (!m_window)
            return;
        {
            std::lock_guard guard(m_queue->lock);
            m_queue->window = nullptr;
        }
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
        m_window = nullptr;
        NotifyWindowClass::Release();
    }

    STDMETHOD(get_CurrentProfileName)(BSTR* name) override {
        if (HRESULT hr = platform::calls::EnterComMember(kMapiUtils, L"CurrentProfileName", name);
            FAILED(hr))
            return hr;
        if (!name)
            return E_POINTER;
        const std::wstring profile = DefaultProfileName();
        *name = safeitem::Text(profile);
        return *name ? S_OK : E_OUTOFMEMORY;
    }

  private:
    void WatchNewMail() {
        const mailstore::ProfilePtr profile = mailstore::Model::Process().CurrentProfile();
        if (!profile)
            return;
        for (const mailstore::StorePtr& store : profile->Stores()) {
            std::shared_ptr<NewMailQueue> queue = m_queue;
            const std::uint32_t connection =
                store->Advise(mailstore::kEventNewMail,
                              [queue](const mailstore::Notification& n) { queue->Add(n.entryId); });
            m_watched.emplace_back(store, connection);
        }
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != NewMailQueue::kNewMail)
            return DefWindowProcW(window, message, wParam, lParam);
        if (auto* self = reinterpret_cast<CBVMAPIUtils*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            self->RaiseNewMail();
        return 0;
    }

    // One event per queued message; a sink may release this object from
    // inside its handler, so the object holds itself meanwhile.
    void RaiseNewMail() {
        CComPtr<bvoltool::IBVMAPIUtils> self(this);
        std::wstring entryId;
        while (m_window && m_queue->Take(entryId)) {
            CComPtr<IDispatch> item;
            if (SUCCEEDED(safeitem::CreateNewMailItem(entryId, &item)))
                FireEvent(1, static_cast<IDispatch*>(item));
        }
    }

    HWND m_window = nullptr;
    std::shared_ptr<NewMailQueue> m_queue = std::make_shared<NewMailQueue>();
    std::vector<std::pair<std::weak_ptr<mailstore::Store>, std::uint32_t>> m_watched;
};

OBJECT_ENTRY_AUTO(CLSID_BVMAPIUtils, CBVMAPIUtils)

}  // namespace
