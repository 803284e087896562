// Outlook's members made to fail: the result and error information a caller
// reads through the vtable, through IDispatch and from another apartment, and
// the census of the members a small use of the object model calls.
#include <atlbase.h>
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <mailstore/model.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outlook.h"
#include "outlook_host.h"
#include "apartment_waits.h"
#include "test_thread.h"
#include "dispatch_calls.h"
#include "outlook_session.h"
#include "call_fault_support.h"

namespace {

constexpr const wchar_t* kMadeToFail =
    L"MailItem.Subject failed with 0x80070005: the call was made to fail.";

mailstore::Bytes Mail(std::string_view text) {
    return mailstore::Bytes(text.begin(), text.end());
}

class OutlookCallFaultsTest : public OutlookSessionTest {
  protected:
    CComPtr<IDispatch> ItemOf(const mailstore::MessagePtr& message) {
        CComPtr<IDispatch> item;
        const std::wstring id = mailstore::EntryIdToHex(message->Id());
        EXPECT_EQ(nameSpace->GetItemFromID(CComBSTR(id.c_str()), Omitted(), &item), S_OK);
        return item;
    }
};

TEST_F(OutlookCallFaultsTest, AMemberMadeToFailGivesOutlooksErrorInformation) {
    auto message = mailbox->ReceiveFolder()->Deliver(Mail("Subject: Hello\r\n\r\n"));
    auto report = mailbox->ReceiveFolder()->Deliver(
        Mail("Subject: Undeliverable\r\nContent-Type: multipart/report; "
             "report-type=delivery-status; boundary=b\r\n\r\n--b\r\n\r\nfailed\r\n--b--\r\n"));
    CComQIPtr<Outlook::_MailItem> mail(ItemOf(message));
    CComQIPtr<Outlook::_ReportItem> reportItem(ItemOf(report));
    ASSERT_TRUE(mail && reportItem);

    ArmFailure(L"MailItem.Subject", E_ACCESSDENIED);
    CComBSTR other;
    EXPECT_EQ(reportItem->get_Subject(&other), S_OK);  // another object's Subject
    BSTR subject = SysAllocString(L"left by the caller");
    BSTR given = subject;
    EXPECT_EQ(mail->get_Subject(&subject), E_ACCESSDENIED);
    EXPECT_EQ(subject, nullptr);
    SysFreeString(given);
    const _com_error error = RaisedFor(E_ACCESSDENIED, mail, __uuidof(Outlook::_MailItem));
    EXPECT_EQ(error.Error(), E_ACCESSDENIED);
    EXPECT_EQ(std::wstring(error.Description()), kMadeToFail);
    EXPECT_EQ(std::wstring(error.Source()), L"Microsoft Office Outlook");
    EXPECT_TRUE(error.GUID() == __uuidof(Outlook::_MailItem));

    // Taken once, the failure is gone.
    EXPECT_EQ(mail->get_Subject(&subject), S_OK);
    EXPECT_EQ(Take(subject), L"Hello");
}

TEST_F(OutlookCallFaultsTest, ThroughIDispatchAFailureIsAnExceptionAndOneCall) {
    auto message = mailbox->ReceiveFolder()->Deliver(Mail("Subject: Hello\r\n\r\n"));
    CComPtr<IDispatch> item = ItemOf(message);
    platform::calls::ClearCensus();

    ArmFailure(L"MailItem.Subject", E_ACCESSDENIED);
    VARIANT value;
    VariantInit(&value);
    EXCEPINFO exception{};
    EXPECT_EQ(CallByName(item, L"Subject", DISPATCH_PROPERTYGET, {}, &value, &exception),
              DISP_E_EXCEPTION);
    EXPECT_EQ(V_VT(&value), VT_EMPTY);
    EXPECT_EQ(exception.scode, E_ACCESSDENIED);
    EXPECT_EQ(Take(exception.bstrSource), L"Microsoft Office Outlook");
    EXPECT_EQ(Take(exception.bstrDescription), kMadeToFail);
    SysFreeString(exception.bstrHelpFile);
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);  // the exception took it
    // Invoke ran the member once: one call counted, not two.
    ASSERT_EQ(platform::calls::Census().size(), 1u);
    EXPECT_EQ(platform::calls::Census()[0].calls, 1u);

    // A failure of Outlook's own, with error information of an earlier call
    // still on the thread, keeps its code and leaves that information be.
    ArmFailure(L"MailItem.Subject", E_ACCESSDENIED);
    CComQIPtr<Outlook::_MailItem> mail(item);
    BSTR subject = nullptr;
    ASSERT_EQ(mail->get_Subject(&subject), E_ACCESSDENIED);
    message->Delete();
    EXPECT_EQ(GetByName(item, L"Subject", &value), static_cast<HRESULT>(0x8004010F));
    IErrorInfo* earlier = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &earlier), S_OK);
    BSTR description = nullptr;
    earlier->GetDescription(&description);
    earlier->Release();
    EXPECT_EQ(Take(description), kMadeToFail);
}

