// Extended MAPI over the store model, reached as the add-in reaches it: the
// MAPI library module loaded with LoadLibraryW and its exports looked up by
// their Windows names.
#include <gtest/gtest.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mapiview/mapi_view.h"
#include "platform/filesystem.h"
#include "temp_root.h"
#include "test_thread.h"
#include "call_fault_support.h"

namespace {

const mailstore::Bytes kMail = [] {
    const std::string text =
        "From: Ann <ann@example.com>\r\nTo: bob@example.org\r\nSubject: Hello\r\n"
        "Message-ID: <1@example.com>\r\n\r\nHi Bob.\r\n";
    return mailstore::Bytes(text.begin(), text.end());
}();

template <class Function>
Function* Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Records what MAPI hands it, and on which thread.
class RecordingSink : public IMAPIAdviseSink {
  public:
    STDMETHOD(QueryInterface)(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++references; }
    STDMETHOD_(ULONG, Release)() override { return --references; }
    STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
        for (ULONG i = 0; i < count; ++i) {
            const NOTIFICATION& n = notifications[i];
            events.push_back(n.ulEventType);
            threads.push_back(GetCurrentThreadId());
            if (n.ulEventType == fnevNewMail) {
                const auto* id = reinterpret_cast<const BYTE*>(n.info.newmail.lpEntryID);
                const auto* parent = reinterpret_cast<const BYTE*>(n.info.newmail.lpParentID);
                entryIds.emplace_back(id, id + n.info.newmail.cbEntryID);
                parentIds.emplace_back(parent, parent + n.info.newmail.cbParentID);
                classes.emplace_back(n.info.newmail.lpszMessageClass);
            }
        }
        return 0;
    }

    std::atomic<ULONG> references{1};
    std::vector<ULONG> events;
    std::vector<DWORD> threads;
    std::vector<mailstore::EntryId> entryIds;
    std::vector<mailstore::EntryId> parentIds;
    std::vector<std::string> classes;
};

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

class MapiViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::wstring path = L"C:\\Program Files\\Outlook\\mapi32.dll";
        const auto target = platform::host::HostPathFromWindows(path);
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(BV_MAPI32_MODULE_FILE, target);
        m_module = LoadLibraryW(path.c_str());
        ASSERT_NE(m_module, nullptr);
        m_initialize = Export<MAPIINITIALIZE>(m_module, "MAPIInitialize");
        m_uninitialize = Export<MAPIUNINITIALIZE>(m_module, "MAPIUninitialize");
        m_logon = Export<MAPILOGONEX>(m_module, "MAPILogonEx");
        m_allocate = Export<MAPIALLOCATEBUFFER>(m_module, "MAPIAllocateBuffer");
        m_free = Export<MAPIFREEBUFFER>(m_module, "MAPIFreeBuffer");
        m_queryAllRows = Export<HRQUERYALLROWS>(m_module, "HrQueryAllRows@24");
        m_threadSink = Export<HRTHISTHREADADVISESINK>(m_module, "HrThisThreadAdviseSink@8");
        m_getOneProp = Export<HRGETONEPROP>(m_module, "HrGetOneProp@12");
        m_setOneProp = Export<HRSETONEPROP>(m_module, "HrSetOneProp@8");
        ASSERT_TRUE(m_initialize && m_uninitialize && m_logon && m_allocate && m_free &&
                    m_queryAllRows && m_threadSink && m_getOneProp && m_setOneProp);

        auto& model = mailstore::Model::Process();
        model.Clear();
        auto profile = model.AddProfile(L"Outlook");
        m_mailbox = profile->AddStore(mailstore::StoreSettings::Exchange(
            L"Mailbox - Jane Doe", L"First Organization", "/o=First Organization/cn=jane"));
        m_personal = profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
        m_public = profile->AddStore(mailstore::StoreSettings::Public(L"Public Folders"));
    }
    void TearDown() override {
        mailstore::Model::Process().Clear();
        if (m_module)
            FreeLibrary(m_module);
    }

    IMAPISession* Logon() {
        IMAPISession* session = nullptr;
        EXPECT_EQ(m_logon(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED, &session), S_OK);
        return session;
    }
    IMsgStore* Open(IMAPISession* session, const mailstore::StorePtr& store) {
        mailstore::EntryId id = store->Id();
        IMsgStore* opened = nullptr;
        EXPECT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(id.size()),
                                        reinterpret_cast<LPENTRYID>(id.data()), nullptr,
                                        MAPI_BEST_ACCESS, &opened),
                  S_OK);
        return opened;
    }

    TempRoot m_root;
    HMODULE m_module = nullptr;
    MAPIINITIALIZE* m_initialize = nullptr;
    MAPIUNINITIALIZE* m_uninitialize = nullptr;
    MAPILOGONEX* m_logon = nullptr;
    MAPIALLOCATEBUFFER* m_allocate = nullptr;
    MAPIFREEBUFFER* m_free = nullptr;
    HRQUERYALLROWS* m_queryAllRows = nullptr;
    HRTHISTHREADADVISESINK* m_threadSink = nullptr;
    HRGETONEPROP* m_getOneProp = nullptr;
    HRSETONEPROP* m_setOneProp = nullptr;
    mailstore::StorePtr m_mailbox, m_personal, m_public;
};

