// Outlook's items as the add-in's recheck, folder cleaning and footer use
// them: Restrict with the filter the add-in writes, Sort, the folder picker,
// bodies written, and report items that are not mail items.
#include <atlbase.h>
#include <objbase.h>
#include <oleauto.h>
#include <platform/clock.h>
#include <windows.h>

#include <mailstore/model.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outlook.h"
#include "outlook_host.h"
#include "dispatch_calls.h"
#include "outlook_session.h"

namespace {

using outlook::host::OutlookHost;

constexpr ULONGLONG kSecond = 1000;
constexpr ULONGLONG kMinute = 60 * kSecond;

// The recheck's filter for a time written as the add-in writes it.
std::wstring RecheckFilter(const std::wstring& date) {
    return L"[MessageClass] = 'IPM.Note' AND [unread] = true AND [receivedtime] >= '" + date + L"'";
}

// A mailbox whose Inbox the test fills.
class OutlookItemsTest : public OutlookSessionTest {
  protected:
    void TearDown() override {
        outlook::host::SetFolderPickerChoice(std::nullopt);
        platform::host::SetTimeZoneOffset(0);  // the next test starts in UTC again
        OutlookSessionTest::TearDown();
    }

    // Delivers a mail into the Inbox at the clock's time, then moves the
    // clock on by `after` milliseconds.
    mailstore::MessagePtr Deliver(const std::string& subject, ULONGLONG after,
                                  const std::string& headers = "") {
        const std::string text = headers + "Subject: " + subject + "\r\n\r\nText\r\n";
        auto message =
            mailbox->ReceiveFolder()->Deliver(mailstore::Bytes(text.begin(), text.end()));
        platform::host::AdvanceClock(after);
        return message;
    }

    CComPtr<Outlook::_Items> Items(LONG kind) {
        CComPtr<Outlook::MAPIFolder> folder;
        EXPECT_EQ(nameSpace->GetDefaultFolder(kind, &folder), S_OK);
        CComPtr<Outlook::_Items> items;
        if (folder) {
            EXPECT_EQ(folder->get_Items(&items), S_OK);
        }
        return items;
    }

