// The MAPI session helper against Outlook's MAPI as an installation lays it
// down: the library's search, its entry points, the stores of a profile, and
// store notifications on the advising thread.
#include "mailstore/mapi_helper.h"

#include "mailstore/message_codepage.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <string>
#include <vector>

#include "mapiview/installation.h"
#include "mapiview/mapi_view.h"
#include "platform/filesystem.h"
#include "support/log/logger.h"
#include "support/log_files.h"
#include "temp_root.h"
#include "test_thread.h"

namespace {

const mailstore::Bytes kMail = [] {
    const std::string text =
        "From: ann@example.com\r\nTo: jane@example.org\r\nSubject: Offer\r\n\r\nBuy.\r\n";
    return mailstore::Bytes(text.begin(), text.end());
}();

// What the store notifications brought to the helper's sinks.
struct Notified {
    ULONG_PTR window = 0;
    ULONG_PTR storeIndex = 0;
    DWORD thread = 0;
    mailstore::EntryId entryId;
};
std::vector<Notified> g_notified;

ULONG RecordNotification(ULONG count, LPNOTIFICATION notifications, ULONG_PTR window,
                         ULONG_PTR storeIndex) {
    for (ULONG i = 0; i < count; ++i) {
        const NEWMAIL_NOTIFICATION& mail = notifications[i].info.newmail;
        const auto* id = reinterpret_cast<const BYTE*>(mail.lpEntryID);
        g_notified.push_back({window, storeIndex, GetCurrentThreadId(),
                              mailstore::EntryId(id, id + mail.cbEntryID)});
    }
    return 0;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

// An Outlook item as far as the code page functions see it: its MAPIOBJECT
// property, the model's message as MAPI shows it.
class ItemWithMapiObject : public IDispatch {
  public:
    explicit ItemWithMapiObject(mailstore::MessagePtr message) : m_message(std::move(message)) {}
    STDMETHOD(QueryInterface)(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (std::wstring(names[0]) != L"MAPIOBJECT")
            return DISP_E_UNKNOWNNAME;
        ids[0] = 61696;
        return S_OK;
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
     UINT*) override {
        if (id != 61696 || !(flags & DISPATCH_PROPERTYGET) || !result)
            return DISP_E_MEMBERNOTFOUND;
        IMessage* object = nullptr;
        const HRESULT hr = mapiview::MessageFor(m_message, &object);
        result->vt = VT_UNKNOWN;
        result->punkVal = object;
        return hr;
    }

  private:
    mailstore::MessagePtr m_message;
};

const HWND kWindow = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x4711));

class MapiHelperTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A test that loaded MAPI without a helper to log off leaves it loaded.
        CMapiHelper::UnloadFunctions();
        MakeLogsFolder();
        mailstore::Model::Process().Clear();
        g_notified.clear();
    }
    void TearDown() override { mailstore::Model::Process().Clear(); }

    static void Install(mapiview::MapiInstallation installation) {
        installation.builtMapi32 = BV_MAPI32_MODULE_FILE;
        installation.builtMapistub = BV_MAPISTUB_MODULE_FILE;
        std::vector<std::string> done;
        std::string error;
        ASSERT_TRUE(mapiview::InstallMapi(installation, done, error)) << error;
    }

    static std::wstring LoadedLibrary() {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(g_hMapiLibrary, path, MAX_PATH);
        return path;
    }

    static bool Logged(const std::string& text) {
        const auto lines = LogLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }
    static size_t CountLogged(const std::string& text) {
        const auto lines = LogLines();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }

    // A profile of an Exchange mailbox, a personal folders file and public
    // folders, in that order.
    mailstore::ProfilePtr AddFullProfile() {
        auto profile = mailstore::Model::Process().AddProfile(L"Outlook");
        m_mailbox = profile->AddStore(mailstore::StoreSettings::Exchange(
            L"Mailbox - Jane Doe", L"First Organization", "/o=First Organization/cn=jane"));
        m_personal = profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
        profile->AddStore(mailstore::StoreSettings::Public(L"Public Folders"));
        return profile;
    }

    TempRoot m_root;
    mailstore::StorePtr m_mailbox, m_personal;
};

TEST_F(MapiHelperTest, OutlooksComponentIsLoadedFirst) {
    Install({});
    ASSERT_TRUE(CMapiHelper::LoadFunctions());
    EXPECT_TRUE(Logged("Default mail client: Microsoft Outlook"));
    EXPECT_TRUE(Logged("mapistub successfully loaded"));
    EXPECT_TRUE(Logged("fgetcomponentath is found"));
    EXPECT_TRUE(Logged("CBrevintHelper::GetExtendedMapiDllPath - App: 1"));
    EXPECT_TRUE(
        Logged("mapi dll component path: C:\\Program Files\\Common Files\\System\\MSMAPI"
               "\\1033\\MSMAPI32.DLL"));
    EXPECT_FALSE(Logged("Could not load"));
    EXPECT_EQ(LoadedLibrary(), mapiview::kOutlookMapiLibrary);
    EXPECT_TRUE(g_isMapiLoaded);
}