TEST_F(MapiViewTest, OnlyTheDecoratedNamesFindTheStdcallExports) {
    for (const char* bare : {"HrGetOneProp", "HrSetOneProp", "HrQueryAllRows",
                             "HrThisThreadAdviseSink", "HrGetOneProp@8"})
        EXPECT_EQ(GetProcAddress(m_module, bare), nullptr) << bare;
}

TEST_F(MapiViewTest, TheStoreTableListsTheProfilesStoresAfterInitialisation) {
    IMAPISession* session = nullptr;
    EXPECT_EQ(m_logon(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED, &session),
              MAPI_E_NOT_INITIALIZED);
    ASSERT_EQ(m_initialize(nullptr), S_OK);
    char unknown[] = "No Such Profile";
    EXPECT_EQ(m_logon(0, unknown, nullptr, MAPI_EXTENDED, &session), MAPI_E_LOGON_FAILED);
    session = Logon();
    ASSERT_NE(session, nullptr);

    IMAPITable* table = nullptr;
    ASSERT_EQ(session->GetMsgStoresTable(0, &table), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(m_queryAllRows(table, nullptr, nullptr, nullptr, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 3u);
    const mailstore::StorePtr expected[] = {m_mailbox, m_personal, m_public};
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SRow& row = rows->aRow[i];
        bool sawId = false, sawName = false;
        for (ULONG c = 0; c < row.cValues; ++c) {
            const SPropValue& value = row.lpProps[c];
            if (value.ulPropTag == PR_ENTRYID) {
                sawId = true;
                EXPECT_EQ(mailstore::EntryId(value.Value.bin.lpb,
                                             value.Value.bin.lpb + value.Value.bin.cb),
                          expected[i]->Id());
            }
            if (value.ulPropTag == PR_DISPLAY_NAME_A) {
                sawName = true;
                std::wstring name = expected[i]->DisplayName();
                EXPECT_EQ(std::string(value.Value.lpszA), std::string(name.begin(), name.end()));
            }
        }
        EXPECT_TRUE(sawId && sawName) << "row " << i;
        m_free(row.lpProps);
    }
    m_free(rows);
    // A limit below the table's size is refused, not cut short.
    EXPECT_EQ(m_queryAllRows(table, nullptr, nullptr, nullptr, 2, &rows), MAPI_E_TABLE_TOO_BIG);
    table->Release();
    session->Release();
    m_uninitialize();
}

TEST_F(MapiViewTest, StoresAnswerTheirNameProviderAndReceiveFolder) {
    m_initialize(nullptr);
    IMAPISession* session = Logon();
    IMsgStore* store = Open(session, m_public);
    ASSERT_NE(store, nullptr);

    SizedSPropTagArray(3, tags) = {3, {0x3001001F, 0x34140102, 0x662B0102}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    ASSERT_EQ(store->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &values),
              MAPI_W_ERRORS_RETURNED);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(std::wstring(values[0].Value.lpszW), L"Public Folders");
    const BYTE publicProvider[] = {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD,
                                   0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A};
    ASSERT_EQ(values[1].Value.bin.cb, 16u);
    EXPECT_EQ(std::memcmp(values[1].Value.bin.lpb, publicProvider, 16), 0);
    EXPECT_EQ(values[2].ulPropTag, PROP_TAG(PT_ERROR, 0x662B));
    EXPECT_EQ(values[2].Value.err, MAPI_E_NOT_FOUND);
    m_free(values);

    // The class is 8-bit text unless MAPI_UNICODE says it is wide, as is the
    // explicit class given back.
    char note[] = "IPM.Note";
    WCHAR wideNote[] = L"IPM.Note";
    ULONG size = 0;
    LPENTRYID inbox = nullptr;
    EXPECT_EQ(store->GetReceiveFolder(reinterpret_cast<LPTSTR>(note), 0, &size, &inbox, nullptr),
              MAPI_E_NOT_FOUND);
    store->Release();

    store = Open(session, m_personal);
    LPTSTR explicitClass = nullptr;
    ASSERT_EQ(
        store->GetReceiveFolder(reinterpret_cast<LPTSTR>(note), 0, &size, &inbox, &explicitClass),
        S_OK);
    const auto* bytes = reinterpret_cast<const BYTE*>(inbox);
    EXPECT_EQ(mailstore::EntryId(bytes, bytes + size), m_personal->ReceiveFolder()->Id());
    EXPECT_STREQ(reinterpret_cast<const char*>(explicitClass), "IPM.Note");
    m_free(inbox);
    m_free(explicitClass);
    ASSERT_EQ(store->GetReceiveFolder(reinterpret_cast<LPTSTR>(wideNote), MAPI_UNICODE, &size,
                                      &inbox, &explicitClass),
              S_OK);
    bytes = reinterpret_cast<const BYTE*>(inbox);
    EXPECT_EQ(mailstore::EntryId(bytes, bytes + size), m_personal->ReceiveFolder()->Id());
    EXPECT_STREQ(reinterpret_cast<const WCHAR*>(explicitClass), L"IPM.Note");
    m_free(inbox);
    m_free(explicitClass);
    store->Release();
    session->Release();
}

TEST_F(MapiViewTest, AMessageReadsAndWritesTheModelsMessage) {
    m_initialize(nullptr);
    auto message = m_personal->ReceiveFolder()->Deliver(kMail);
    IMAPISession* session = Logon();
    IMsgStore* store = Open(session, m_personal);
    mailstore::EntryId id = message->Id();
    ULONG type = 0;
    IUnknown* opened = nullptr;
    ASSERT_EQ(
        store->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                         nullptr, MAPI_BEST_ACCESS, &type, &opened),
        S_OK);
    EXPECT_EQ(type, MAPI_MESSAGE);
    IMessage* item = nullptr;
    ASSERT_EQ(opened->QueryInterface(IID_IMessage, reinterpret_cast<void**>(&item)), S_OK);
    opened->Release();

    LPSPropValue value = nullptr;
    ASSERT_EQ(m_getOneProp(item, PR_MESSAGE_FLAGS, &value), S_OK);
    EXPECT_EQ(value->Value.l & MSGFLAG_READ, 0);
    m_free(value);
    ASSERT_EQ(m_getOneProp(item, PR_SUBJECT, &value), S_OK);
    EXPECT_STREQ(value->Value.lpszA, "Hello");
    m_free(value);
    EXPECT_EQ(m_getOneProp(item, PROP_TAG(PT_LONG, 0x6FFF), &value), MAPI_E_NOT_FOUND);
    EXPECT_EQ(value, nullptr);

    EXPECT_EQ(item->SetReadFlag(SUPPRESS_RECEIPT), S_OK);
    EXPECT_TRUE(message->IsRead());
    EXPECT_EQ(item->SetReadFlag(CLEAR_READ_FLAG), S_OK);
    EXPECT_FALSE(message->IsRead());

    void* buffer = nullptr;
    ASSERT_EQ(m_allocate(sizeof(SPropValue), &buffer), S_OK);
    auto* codePage = static_cast<LPSPropValue>(buffer);
    codePage->ulPropTag = PR_INTERNET_CPID;
    codePage->Value.l = 20127;
    EXPECT_EQ(m_setOneProp(item, codePage), S_OK);
    m_free(buffer);
    EXPECT_EQ(item->SaveChanges(KEEP_OPEN_READWRITE | FORCE_SAVE), S_OK);
    EXPECT_EQ(message->GetLong(PR_INTERNET_CPID), 20127);

    item->Release();
    store->Release();
    session->Release();
}

