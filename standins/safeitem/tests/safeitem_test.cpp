// The safe-item library as its clients create it (by ProgID, after
// DllRegisterServer): the session object's stores, folders and hidden items
// over the mail store, and the safe mail item over Outlook's items.
#include <atlbase.h>
#include <bvoltool.h>
#include <mapicode.h>
#include <mapidefs.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <mailstore/model.h>
#include <mapiview/mapi_view.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module_files.h"
#include "outlook.h"
#include "outlook_host.h"
#include "temp_root.h"
#include "apartment_waits.h"
#include "test_thread.h"
#include "dispatch_calls.h"
#include "call_fault_support.h"

namespace {

const std::wstring kLibrary = L"C:\\Program Files\\Brevint\\BVOLTOOL.dll";

mailstore::Bytes Mail(std::string_view text) {
    return mailstore::Bytes(text.begin(), text.end());
}

// A cached Exchange mailbox and a personal folders file; the library
// registered from the installation folder.
class SafeItemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        InstallModule(BV_SAFEITEM_MODULE_FILE, kLibrary);
        ASSERT_EQ(RunExport(kLibrary, "DllRegisterServer"), S_OK);
        auto profile = mailstore::Model::Process().AddProfile(L"Outlook");
        auto exchange = mailstore::StoreSettings::Exchange(
            L"Mailbox - Jane Doe", L"First Organization", "/o=First Organization/cn=jane");
        exchange.cachedMode = true;
        mailbox = profile->AddStore(exchange);
        personal = profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
    }
    void TearDown() override {
        mailstore::Model::Process().Clear();
        CoUninitialize();
    }

    CComPtr<bvoltool::IBVRDOSession> LoggedOn() {
        CComPtr<bvoltool::IBVRDOSession> session;
        EXPECT_EQ(session.CoCreateInstance(CLSID_BVRDOSession), S_OK);
        if (session) {
            EXPECT_EQ(
                session->Logon(nullptr, nullptr, VARIANT_FALSE, VARIANT_FALSE, 0, VARIANT_FALSE),
                S_OK);
        }
        return session;
    }

    // The mailbox's Inbox's parent, opened again by its identifiers as a
    // client does to reach the folder of hidden messages.
    CComPtr<bvoltool::IBVRDOFolder> MailboxTop(bvoltool::IBVRDOSession* session) {
        CComPtr<bvoltool::IBVRDOFolder> inbox, top, opened;
        EXPECT_EQ(session->GetDefaultFolder(6, &inbox), S_OK);
        if (!inbox)
            return nullptr;
        EXPECT_EQ(inbox->get_Parent(&top), S_OK);
        BSTR entryId = nullptr, storeId = nullptr;
        top->get_EntryID(&entryId);
        top->get_StoreID(&storeId);
        EXPECT_EQ(
            session->GetFolderFromID(entryId, storeId, MAPI_BEST_ACCESS | MAPI_NO_CACHE, &opened),
            S_OK);
        SysFreeString(entryId);
        SysFreeString(storeId);
        return opened;
    }

    TempRoot root;
    mailstore::StorePtr mailbox, personal;
};