TEST_F(MapiHelperTest, WithoutTheComponentTheRegistryPathIsLoaded) {
    // Without the stub the system folder's mapi32.dll is asked, which does
    // not answer for components.
    mapiview::MapiInstallation installation;
    installation.mapistub = false;
    Install(installation);
    ASSERT_TRUE(CMapiHelper::LoadFunctions());
    EXPECT_TRUE(Logged("fgetcomponentath is null still"));
    EXPECT_TRUE(Logged("mapi32 successfully loaded"));
    EXPECT_FALSE(Logged("fgetcomponentath is found"));
    EXPECT_TRUE(Logged("Could not load component mapi dll: "));
    EXPECT_FALSE(Logged("Could not load registry mapi dll"));
    EXPECT_EQ(LoadedLibrary(), mapiview::kOutlookMapiLibrary);
}

TEST_F(MapiHelperTest, WithNeitherComponentNorRegistryPathMapi32IsLoaded) {
    mapiview::MapiInstallation installation;
    installation.component = false;
    installation.registryPath = false;
    installation.mailClient = false;
    Install(installation);
    ASSERT_TRUE(CMapiHelper::LoadFunctions());
    EXPECT_TRUE(Logged("Default mail client: none"));
    // Asked with each qualifier in turn, the stub finds no component.
    EXPECT_TRUE(Logged("App: 0"));
    EXPECT_TRUE(Logged("office: 0"));
    EXPECT_TRUE(Logged("null: 0"));
    EXPECT_TRUE(Logged("Could not load component mapi dll: "));
    EXPECT_TRUE(Logged("Could not load registry mapi dll: "));
    EXPECT_FALSE(Logged("Could not load mapi32.dll at all"));
    std::wstring loaded = LoadedLibrary();
    std::transform(loaded.begin(), loaded.end(), loaded.begin(), ::towlower);
    EXPECT_EQ(loaded, L"c:\\windows\\system32\\mapi32.dll");
}

TEST_F(MapiHelperTest, WithoutAnyLibraryTheHelperStaysUnusable) {
    mapiview::MapiInstallation installation;
    installation.outlookLibrary = false;
    installation.systemMapi32 = false;
    Install(installation);
    CMapiHelper helper;
    EXPECT_TRUE(Logged("Could not load component mapi dll: "));
    EXPECT_TRUE(Logged("Could not load registry mapi dll: 126"));
    EXPECT_TRUE(Logged("Could not load mapi32.dll at all: 126"));
    EXPECT_TRUE(Logged("CMapiHelper::CMapiHelper - mapi32.dll loading failed"));
    EXPECT_FALSE(g_isMapiLoaded);
    EXPECT_EQ(helper.Login(nullptr), E_FAIL);
    EXPECT_EQ(helper.Advise(&RecordNotification, fnevNewMail, kWindow), E_FAIL);
}