TEST_F(MapiViewTest, MemoryChainedToABufferGoesWithItAndOnlyWithIt) {
    void* buffer = nullptr;
    ASSERT_EQ(mapiview::AllocateBuffer(64, &buffer), S_OK);
    void* more = nullptr;
    ASSERT_EQ(mapiview::AllocateMore(128, buffer, &more), S_OK);
    std::memset(more, 0xAB, 128);
    void* nested = nullptr;
    // Memory is chained to a buffer, not to memory chained to one.
    EXPECT_EQ(mapiview::AllocateMore(8, more, &nested), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(mapiview::FreeBuffer(more), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
    EXPECT_EQ(mapiview::FreeBuffer(nullptr), static_cast<ULONG>(S_OK));
    // The sanitizer build would report the chained block if it stayed behind.
    EXPECT_EQ(mapiview::FreeBuffer(buffer), static_cast<ULONG>(S_OK));
}

TEST_F(MapiViewTest, NotificationsReachTheAdvisingThreadWhenItPumps) {
    m_initialize(nullptr);
    IMAPISession* session = Logon();
    IMsgStore* store = Open(session, m_personal);
    RecordingSink sink;
    IMAPIAdviseSink* wrapper = nullptr;
    ASSERT_EQ(m_threadSink(&sink, &wrapper), S_OK);
    ULONG connection = 0;
    ASSERT_EQ(store->Advise(0, nullptr, fnevNewMail, wrapper, &connection), S_OK);

    mailstore::MessagePtr delivered;
    {
        TestThread server([&] {
            delivered = m_personal->ReceiveFolder()->Deliver(kMail);
            return DWORD{0};
        });
    }
    ASSERT_NE(delivered, nullptr);
    EXPECT_TRUE(sink.events.empty());
    Pump();
    ASSERT_EQ(sink.events, std::vector<ULONG>{fnevNewMail});
    EXPECT_EQ(sink.threads.front(), GetCurrentThreadId());
    EXPECT_EQ(sink.entryIds.front(), delivered->Id());
    EXPECT_EQ(sink.parentIds.front(), m_personal->ReceiveFolder()->Id());
    EXPECT_EQ(sink.classes.front(), "IPM.Note");

    // Other stores' mail is not this store's; after Unadvise nothing comes.
    m_mailbox->ReceiveFolder()->Deliver(kMail);
    Pump();
    EXPECT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(store->Unadvise(connection), S_OK);
    EXPECT_EQ(store->Unadvise(connection), MAPI_E_NOT_FOUND);
    m_personal->ReceiveFolder()->Deliver(kMail);
    Pump();
    EXPECT_EQ(sink.events.size(), 1u);

    wrapper->Release();
    EXPECT_EQ(sink.references.load(), 1u);
    store->Release();
    session->Release();
}

TEST_F(MapiViewTest, AMemberMadeToFailDescribesItselfThroughGetLastError) {
    m_initialize(nullptr);
    auto message = m_personal->ReceiveFolder()->Deliver(kMail);
    IMAPISession* session = Logon();
    IMsgStore* store = Open(session, m_personal);
    mailstore::EntryId id = message->Id();
    ArmFailure(L"IMsgStore.OpenEntry", MAPI_E_NO_ACCESS);
    ULONG type = 7;
    IUnknown* opened = session;  // what the caller had in it
    EXPECT_EQ(
        store->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                         nullptr, MAPI_BEST_ACCESS, &type, &opened),
        MAPI_E_NO_ACCESS);
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(type, 0u);

    LPMAPIERROR error = nullptr;
    ASSERT_EQ(store->GetLastError(MAPI_E_NO_ACCESS, 0, &error), S_OK);
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error->lpszError,
                 "IMsgStore.OpenEntry failed with 0x80070005: the call was made to fail.");
    EXPECT_STREQ(error->lpszComponent, "MAPI");
    m_free(error);
    ASSERT_EQ(store->GetLastError(MAPI_E_NO_ACCESS, MAPI_UNICODE, &error), S_OK);
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(error->lpszError),
                 L"IMsgStore.OpenEntry failed with 0x80070005: the call was made to fail.");
    m_free(error);
    // Of another error, or once another call went on, there is nothing to say.
    EXPECT_EQ(store->GetLastError(MAPI_E_NOT_FOUND, 0, &error), S_OK);
    EXPECT_EQ(error, nullptr);
    ASSERT_EQ(
        store->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                         nullptr, MAPI_BEST_ACCESS, &type, &opened),
        S_OK);
    EXPECT_EQ(store->GetLastError(MAPI_E_NO_ACCESS, 0, &error), S_OK);
    EXPECT_EQ(error, nullptr);

    // A message's write made to fail changes nothing.
    IMessage* item = nullptr;
    ASSERT_EQ(opened->QueryInterface(IID_IMessage, reinterpret_cast<void**>(&item)), S_OK);
    opened->Release();
    ArmFailure(L"IMessage.SetReadFlag", MAPI_E_NO_ACCESS);
    EXPECT_EQ(item->SetReadFlag(0), MAPI_E_NO_ACCESS);
    EXPECT_FALSE(message->IsRead());
    item->Release();
    store->Release();
    session->Release();
}