    // The subjects of a collection's items, walked by index.
    static std::vector<std::wstring> Subjects(Outlook::_Items* items) {
        std::vector<std::wstring> subjects;
        LONG count = 0;
        items->get_Count(&count);
        for (LONG i = 1; i <= count; ++i) {
            CComVariant index(i);
            CComPtr<IDispatch> item;
            if (FAILED(items->Item(index, &item)))
                break;
            CComVariant subject;
            CallByName(item, L"Subject", DISPATCH_PROPERTYGET, {}, &subject);
            subjects.push_back(subject.vt == VT_BSTR ? subject.bstrVal : L"?");
        }
        return subjects;
    }
};

using Names = std::vector<std::wstring>;

TEST_F(OutlookItemsTest, RestrictKeepsUnreadNotesFromTheMinuteOnward) {
    Deliver("before", 4 * kMinute + 59 * kSecond);  // 9:00:00
    Deliver("a second early", 31 * kSecond);        // 9:04:59
    Deliver("in the minute", 30 * kSecond);         // 9:05:30
    Deliver("read", kMinute)->SetRead(true);        // 9:06:00
    Deliver("report", kMinute,
            "Content-Type: multipart/report; report-type=delivery-status; boundary=b\r\n");
    Deliver("signed", kMinute, "X-Message-Class: IPM.Note.SMIME\r\n");  // 9:08:00
    Deliver("later", kMinute);                                          // 9:09:00

    auto inbox = Items(6);
    CComPtr<Outlook::_Items> restricted;
    ASSERT_EQ(inbox->Restrict(CComBSTR(RecheckFilter(L" 5 Dec 2026  9: 5").c_str()), &restricted),
              S_OK);
    ASSERT_TRUE(restricted);
    EXPECT_EQ(Subjects(restricted), (Names{L"in the minute", L"later"}));

    // A snapshot: mail arriving afterwards is not in it.
    Deliver("afterwards", kMinute);
    LONG count = 0;
    restricted->get_Count(&count);
    EXPECT_EQ(count, 2);

    // Names in any case, other comparisons, a full month name and US dates.
    CComPtr<Outlook::_Items> others;
    ASSERT_EQ(inbox->Restrict(CComBSTR(L"[SUBJECT] <> 'later' AND [ReceivedTime] < "
                                       L"'12/5/2026 9:05 AM' AND [UnRead] = 1"),
                              &others),
              S_OK);
    EXPECT_EQ(Subjects(others), (Names{L"before", L"a second early"}));
    others.Release();
    ASSERT_EQ(inbox->Restrict(CComBSTR(L"[receivedtime] > '5 December 2026 9:08'"), &others), S_OK);
    EXPECT_EQ(Subjects(others), (Names{L"later", L"afterwards"}));
}

TEST_F(OutlookItemsTest, RestrictComparesInLocalTime) {
    platform::host::SetTimeZoneOffset(60);  // 9:00 UTC is 10:00 here
    Deliver("at ten", kMinute);
    auto inbox = Items(6);
    CComPtr<Outlook::_Items> restricted;
    ASSERT_EQ(inbox->Restrict(CComBSTR(RecheckFilter(L" 5 Dec 2026 10: 0").c_str()), &restricted),
              S_OK);
    EXPECT_EQ(Subjects(restricted), (Names{L"at ten"}));
    restricted.Release();
    ASSERT_EQ(inbox->Restrict(CComBSTR(RecheckFilter(L" 5 Dec 2026 10: 1").c_str()), &restricted),
              S_OK);
    EXPECT_EQ(Subjects(restricted), Names{});
}

TEST_F(OutlookItemsTest, MalformedFiltersFailAndChangeNothing) {
    Deliver("one", kMinute);
    auto inbox = Items(6);
    for (const wchar_t* filter :
         {L"", L"[MessageClass] = IPM.Note", L"[Nothing] = 'x'", L"[UnRead] = true OR [Size] > 1",
          L"[ReceivedTime] >= '31 Foo 2026'", L"[ReceivedTime] >= '30 Feb 2026'",
          L"[UnRead] = 'true'", L"[Subject] = 'open", L"[UnRead] = true AND"}) {
        CComPtr<Outlook::_Items> restricted;
        EXPECT_EQ(inbox->Restrict(CComBSTR(filter), &restricted), E_INVALIDARG) << filter;
        EXPECT_FALSE(restricted) << filter;
    }
    // By name the failure is an exception with Outlook's text.
    CComVariant result;
    EXCEPINFO exception{};
    EXPECT_EQ(CallByName(inbox, L"Restrict", DISPATCH_METHOD,
                         {CComVariant(L"[MessageClass] == 'IPM.Note'")}, &result, &exception),
              DISP_E_EXCEPTION);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(exception.scode, E_INVALIDARG);
    EXPECT_EQ(Take(exception.bstrDescription),
              L"Cannot parse condition. Error at \"= 'IPM.Note'\".");
    SysFreeString(exception.bstrSource);
    EXPECT_EQ(Subjects(inbox), (Names{L"one"}));
}

TEST_F(OutlookItemsTest, RestrictOnAnEmptyFolderGivesAnEmptyCollection) {
    auto junk = Items(23);
    CComPtr<Outlook::_Items> restricted;
    ASSERT_EQ(junk->Restrict(CComBSTR(RecheckFilter(L"29 Dec 1899  0: 0").c_str()), &restricted),
              S_OK);
    LONG count = -1;
    ASSERT_EQ(restricted->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    CComPtr<IDispatch> none;
    EXPECT_EQ(restricted->Item(CComVariant(1), &none), DISP_E_BADINDEX);
}

TEST_F(OutlookItemsTest, SortWalksByReceivedTimeEitherWay) {
    auto second = Deliver("second", kMinute);
    auto first = Deliver("first", kMinute);
    Deliver("third", kMinute);
    // Received times out of the folder's order.
    first->Set(mailstore::tags::kMessageDeliveryTime, second->ReceivedTime());
    second->Set(mailstore::tags::kMessageDeliveryTime,
                mailstore::SysTime{first->ReceivedTime().ticks + 1});

    auto inbox = Items(6);
    EXPECT_EQ(Subjects(inbox), (Names{L"second", L"first", L"third"}));
    ASSERT_EQ(inbox->Sort(CComBSTR(L"[ReceivedTime]"), Omitted()), S_OK);
    EXPECT_EQ(Subjects(inbox), (Names{L"first", L"second", L"third"}));
    ASSERT_EQ(inbox->Sort(CComBSTR(L"[ReceivedTime]"), CComVariant(true)), S_OK);
    EXPECT_EQ(Subjects(inbox), (Names{L"third", L"second", L"first"}));

    // A restricted collection keeps the order; by name Descending may be left out.
    CComPtr<Outlook::_Items> restricted;
    ASSERT_EQ(inbox->Restrict(CComBSTR(L"[Subject] <> 'second'"), &restricted), S_OK);
    EXPECT_EQ(Subjects(restricted), (Names{L"third", L"first"}));
    CComVariant none;
    ASSERT_EQ(
        CallByName(restricted, L"sort", DISPATCH_METHOD, {CComVariant(L"[receivedtime]")}, &none),
        S_OK);
    EXPECT_EQ(Subjects(restricted), (Names{L"first", L"third"}));
    EXPECT_EQ(inbox->Sort(CComBSTR(L"[Importance]"), Omitted()), E_INVALIDARG);
}

TEST_F(OutlookItemsTest, FolderPickerGivesTheUsersChoiceOrNothing) {
    CComPtr<Outlook::MAPIFolder> picked;
    // Nothing chosen yet: the user cancelled.
    ASSERT_EQ(nameSpace->PickFolder(&picked), S_OK);
    EXPECT_FALSE(picked);

    auto junk = mailbox->DefaultFolderOf(mailstore::DefaultFolder::Junk);
    outlook::host::SetFolderPickerChoice(junk->Id());
    CComVariant result;
    ASSERT_EQ(CallByName(nameSpace, L"PickFolder", DISPATCH_METHOD, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_DISPATCH);
    CComQIPtr<Outlook::MAPIFolder> folder(result.pdispVal);
    ASSERT_TRUE(folder);
    BSTR text = nullptr;
    folder->get_EntryID(&text);
    EXPECT_EQ(Take(text), mailstore::EntryIdToHex(junk->Id()));

    // A chosen folder deleted since is no choice.
    auto gone = mailbox->IpmSubtree()->CreateSubfolder(L"Gone");
    outlook::host::SetFolderPickerChoice(gone->Id());
    gone->Delete();
    ASSERT_EQ(nameSpace->PickFolder(&picked), S_OK);
    EXPECT_FALSE(picked);
}

TEST_F(OutlookItemsTest, BodiesWrittenByNameStayInStep) {
    auto message = Deliver("footer", kMinute);
    CComPtr<IDispatch> item;
    ASSERT_EQ(nameSpace->GetItemFromID(CComBSTR(mailstore::EntryIdToHex(message->Id()).c_str()),
                                       Omitted(), &item),
              S_OK);
    CComVariant none;
    ASSERT_EQ(CallByName(item, L"Body", DISPATCH_PROPERTYPUT, {CComVariant(L"Hello <you>")}, &none),
              S_OK);
    EXPECT_EQ(message->PlainBody(), L"Hello <you>");
    EXPECT_NE(message->HtmlBody().find(L"<!-- converted from text/plain format -->"),
              std::wstring::npos);
    EXPECT_NE(message->HtmlBody().find(L"Hello &lt;you&gt;"), std::wstring::npos);

    ASSERT_EQ(CallByName(item, L"htmlbody", DISPATCH_PROPERTYPUT,
                         {CComVariant(L"<html><body><b>Bold</b> text</body></html>")}, &none),
              S_OK);
    EXPECT_EQ(message->HtmlBody(), L"<html><body><b>Bold</b> text</body></html>");
    EXPECT_EQ(message->PlainBody(), L"Bold text");
    CComVariant body;
    ASSERT_EQ(CallByName(item, L"Body", DISPATCH_PROPERTYGET, {}, &body), S_OK);
    EXPECT_STREQ(body.bstrVal, L"Bold text");
    // A put needs its one value.
    EXPECT_EQ(CallByName(item, L"Body", DISPATCH_PROPERTYPUT, {}, &none), DISP_E_BADPARAMCOUNT);

    message->Delete();
    CComQIPtr<Outlook::_MailItem> mail(item);
    EXPECT_EQ(mail->put_Body(CComBSTR(L"late")), static_cast<HRESULT>(0x8004010F));
}

TEST_F(OutlookItemsTest, ReportItemsAreNotMailItems) {
    auto report = Deliver("Undeliverable", kMinute,
                          "Content-Type: multipart/report; report-type=delivery-status; "
                          "boundary=b\r\n");
    auto meeting = Deliver("Meeting", kMinute, "X-Message-Class: IPM.Schedule.Meeting.Request\r\n");
    auto inbox = Items(6);
    CComPtr<IDispatch> first, second;
    ASSERT_EQ(inbox->Item(CComVariant(1), &first), S_OK);
    ASSERT_EQ(inbox->Item(CComVariant(2), &second), S_OK);

    EXPECT_FALSE(CComQIPtr<Outlook::_MailItem>(first));
    CComQIPtr<Outlook::_ReportItem> reportItem(first);
    ASSERT_TRUE(reportItem);
    CComVariant objectClass;
    ASSERT_EQ(CallByName(first, L"Class", DISPATCH_PROPERTYGET, {}, &objectClass), S_OK);
    EXPECT_EQ(objectClass.lVal, Outlook::olReport);
    BSTR text = nullptr;
    reportItem->get_MessageClass(&text);
    EXPECT_EQ(Take(text), L"REPORT.IPM.Note.NDR");
    // Members a report item lacks are unknown by name.
    CComVariant body;
    EXPECT_EQ(CallByName(first, L"Body", DISPATCH_PROPERTYGET, {}, &body), DISP_E_UNKNOWNNAME);

    // The meeting request stays a mail item, of its own class.
    CComQIPtr<Outlook::_MailItem> meetingItem(second);
    ASSERT_TRUE(meetingItem);
    LONG meetingClass = 0;
    meetingItem->get_Class(&meetingClass);
    EXPECT_EQ(meetingClass, Outlook::olMeetingRequest);

    // Found by identifier it is a report item too, and it moves like mail.
    CComPtr<IDispatch> again;
    ASSERT_EQ(nameSpace->GetItemFromID(CComBSTR(mailstore::EntryIdToHex(report->Id()).c_str()),
                                       Omitted(), &again),
              S_OK);
    EXPECT_FALSE(CComQIPtr<Outlook::_MailItem>(again));
    CComPtr<Outlook::MAPIFolder> junk;
    ASSERT_EQ(nameSpace->GetDefaultFolder(23, &junk), S_OK);
    CComPtr<IDispatch> moved;
    ASSERT_EQ(reportItem->Move(junk, &moved), S_OK);
    EXPECT_TRUE(CComQIPtr<Outlook::_ReportItem>(moved));
    EXPECT_EQ(report->Parent(), mailbox->DefaultFolderOf(mailstore::DefaultFolder::Junk));
    CComPtr<IDispatch> parent;
    ASSERT_EQ(reportItem->get_Parent(&parent), S_OK);
    EXPECT_TRUE(CComQIPtr<Outlook::MAPIFolder>(parent));
}

}  // namespace