TEST_F(MapiHelperTest, AMissingEntryPointIsNamedWithoutItsDecoration) {
    Install({});
    const auto library = platform::host::HostPathFromWindows(mapiview::kOutlookMapiLibrary);
    std::filesystem::copy_file(BV_PARTIAL_MAPI_MODULE_FILE, library,
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_FALSE(CMapiHelper::LoadFunctions());
    EXPECT_TRUE(Logged("Could not load HrGetOneProp: 127"));
    EXPECT_FALSE(Logged("Could not load HrThisThreadAdviseSink"));
    EXPECT_FALSE(g_isMapiLoaded);
}

TEST_F(MapiHelperTest, PublicFoldersAreSkippedAndTheOtherStoresAdvisedOnce) {
    Install({});
    AddFullProfile();
    CMapiHelper helper;
    ASSERT_TRUE(g_isMapiLoaded);
    ASSERT_EQ(helper.Login(nullptr), S_OK);
    EXPECT_TRUE(Logged("CMapiHelper::Login - session is null"));

    ASSERT_EQ(helper.Advise(&RecordNotification, fnevNewMail, kWindow), S_OK);
    EXPECT_TRUE(Logged("stores number: : 3"));
    EXPECT_TRUE(Logged("message store: Mailbox - Jane Doe"));
    EXPECT_TRUE(Logged("message store: Public Folders"));
    EXPECT_EQ(CountLogged("Is public:: 1"), 1u);
    EXPECT_TRUE(Logged("CMapiHelper::Advise - Store is advised: 0"));
    EXPECT_TRUE(Logged("CMapiHelper::Advise - Store is advised: 1"));
    EXPECT_FALSE(Logged("Store is advised: 2"));
    EXPECT_EQ(CountLogged("could not get line speed property"), 2u);

    std::vector<CComPtr<IMsgStore>> stores;
    ASSERT_EQ(helper.GetMessageStores(stores, false), S_OK);
    EXPECT_EQ(stores.size(), 2u);

    // A second Advise registers nothing more.
    EXPECT_EQ(helper.Advise(&RecordNotification, fnevNewMail, kWindow), E_FAIL);
    EXPECT_EQ(CountLogged("Store is advised"), 2u);
    EXPECT_EQ(helper.Logoff(), S_OK);
    EXPECT_FALSE(g_isMapiLoaded);
    EXPECT_EQ(g_hMapiLibrary, nullptr);
}

TEST_F(MapiHelperTest, AStoreWithoutAnInboxIsNotAdvised) {
    Install({});
    auto profile = mailstore::Model::Process().AddProfile(L"Outlook");
    profile->AddStore(mailstore::StoreSettings::Personal(L"Archive", false));
    m_personal = profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
    CMapiHelper helper;
    ASSERT_EQ(helper.Login(nullptr), S_OK);
    ASSERT_EQ(helper.Advise(&RecordNotification, fnevNewMail, kWindow), S_OK);
    EXPECT_EQ(CountLogged("inbox retrival failed"), 1u);
    EXPECT_EQ(CountLogged("Store is advised"), 1u);
    EXPECT_TRUE(Logged("Store is advised: 0"));
    // Only the file with an inbox hears of new mail.
    m_personal->ReceiveFolder()->Deliver(kMail);
    Pump();
    ASSERT_EQ(g_notified.size(), 1u);
    EXPECT_EQ(g_notified[0].storeIndex, 0u);
    helper.Logoff();
}

TEST_F(MapiHelperTest, NotificationsComeOnTheAdvisingThreadWhenItPumps) {
    Install({});
    AddFullProfile();
    CMapiHelper helper;
    ASSERT_EQ(helper.Login(nullptr), S_OK);
    ASSERT_EQ(helper.Advise(&RecordNotification, fnevNewMail, kWindow), S_OK);

    mailstore::MessagePtr delivered;
    {
        TestThread server([&] {
            delivered = m_personal->ReceiveFolder()->Deliver(kMail);
            return DWORD{0};
        });
    }
    ASSERT_NE(delivered, nullptr);
    EXPECT_TRUE(g_notified.empty());
    Pump();
    ASSERT_EQ(g_notified.size(), 1u);
    EXPECT_EQ(g_notified[0].window, reinterpret_cast<ULONG_PTR>(kWindow));
    EXPECT_EQ(g_notified[0].storeIndex, 1u);
    EXPECT_EQ(g_notified[0].thread, GetCurrentThreadId());
    EXPECT_EQ(g_notified[0].entryId, delivered->Id());

    // The notified identifier turned back into the message's, as text.
    mailstore::EntryId id = g_notified[0].entryId;
    std::wstring text;
    ASSERT_TRUE(helper.GetExtendedMsgEntryIdStr(static_cast<ULONG>(id.size()),
                                                reinterpret_cast<LPENTRYID>(id.data()), 1, text));
    EXPECT_EQ(text, mailstore::EntryIdToHex(delivered->Id()));
    EXPECT_EQ(text.size(), 2 * id.size());
    EXPECT_TRUE(std::none_of(text.begin(), text.end(), ::iswlower));
    EXPECT_TRUE(Logged("CMapiHelper::GetExtendedEntryId - Output type : 5"));

    // An identifier no store knows is not a message.
    mailstore::EntryId unknown(id.size(), 0xEE);
    EXPECT_FALSE(helper.GetExtendedMsgEntryIdStr(
        static_cast<ULONG>(unknown.size()), reinterpret_cast<LPENTRYID>(unknown.data()), 1, text));
    EXPECT_TRUE(Logged("Open entry failed"));
    EXPECT_TRUE(Logged("CMapiHelper::GetExtendedMsgEntryIdStr - Could not get entryId"));

    // After logoff no notification is delivered.
    EXPECT_EQ(helper.Logoff(), S_OK);
    m_personal->ReceiveFolder()->Deliver(kMail);
    Pump();
    EXPECT_EQ(g_notified.size(), 1u);
}

TEST_F(MapiHelperTest, TheCodePageIsReadAndWrittenOnTheItemsMessage) {
    Install({});
    AddFullProfile();
    CMapiHelper helper;
    const std::string text =
        "From: a@example.com\r\nSubject: Hi\r\n"
        "Content-Type: text/plain; charset=iso-8859-2\r\n\r\nBody\r\n";
    auto message = m_personal->ReceiveFolder()->Deliver(mailstore::Bytes(text.begin(), text.end()));
    ItemWithMapiObject item(message);

    LONG codePage = 0;
    ASSERT_TRUE(GetMessageCodePage(&item, codePage));
    EXPECT_EQ(codePage, 28592);
    ASSERT_TRUE(SetMessageCodepage(&item, 65001));
    EXPECT_EQ(message->GetLong(0x3FDE0003), 65001);
    ASSERT_TRUE(GetMessageCodePage(&item, codePage));
    EXPECT_EQ(codePage, 65001);
    // Without MAPI the functions report failure and change nothing.
    helper.Logoff();
    EXPECT_FALSE(SetMessageCodepage(&item, 1252));
    EXPECT_EQ(message->GetLong(0x3FDE0003), 65001);
}

}  // namespace