TEST_F(SafeItemTest, SessionShowsTheProfilesStoresOnlyAfterLogon) {
    CComPtr<bvoltool::IBVRDOSession> session;
    ASSERT_EQ(session.CoCreateInstance(CLSID_BVRDOSession), S_OK);
    CComPtr<bvoltool::IBVRDOStores> stores;
    EXPECT_EQ(session->get_Stores(&stores), MAPI_E_NOT_INITIALIZED);
    EXPECT_EQ(session->Logon(CComBSTR(L"Nobody"), nullptr, VARIANT_FALSE, VARIANT_FALSE, 0,
                             VARIANT_FALSE),
              MAPI_E_LOGON_FAILED);
    ASSERT_EQ(session->Logon(CComBSTR(L"outlook"), nullptr, VARIANT_FALSE, VARIANT_FALSE, 0,
                             VARIANT_FALSE),
              S_OK);
    ASSERT_EQ(session->get_Stores(&stores), S_OK);
    LONG count = 0;
    stores->get_Count(&count);
    ASSERT_EQ(count, 2);

    CComPtr<bvoltool::IBVRDOStore> first, second, none;
    ASSERT_EQ(stores->Item(1, &first), S_OK);
    ASSERT_EQ(stores->Item(2, &second), S_OK);
    EXPECT_EQ(stores->Item(3, &none), DISP_E_BADINDEX);
    EXPECT_EQ(stores->Item(0, &none), DISP_E_BADINDEX);
    LONG kind = 0;
    first->get_StoreKind(&kind);
    EXPECT_EQ(kind, bvoltool::kStoreKindPrimaryExchangeMailbox);
    second->get_StoreKind(&kind);
    EXPECT_EQ(kind, bvoltool::kStoreKindPstUnicode);
    BSTR text = nullptr;
    first->get_EntryID(&text);
    EXPECT_EQ(Take(text), mailstore::EntryIdToHex(mailbox->Id()));

    // Only the Exchange mailbox tells its cached mode.
    CComQIPtr<bvoltool::IBVRDOExchangeMailboxStore> exchange(first);
    ASSERT_TRUE(exchange);
    VARIANT_BOOL cached = VARIANT_FALSE;
    ASSERT_EQ(exchange->get_IsCached(&cached), S_OK);
    EXPECT_EQ(cached, VARIANT_TRUE);
    EXPECT_FALSE(CComQIPtr<bvoltool::IBVRDOExchangeMailboxStore>(second));

    // A store's own default folders; an archive-like kind it lacks is not found.
    CComPtr<bvoltool::IBVRDOFolder> junk, missing;
    ASSERT_EQ(first->GetDefaultFolder(23, &junk), S_OK);
    junk->get_EntryID(&text);
    EXPECT_EQ(Take(text), mailstore::EntryIdToHex(
                              mailbox->DefaultFolderOf(mailstore::DefaultFolder::Junk)->Id()));
    EXPECT_EQ(first->GetDefaultFolder(99, &missing), MAPI_E_NOT_FOUND);
}

TEST_F(SafeItemTest, FoldersOpenByIdentifiersWithMapiFlags) {
    auto session = LoggedOn();
    CComPtr<bvoltool::IBVRDOFolder> top = MailboxTop(session);
    ASSERT_TRUE(top);
    BSTR text = nullptr;
    top->get_EntryID(&text);
    const std::wstring entryId = Take(text);
    EXPECT_EQ(entryId, mailstore::EntryIdToHex(mailbox->IpmSubtree()->Id()));
    top->get_StoreID(&text);
    EXPECT_EQ(Take(text), mailstore::EntryIdToHex(mailbox->Id()));

    CComPtr<bvoltool::IBVRDOFolder> folder;
    const CComBSTR id(entryId.c_str());
    const CComBSTR otherStore(mailstore::EntryIdToHex(personal->Id()).c_str());
    EXPECT_EQ(session->GetFolderFromID(id, otherStore, MAPI_BEST_ACCESS, &folder),
              MAPI_E_NOT_FOUND);
    EXPECT_EQ(session->GetFolderFromID(id, nullptr, 0x80000, &folder), MAPI_E_UNKNOWN_FLAGS);
    EXPECT_EQ(session->GetFolderFromID(CComBSTR(L"XYZ"), nullptr, 0, &folder),
              MAPI_E_INVALID_ENTRYID);
    EXPECT_FALSE(folder);
    // The store's identifier may be left out.
    ASSERT_EQ(session->GetFolderFromID(id, nullptr, MAPI_BEST_ACCESS, &folder), S_OK);
    // Climbing above the root folder finds nothing.
    CComPtr<bvoltool::IBVRDOFolder> root, above;
    ASSERT_EQ(folder->get_Parent(&root), S_OK);
    EXPECT_EQ(root->get_Parent(&above), MAPI_E_NOT_FOUND);
}

