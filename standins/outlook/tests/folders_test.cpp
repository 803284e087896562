// Outlook's namespace, folders and items over the mail store model: what the
// object model changes the model holds, by vtable, by name and from another
// apartment.
#include <atlbase.h>
#include <objbase.h>
#include <oleauto.h>
#include <platform/clock.h>
#include <windows.h>

#include <mailstore/model.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiview/mapi_view.h>

#include <gtest/gtest.h>

#include <string>

#include "outlook.h"
#include "outlook_host.h"
#include "apartment_waits.h"
#include "test_thread.h"
#include "dispatch_calls.h"
#include "outlook_session.h"

namespace {

using outlook::host::OutlookHost;

mailstore::Bytes Mail(std::string_view text) {
    return mailstore::Bytes(text.begin(), text.end());
}

// A mailbox and a personal folders file.
class OutlookMailTest : public OutlookSessionTest {
  protected:
    void AddStores() override {
        personal = profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
    }

    CComPtr<Outlook::MAPIFolder> DefaultFolder(LONG kind) {
        CComPtr<Outlook::MAPIFolder> folder;
        EXPECT_EQ(nameSpace->GetDefaultFolder(kind, &folder), S_OK);
        return folder;
    }

    mailstore::StorePtr personal;
};

TEST_F(OutlookMailTest, FoldersAreFoundByKindIdentifierAndName) {
    auto inbox = DefaultFolder(6);
    ASSERT_TRUE(inbox);
    BSTR text = nullptr;
    inbox->get_Name(&text);
    EXPECT_EQ(Take(text), L"Inbox");
    inbox->get_EntryID(&text);
    const std::wstring entryId = Take(text);
    EXPECT_EQ(entryId, mailstore::EntryIdToHex(mailbox->ReceiveFolder()->Id()));
    inbox->get_StoreID(&text);
    const std::wstring storeId = Take(text);
    EXPECT_EQ(storeId, mailstore::EntryIdToHex(mailbox->Id()));

    CComPtr<Outlook::MAPIFolder> again;
    CComVariant store(storeId.c_str());
    EXPECT_EQ(nameSpace->GetFolderFromID(CComBSTR(entryId.c_str()), store, &again), S_OK);
    ASSERT_TRUE(again);
    again->get_EntryID(&text);
    EXPECT_EQ(Take(text), entryId);
    // Another store's identifier does not hold the folder.
    CComVariant otherStore(mailstore::EntryIdToHex(personal->Id()).c_str());
    CComPtr<Outlook::MAPIFolder> none;
    EXPECT_EQ(nameSpace->GetFolderFromID(CComBSTR(entryId.c_str()), otherStore, &none),
              static_cast<HRESULT>(0x8004010F));
    EXPECT_FALSE(none);
    EXPECT_EQ(nameSpace->GetDefaultFolder(99, &none), static_cast<HRESULT>(0x8004010F));

    // The Inbox's parent is the store's top folder, named after the store;
    // above it is the namespace.
    CComPtr<IDispatch> parent;
    ASSERT_EQ(inbox->get_Parent(&parent), S_OK);
    CComQIPtr<Outlook::MAPIFolder> top(parent);
    ASSERT_TRUE(top);
    top->get_Name(&text);
    EXPECT_EQ(Take(text), L"Mailbox - Jane Doe");
    CComPtr<IDispatch> above;
    ASSERT_EQ(top->get_Parent(&above), S_OK);
    EXPECT_TRUE(CComQIPtr<Outlook::_NameSpace>(above));

    CComPtr<Outlook::_Folders> stores;
    ASSERT_EQ(nameSpace->get_Folders(&stores), S_OK);
    LONG count = 0;
    stores->get_Count(&count);
    EXPECT_EQ(count, 2);
    CComPtr<Outlook::MAPIFolder> byName;
    EXPECT_EQ(stores->Item(CComVariant(L"personal folders"), &byName), S_OK);
    ASSERT_TRUE(byName);
    byName->get_StoreID(&text);
    EXPECT_EQ(Take(text), mailstore::EntryIdToHex(personal->Id()));
}

TEST_F(OutlookMailTest, AFolderAddedByNameIsInTheModelAndANameTakenIsRefused) {
    auto inbox = DefaultFolder(6);
    CComPtr<IDispatch> parent;
    inbox->get_Parent(&parent);
    CComQIPtr<Outlook::MAPIFolder> top(parent);
    CComPtr<Outlook::_Folders> folders;
    ASSERT_EQ(top->get_Folders(&folders), S_OK);

    CComPtr<Outlook::MAPIFolder> spam;
    ASSERT_EQ(folders->Add(CComBSTR(L"Brevint"), Number(6), &spam), S_OK);
    auto modelFolder = mailbox->IpmSubtree()->FindSubfolder(L"Brevint");
    ASSERT_NE(modelFolder, nullptr);
    BSTR text = nullptr;
    spam->get_EntryID(&text);
    EXPECT_EQ(Take(text), mailstore::EntryIdToHex(modelFolder->Id()));

    CComPtr<Outlook::MAPIFolder> twice;
    EXPECT_EQ(folders->Add(CComBSTR(L"BREVINT"), Omitted(), &twice),
              static_cast<HRESULT>(0x80040604));
    CComPtr<Outlook::MAPIFolder> found;
    EXPECT_EQ(folders->Item(CComVariant(L"brevint"), &found), S_OK);
    EXPECT_EQ(folders->Item(CComVariant(L"Nothing"), &twice), static_cast<HRESULT>(0x8004010F));
    LONG count = 0;
    folders->get_Count(&count);
    EXPECT_EQ(count, static_cast<LONG>(mailbox->IpmSubtree()->Subfolders().size()));
    EXPECT_EQ(folders->Item(Number(count + 1), &twice), DISP_E_BADINDEX);
}

TEST_F(OutlookMailTest, ItemsShowTheModelsMessagesAndTheirChangesReachIt) {
    auto message = mailbox->ReceiveFolder()->Deliver(
        Mail("From: Bob <bob@example.com>\r\nSubject: Lunch\r\nDisposition-Notification-To: "
             "bob@example.com\r\n\r\nAt noon?\r\n"));
    mailbox->ReceiveFolder()->Deliver(
        Mail("Content-Type: multipart/report; report-type=delivery-status; boundary=b\r\n"
             "Subject: Undeliverable\r\n\r\n--b\r\n\r\nfailed\r\n--b--\r\n"));
    auto inbox = DefaultFolder(6);
    CComPtr<Outlook::_Items> items;
    ASSERT_EQ(inbox->get_Items(&items), S_OK);
    LONG count = 0;
    items->get_Count(&count);
    EXPECT_EQ(count, 2);

    CComPtr<IDispatch> first, second;
    ASSERT_EQ(items->Item(Number(1), &first), S_OK);
    ASSERT_EQ(items->Item(Number(2), &second), S_OK);
    CComQIPtr<Outlook::_MailItem> mail(first);
    CComQIPtr<Outlook::_ReportItem> report(second);
    ASSERT_TRUE(mail && report);
    LONG objectClass = 0, size = 0;
    mail->get_Class(&objectClass);
    EXPECT_EQ(objectClass, Outlook::olMail);
    report->get_Class(&objectClass);
    EXPECT_EQ(objectClass, Outlook::olReport);
    BSTR text = nullptr;
    mail->get_Subject(&text);
    EXPECT_EQ(Take(text), L"Lunch");
    mail->get_MessageClass(&text);
    EXPECT_EQ(Take(text), L"IPM.Note");
    mail->get_Body(&text);
    EXPECT_EQ(Take(text), L"At noon?\r\n");
    mail->get_HTMLBody(&text);
    EXPECT_NE(Take(text).find(L"<!-- converted from text/plain format -->"), std::wstring::npos);
    mail->get_Size(&size);
    EXPECT_EQ(static_cast<std::uint32_t>(size), message->Size());
    DATE received = 0;
    ASSERT_EQ(mail->get_ReceivedTime(&received), S_OK);
    SYSTEMTIME time{};
    VariantTimeToSystemTime(received, &time);
    EXPECT_EQ(time.wYear * 10000 + time.wMonth * 100 + time.wDay, 20261205);
    EXPECT_EQ(time.wHour * 100 + time.wMinute, 900);

    VARIANT_BOOL flag = VARIANT_FALSE;
    mail->get_UnRead(&flag);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(mail->put_UnRead(VARIANT_FALSE), S_OK);
    EXPECT_TRUE(message->IsRead());
    mail->get_ReadReceiptRequested(&flag);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(mail->put_ReadReceiptRequested(VARIANT_FALSE), S_OK);
    EXPECT_EQ(message->Flags() & mailstore::kMsgFlagReceiptPending, 0u);
    EXPECT_EQ(mail->Save(), S_OK);

    // Moved within the store the item keeps its identifier.
    auto junk = DefaultFolder(23);
    CComPtr<IDispatch> moved;
    ASSERT_EQ(mail->Move(junk, &moved), S_OK);
    EXPECT_EQ(message->Parent(), mailbox->DefaultFolderOf(mailstore::DefaultFolder::Junk));
    CComQIPtr<Outlook::_MailItem> movedMail(moved);
    movedMail->get_EntryID(&text);
    EXPECT_EQ(Take(text), mailstore::EntryIdToHex(message->Id()));
    items->get_Count(&count);
    EXPECT_EQ(count, 1);

    // Found again by identifier; removed through the collection.
    CComPtr<IDispatch> again;
    EXPECT_EQ(nameSpace->GetItemFromID(CComBSTR(mailstore::EntryIdToHex(message->Id()).c_str()),
                                       Omitted(), &again),
              S_OK);
    EXPECT_EQ(items->Remove(1), S_OK);
    items->get_Count(&count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(report->get_Subject(&text), static_cast<HRESULT>(0x8004010F));
    EXPECT_EQ(items->Remove(1), DISP_E_BADINDEX);
}

TEST_F(OutlookMailTest, LateBoundCallersReachTheSameMembersByName) {
    auto message = mailbox->ReceiveFolder()->Deliver(Mail("Subject: By name\r\n\r\n"));
    const CComBSTR id(mailstore::EntryIdToHex(message->Id()).c_str());
    // GetItemFromID with the store identifier left out.
    CComVariant item;
    DISPID member = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"GetItemFromID");
    ASSERT_EQ(nameSpace->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &member), S_OK);
    EXPECT_EQ(member, 0x2109);
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = id;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    ASSERT_EQ(nameSpace->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                &item, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(V_VT(&item), VT_DISPATCH);
    CComPtr<IDispatch> mail(V_DISPATCH(&item));

    CComVariant subject;
    name = const_cast<LPOLESTR>(L"subject");
    ASSERT_EQ(mail->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &member), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(mail->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                           &subject, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(V_VT(&subject), VT_BSTR);
    ASSERT_NE(V_BSTR(&subject), nullptr);
    EXPECT_EQ(std::wstring(V_BSTR(&subject)), L"By name");

    // UnRead written as a property put.
    name = const_cast<LPOLESTR>(L"UnRead");
    ASSERT_EQ(mail->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &member), S_OK);
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BOOL;
    V_BOOL(&value) = VARIANT_FALSE;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&value, &named, 1, 1};
    EXPECT_EQ(mail->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put,
                           nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_TRUE(message->IsRead());
}

TEST_F(OutlookMailTest, MapiObjectsAreTheSessionAndTheMessageOfTheSameStore) {
    auto message = mailbox->ReceiveFolder()->Deliver(Mail("Subject: Shared\r\n\r\nText\r\n"));
    // The namespace's MAPIOBJECT is a session over the profile's two stores.
    CComVariant sessionObject;
    ASSERT_EQ(GetByName(nameSpace, L"mapiobject", &sessionObject), S_OK);
    ASSERT_EQ(sessionObject.vt, VT_UNKNOWN);
    CComQIPtr<IMAPISession> session(sessionObject.punkVal);
    ASSERT_TRUE(session);
    CComPtr<IMAPITable> stores;
    ASSERT_EQ(session->GetMsgStoresTable(0, &stores), S_OK);
    ULONG rows = 0;
    stores->GetRowCount(0, &rows);
    EXPECT_EQ(rows, 2u);

    // The item's MAPIOBJECT is its message: the same entry identifier, and
    // what MAPI changes the item shows.
    CComPtr<IDispatch> item;
    ASSERT_EQ(nameSpace->GetItemFromID(CComBSTR(mailstore::EntryIdToHex(message->Id()).c_str()),
                                       Omitted(), &item),
              S_OK);
    CComVariant messageObject;
    ASSERT_EQ(GetByName(item, L"MAPIOBJECT", &messageObject), S_OK);
    ASSERT_EQ(messageObject.vt, VT_UNKNOWN);
    CComQIPtr<IMessage> mapiMessage(messageObject.punkVal);
    ASSERT_TRUE(mapiMessage);
    LPSPropValue entryId = nullptr;
    ASSERT_EQ(mapiview::GetOneProp(mapiMessage, PR_ENTRYID, &entryId), S_OK);
    EXPECT_EQ(
        mailstore::EntryId(entryId->Value.bin.lpb, entryId->Value.bin.lpb + entryId->Value.bin.cb),
        message->Id());
    mapiview::FreeBuffer(entryId);
    ASSERT_EQ(mapiMessage->SetReadFlag(0), S_OK);
    CComQIPtr<Outlook::_MailItem> mail(item);
    VARIANT_BOOL unread = VARIANT_TRUE;
    ASSERT_EQ(mail->get_UnRead(&unread), S_OK);
    EXPECT_EQ(unread, VARIANT_FALSE);

    // An item whose message was deleted has no MAPI object either.
    message->Delete();
    CComPtr<IUnknown> gone;
    EXPECT_EQ(mail->get_MAPIOBJECT(&gone), static_cast<HRESULT>(0x8004010F));
    EXPECT_FALSE(gone);
    CComVariant none;
    EXPECT_EQ(GetByName(item, L"MAPIOBJECT", &none), static_cast<HRESULT>(0x8004010F));
    EXPECT_EQ(none.vt, VT_EMPTY);
}

TEST_F(OutlookMailTest, AnotherApartmentMovesAnItemThroughProxies) {
    auto message = mailbox->ReceiveFolder()->Deliver(Mail("Subject: Far away\r\n\r\n"));
    IStream* stream = nullptr;
    ASSERT_EQ(
        CoMarshalInterThreadInterfaceInStream(__uuidof(Outlook::_NameSpace), nameSpace, &stream),
        S_OK);
    const std::wstring id = mailstore::EntryIdToHex(message->Id());
    HRESULT moved = E_FAIL;
    std::wstring subject;
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {  // the proxies go before the apartment
            CComPtr<Outlook::_NameSpace> remote;
            CComPtr<Outlook::MAPIFolder> junk;
            CComPtr<IDispatch> item;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, __uuidof(Outlook::_NameSpace),
                                                         reinterpret_cast<void**>(&remote))) &&
                SUCCEEDED(remote->GetDefaultFolder(23, &junk)) &&
                SUCCEEDED(remote->GetItemFromID(CComBSTR(id.c_str()), Omitted(), &item))) {
                CComQIPtr<Outlook::_MailItem> mail(item);
                if (mail) {
                    CComBSTR text;
                    if (SUCCEEDED(mail->get_Subject(&text)))
                        subject.assign(text.m_str, text.Length());
                    CComPtr<IDispatch> after;
                    moved = mail->Move(junk, &after);
                }
            }
        }
        CoUninitialize();
        return DWORD{0};
    });
    ServeUntil(worker.handle());
    ServePending();
    EXPECT_EQ(subject, L"Far away");
    EXPECT_EQ(moved, S_OK);
    EXPECT_EQ(message->Parent(), mailbox->DefaultFolderOf(mailstore::DefaultFolder::Junk));
}

TEST_F(OutlookMailTest, FoldersAndItemsOutlivingTheHostAreDisconnected) {
    mailbox->ReceiveFolder()->Deliver(Mail("Subject: Kept\r\n\r\n"));
    auto inbox = DefaultFolder(6);
    CComPtr<Outlook::_Items> items;
    inbox->get_Items(&items);
    CComPtr<IDispatch> item;
    items->Item(Number(1), &item);
    CComQIPtr<Outlook::_MailItem> mail(item);
    host.reset();
    BSTR text = nullptr;
    EXPECT_EQ(inbox->get_Name(&text), RPC_E_DISCONNECTED);
    LONG count = 0;
    EXPECT_EQ(items->get_Count(&count), RPC_E_DISCONNECTED);
    EXPECT_EQ(mail->get_Subject(&text), RPC_E_DISCONNECTED);
}

}  // namespace