TEST_F(MapiViewTest, EntryPointsFailAndTheCensusNamesWhatTheLibraryCalled) {
    ArmFailure(L"mapi32.MAPIInitialize", MAPI_E_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(m_initialize(nullptr), MAPI_E_NOT_ENOUGH_MEMORY);
    ASSERT_EQ(m_initialize(nullptr), S_OK);
    IMAPISession* session = Logon();
    ASSERT_NE(session, nullptr);
    IMAPITable* table = nullptr;
    ASSERT_EQ(session->GetMsgStoresTable(0, &table), S_OK);
    ArmFailure(L"HrQueryAllRows", MAPI_E_CALL_FAILED);
    LPSRowSet rows = reinterpret_cast<LPSRowSet>(table);  // what the caller had in it
    EXPECT_EQ(m_queryAllRows(table, nullptr, nullptr, nullptr, 0, &rows), MAPI_E_CALL_FAILED);
    EXPECT_EQ(rows, nullptr);
    ASSERT_EQ(m_queryAllRows(table, nullptr, nullptr, nullptr, 0, &rows), S_OK);
    for (ULONG i = 0; i < rows->cRows; ++i)
        m_free(rows->aRow[i].lpProps);
    m_free(rows);
    table->Release();
    session->Release();
    m_uninitialize();

    // The table's members are called by HrQueryAllRows, as MAPI's own does.
    EXPECT_EQ(
        CensusNames(),
        (std::vector<std::wstring>{
            L"mapi32.MAPIInitialize", L"mapi32.MAPILogonEx", L"IMAPISession.GetMsgStoresTable",
            L"mapi32.HrQueryAllRows", L"IMAPITable.SeekRow", L"IMAPITable.GetRowCount",
            L"IMAPITable.QueryRows", L"mapi32.MAPIFreeBuffer", L"mapi32.MAPIUninitialize"}));
    EXPECT_EQ(platform::calls::Census()[0].calls, 2u);
}

}  // namespace