TEST_F(SafeItemTest, HiddenItemAddedThroughTheSessionIsKeptOnlyWhenSaved) {
    auto session = LoggedOn();
    CComPtr<bvoltool::IBVRDOItems> hidden;
    ASSERT_EQ(MailboxTop(session)->get_HiddenItems(&hidden), S_OK);
    LONG count = -1;
    hidden->get_Count(&count);
    EXPECT_EQ(count, 0);

    CComPtr<bvoltool::IBVRDOMail> discarded, added;
    ASSERT_EQ(hidden->Add(CComBSTR(L"IPM.Post"), &discarded), S_OK);
    ASSERT_EQ(discarded->put_Subject(CComBSTR(L"never saved")), S_OK);
    ASSERT_EQ(hidden->Add(CComBSTR(L"IPM.Post"), &added), S_OK);
    ASSERT_EQ(added->put_Subject(CComBSTR(L"::BLOCK")), S_OK);
    ASSERT_EQ(added->put_Body(CComBSTR(L"RFC822\r\nMESSAGEID=<1@x>\r\n")), S_OK);
    BSTR text = nullptr;
    added->get_EntryID(&text);
    EXPECT_EQ(Take(text), L"");  // nothing stored before the save
    hidden->get_Count(&count);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(added->Save(), S_OK);
    hidden->get_Count(&count);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(mailbox->IpmSubtree()->Messages().empty());

    // Extended MAPI opens the same message by its identifier: hidden, with
    // the class, subject and body the session wrote.
    added->get_EntryID(&text);
    const auto entryId = mailstore::EntryIdFromHex(Take(text));
    ASSERT_TRUE(entryId);
    ASSERT_EQ(mapiview::Initialize(nullptr), S_OK);
    LPMAPISESSION mapi = nullptr;
    ASSERT_EQ(mapiview::LogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, &mapi), S_OK);
    ULONG type = 0;
    IUnknown* opened = nullptr;
    mailstore::EntryId bytes = *entryId;
    ASSERT_EQ(
        mapi->OpenEntry(static_cast<ULONG>(bytes.size()), reinterpret_cast<LPENTRYID>(bytes.data()),
                        nullptr, 0, &type, &opened),
        S_OK);
    EXPECT_EQ(type, static_cast<ULONG>(MAPI_MESSAGE));
    CComQIPtr<IMessage> message(opened);
    opened->Release();
    ASSERT_TRUE(message);
    LPSPropValue value = nullptr;
    ASSERT_EQ(mapiview::GetOneProp(message, PR_MESSAGE_FLAGS, &value), S_OK);
    EXPECT_NE(value->Value.l & MSGFLAG_ASSOCIATED, 0);
    mapiview::FreeBuffer(value);
    ASSERT_EQ(mapiview::GetOneProp(message, PR_SUBJECT, &value), S_OK);
    EXPECT_STREQ(value->Value.lpszA, "::BLOCK");
    mapiview::FreeBuffer(value);
    ASSERT_EQ(mapiview::GetOneProp(message, PR_MESSAGE_CLASS, &value), S_OK);
    EXPECT_STREQ(value->Value.lpszA, "IPM.Post");
    mapiview::FreeBuffer(value);
    message.Release();
    mapi->Logoff(0, 0, 0);
    mapi->Release();
    mapiview::Uninitialize();
}

TEST_F(SafeItemTest, ASecondSessionReadsWhatTheFirstWrote) {
    // The module's message, left by the server side with its name.
    auto serverMessage = mailbox->IpmSubtree()->AddHiddenMessage("IPM.Note");
    serverMessage->Set(0x10F3001E, std::string("VXM_{90C192CF-D3AC-44AF-8F21-DDB66CAD4A26}.eml"));
    serverMessage->SetPlainBody(L"blocked=3\r\n");

    auto writer = LoggedOn();
    CComPtr<bvoltool::IBVRDOItems> writerItems;
    ASSERT_EQ(MailboxTop(writer)->get_HiddenItems(&writerItems), S_OK);
    CComPtr<bvoltool::IBVRDOMail> written;
    ASSERT_EQ(writerItems->Add(CComBSTR(L"IPM.Post"), &written), S_OK);
    written->put_Subject(CComBSTR(L"::UPDATECFG"));
    ASSERT_EQ(written->Save(), S_OK);
    // Once saved, a change reaches the store at once.
    ASSERT_EQ(written->put_Body(CComBSTR(L"uble=a@b.example,\r\n")), S_OK);

    auto reader = LoggedOn();
    CComPtr<bvoltool::IBVRDOItems> items;
    ASSERT_EQ(MailboxTop(reader)->get_HiddenItems(&items), S_OK);
    LONG count = 0;
    items->get_Count(&count);
    ASSERT_EQ(count, 2);
    CComPtr<bvoltool::IBVRDOMail> first, second;
    ASSERT_EQ(items->Item(1, &first), S_OK);
    ASSERT_EQ(items->Item(2, &second), S_OK);
    CComVariant name;
    ASSERT_EQ(first->get_Fields(0x10F3001E, &name), S_OK);
    ASSERT_EQ(name.vt, VT_BSTR);
    EXPECT_STREQ(name.bstrVal, L"VXM_{90C192CF-D3AC-44AF-8F21-DDB66CAD4A26}.eml");
    BSTR text = nullptr;
    first->get_Body(&text);
    EXPECT_EQ(Take(text), L"blocked=3\r\n");
    second->get_Subject(&text);
    EXPECT_EQ(Take(text), L"::UPDATECFG");
    second->get_Body(&text);
    EXPECT_EQ(Take(text), L"uble=a@b.example,\r\n");
    CComVariant absent;
    ASSERT_EQ(second->get_Fields(0x10F3001E, &absent), S_OK);
    EXPECT_EQ(absent.vt, VT_EMPTY);

    // A hidden item deleted meanwhile is gone for the session that holds it.
    serverMessage->Delete();
    EXPECT_EQ(first->get_Body(&text), MAPI_E_NOT_FOUND);
}