TEST_F(OutlookCallFaultsTest, TheCensusNamesTheMembersAUseOfTheModelCalls) {
    auto message = mailbox->ReceiveFolder()->Deliver(Mail("Subject: Spam\r\n\r\n"));
    EXPECT_TRUE(platform::calls::Census().empty());  // the host's own calls are none
    CComPtr<Outlook::MAPIFolder> inbox, junk;
    ASSERT_EQ(nameSpace->GetDefaultFolder(6, &inbox), S_OK);
    ASSERT_EQ(nameSpace->GetDefaultFolder(23, &junk), S_OK);
    CComPtr<Outlook::_Items> items;
    ASSERT_EQ(inbox->get_Items(&items), S_OK);
    LONG count = 0;
    ASSERT_EQ(items->get_Count(&count), S_OK);
    CComPtr<IDispatch> item;
    ASSERT_EQ(items->Item(Number(1), &item), S_OK);
    VARIANT subject;
    VariantInit(&subject);
    ASSERT_EQ(GetByName(item, L"Subject", &subject), S_OK);
    VariantClear(&subject);
    CComQIPtr<Outlook::_MailItem> mail(item);
    CComPtr<IDispatch> moved;
    ASSERT_EQ(mail->Move(junk, &moved), S_OK);

    // Move reads its destination's EntryID as Outlook's own business.
    EXPECT_EQ(CensusNames(), (std::vector<std::wstring>{
                                 L"NameSpace.GetDefaultFolder", L"MAPIFolder.Items", L"Items.Count",
                                 L"Items.Item", L"MailItem.Subject", L"MailItem.Move"}));
    EXPECT_EQ(platform::calls::Census()[0].calls, 2u);
}

TEST_F(OutlookCallFaultsTest, AnotherApartmentReadsTheErrorInformationOfAFailure) {
    auto message = mailbox->ReceiveFolder()->Deliver(Mail("Subject: Far away\r\n\r\n"));
    IStream* stream = nullptr;
    ASSERT_EQ(
        CoMarshalInterThreadInterfaceInStream(__uuidof(Outlook::_NameSpace), nameSpace, &stream),
        S_OK);
    const std::wstring id = mailstore::EntryIdToHex(message->Id());
    ArmFailure(L"MailItem.Subject", E_ACCESSDENIED);
    HRESULT read = S_OK;
    std::wstring description;
    std::wstring source;
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {  // the proxies go before the apartment
            CComPtr<Outlook::_NameSpace> remote;
            CComPtr<IDispatch> item;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, __uuidof(Outlook::_NameSpace),
                                                         reinterpret_cast<void**>(&remote))) &&
                SUCCEEDED(remote->GetItemFromID(CComBSTR(id.c_str()), Omitted(), &item))) {
                CComQIPtr<Outlook::_MailItem> mail(item);
                CComBSTR subject;
                read = mail ? mail->get_Subject(&subject) : E_NOINTERFACE;
                const _com_error error = RaisedFor(read, mail, __uuidof(Outlook::_MailItem));
                description = error.Description().length() ? error.Description() : L"";
                source = error.Source().length() ? error.Source() : L"";
            }
        }
        CoUninitialize();
        return DWORD{0};
    });
    ServeUntil(worker.handle());
    ServePending();
    EXPECT_EQ(read, E_ACCESSDENIED);
    EXPECT_EQ(description, kMadeToFail);
    EXPECT_EQ(source, L"Microsoft Office Outlook");
}

class OutlookCallFaultsVersionTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(OutlookCallFaultsVersionTest, OutlookAfter2007NamesItselfWithoutOffice) {
    outlook::host::OutlookHost host(L"14.0.0.7012");
    CComPtr<IDispatch> dispatch;
    dispatch.Attach(host.Application());
    CComQIPtr<Outlook::_Application> application(dispatch);
    ASSERT_TRUE(application);
    ArmFailure(L"Version", E_FAIL);
    BSTR version = nullptr;
    ASSERT_EQ(application->get_Version(&version), E_FAIL);
    const _com_error error = RaisedFor(E_FAIL, application, __uuidof(Outlook::_Application));
    EXPECT_EQ(std::wstring(error.Source()), L"Microsoft Outlook");
    EXPECT_EQ(std::wstring(error.Description()),
              L"Application.Version failed with 0x80004005: the call was made to fail.");
}

}  // namespace