TEST_F(SafeItemTest, ProfileWithoutAnExchangeMailboxHasNoCachedModeToTell) {
    mailstore::Model::Process().Clear();
    auto profile = mailstore::Model::Process().AddProfile(L"Home");
    profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
    auto session = LoggedOn();
    CComPtr<bvoltool::IBVRDOStores> stores;
    ASSERT_EQ(session->get_Stores(&stores), S_OK);
    CComPtr<bvoltool::IBVRDOStore> store;
    ASSERT_EQ(stores->Item(1, &store), S_OK);
    LONG kind = 0;
    store->get_StoreKind(&kind);
    EXPECT_NE(kind, bvoltool::kStoreKindPrimaryExchangeMailbox);
    EXPECT_FALSE(CComQIPtr<bvoltool::IBVRDOExchangeMailboxStore>(store));
}

// Outlook's items beside the library: the test thread is Outlook's.
class SafeItemOverOutlookTest : public SafeItemTest {
  protected:
    void SetUp() override {
        SafeItemTest::SetUp();
        host = std::make_unique<outlook::host::OutlookHost>(L"11.0.0.8312");
        ASSERT_EQ(host->MapiNamespace(&nameSpace), S_OK);
    }
    void TearDown() override {
        nameSpace.Release();
        host.reset();
        SafeItemTest::TearDown();
    }

    CComPtr<Outlook::_MailItem> ItemOf(const mailstore::MessagePtr& message) {
        VARIANT omitted;
        VariantInit(&omitted);
        V_VT(&omitted) = VT_ERROR;
        V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
        CComPtr<IDispatch> item;
        EXPECT_EQ(nameSpace->GetItemFromID(CComBSTR(mailstore::EntryIdToHex(message->Id()).c_str()),
                                           omitted, &item),
                  S_OK);
        return CComQIPtr<Outlook::_MailItem>(item).p;
    }

    std::unique_ptr<outlook::host::OutlookHost> host;
    CComPtr<Outlook::_NameSpace> nameSpace;
};

TEST_F(SafeItemOverOutlookTest, BodyWrittenThroughOutlookIsWhatTheSafeItemReads) {
    auto message = mailbox->ReceiveFolder()->Deliver(
        Mail("Subject: Footer\r\nContent-Type: text/html\r\n\r\n<p>Hi</p>\r\n"));
    CComPtr<Outlook::_MailItem> item = ItemOf(message);
    ASSERT_TRUE(item);
    // As the add-in writes it: the property put by name, one string argument.
    DISPID member = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(L"Body");
    ASSERT_EQ(item->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &member), S_OK);
    CComVariant text(L"Hi\r\n-- \r\n3 spam mails blocked\r\n");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&text, &named, 1, 1};
    ASSERT_EQ(item->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put,
                           nullptr, nullptr, nullptr),
              S_OK);

    CComPtr<bvoltool::IBVMailItem> safeItem;
    ASSERT_EQ(safeItem.CoCreateInstance(CLSID_BVMailItem), S_OK);
    ASSERT_EQ(safeItem->put_Item(item), S_OK);
    BSTR body = nullptr;
    ASSERT_EQ(safeItem->get_Body(&body), S_OK);
    EXPECT_EQ(Take(body), L"Hi\r\n-- \r\n3 spam mails blocked\r\n");
    ASSERT_EQ(safeItem->get_HTMLBody(&body), S_OK);
    EXPECT_NE(Take(body).find(L"<!-- converted from text/plain format -->"), std::wstring::npos);
}

TEST_F(SafeItemOverOutlookTest, ItemFromAnotherApartmentIsFoundByItsEntryId) {
    auto message = mailbox->ReceiveFolder()->Deliver(
        Mail("From: Ann <ann@example.com>\r\nSubject: Far\r\n\r\nText\r\n"));
    CComPtr<Outlook::_MailItem> item = ItemOf(message);
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(__uuidof(Outlook::_MailItem), item, &stream),
              S_OK);
    HRESULT mapiObject = E_FAIL, asProp = S_OK, wrapped = E_FAIL;
    std::wstring sender;
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {  // the proxies go before the apartment
            CComPtr<IDispatch> remote;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_IDispatch,
                                                         reinterpret_cast<void**>(&remote)))) {
                // The item's MAPI object crosses the apartments only as
                // IUnknown: MAPI's interfaces have no proxies...
                CComVariant object;
                mapiObject = GetByName(remote, L"MAPIOBJECT", &object);
                if (SUCCEEDED(mapiObject) && object.vt == VT_UNKNOWN && V_UNKNOWN(&object)) {
                    CComPtr<IUnknown> prop;
                    asProp = V_UNKNOWN(&object)->QueryInterface(IID_IMAPIProp,
                                                                reinterpret_cast<void**>(&prop));
                }
                // ...so the safe item finds the message by the item's EntryID.
                CComPtr<bvoltool::IBVMailItem> safeItem;
                if (SUCCEEDED(safeItem.CoCreateInstance(CLSID_BVMailItem, nullptr, CLSCTX_ALL))) {
                    wrapped = safeItem->put_Item(remote);
                    CComVariant value;
                    if (SUCCEEDED(safeItem->get_Fields(0x0065001E, &value)) && value.vt == VT_BSTR)
                        sender = V_BSTR(&value);
                }
            }
        }
        CoUninitialize();
        return DWORD{0};
    });
    ServeUntil(worker.handle());
    EXPECT_EQ(mapiObject, S_OK);
    EXPECT_EQ(asProp, E_NOINTERFACE);
    EXPECT_EQ(wrapped, S_OK);
    EXPECT_EQ(sender, L"ann@example.com");
}

TEST_F(SafeItemTest, AMemberMadeToFailNamesTheLibrarysClassAsItsSource) {
    CComPtr<bvoltool::IBVRDOSession> session = LoggedOn();
    CComPtr<bvoltool::IBVRDOFolder> inbox;
    ASSERT_EQ(session->GetDefaultFolder(6, &inbox), S_OK);
    ArmFailure(L"BVRDOFolder.Name", MAPI_E_CALL_FAILED);
    BSTR name = nullptr;
    ASSERT_EQ(inbox->get_Name(&name), MAPI_E_CALL_FAILED);
    EXPECT_EQ(name, nullptr);
    const _com_error error = RaisedFor(MAPI_E_CALL_FAILED, inbox, __uuidof(bvoltool::IBVRDOFolder));
    EXPECT_EQ(std::wstring(error.Source()), L"BVOLTOOL.BVRDOSession.1");
    EXPECT_EQ(std::wstring(error.Description()),
              L"BVRDOFolder.Name failed with 0x80004005: the call was made to fail.");
    EXPECT_TRUE(error.GUID() == __uuidof(bvoltool::IBVRDOFolder));
    ASSERT_EQ(inbox->get_Name(&name), S_OK);
    EXPECT_EQ(Take(name), L"Inbox");
}

TEST_F(SafeItemOverOutlookTest, TheSafeItemsCallsIntoOutlookAreCountedAndMayFail) {
    auto message = mailbox->ReceiveFolder()->Deliver(Mail("Subject: Counted\r\n\r\nText\r\n"));
    CComPtr<Outlook::_MailItem> item = ItemOf(message);
    CComPtr<bvoltool::IBVMailItem> safeItem;
    ASSERT_EQ(safeItem.CoCreateInstance(CLSID_BVMailItem), S_OK);
    platform::calls::ClearCensus();
    ASSERT_EQ(safeItem->put_Item(item), S_OK);
    // Outlook's MAPIOBJECT made to fail, the item is found by its EntryID.
    ArmFailure(L"MailItem.MAPIOBJECT", E_FAIL);
    ASSERT_EQ(safeItem->put_Item(item), S_OK);
    ArmFailure(L"BVMailItem.Body", E_OUTOFMEMORY);
    BSTR body = nullptr;
    EXPECT_EQ(safeItem->get_Body(&body), E_OUTOFMEMORY);
    EXPECT_EQ(body, nullptr);
    const _com_error error = RaisedFor(E_OUTOFMEMORY, safeItem, __uuidof(bvoltool::IBVMailItem));
    EXPECT_EQ(std::wstring(error.Source()), L"BVOLTOOL.BVMailItem.1");
    EXPECT_EQ(std::wstring(error.Description()),
              L"BVMailItem.Body failed with 0x8007000E: the call was made to fail.");

    EXPECT_EQ(CensusNames(), (std::vector<std::wstring>{L"BVMailItem.Item", L"MailItem.MAPIOBJECT",
                                                        L"IMessage.GetProps", L"MailItem.EntryID",
                                                        L"BVMailItem.Body"}));
}

}  // namespace
