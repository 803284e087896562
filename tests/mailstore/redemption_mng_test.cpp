// Message access through the safe-item library as an installation registers
// it: mail delivered into the store, read back through Outlook's items and
// the library's safe mail item; and the library's new-mail event.
#include "mailstore/redemption_mng.h"

#include <atlconnect.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <mailstore/model.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/log_files.h"
#include "mapiview/mapi_view.h"
#include "module_files.h"
#include "outlook_host.h"
#include "temp_root.h"
#include "test_thread.h"

namespace {

const std::wstring kSafeItems = L"C:\\Program Files\\Brevint\\BVOLTOOL.dll";

mailstore::Bytes Mail(std::string_view text) {
    return mailstore::Bytes(text.begin(), text.end());
}

// A mail between two Exchange mailboxes, with the organisations named.
std::string ExchangeMail(const std::string& senderOrganisation,
                         const std::string& receiverOrganisation) {
    return "From: Tom Baker <tom@first.example>\r\n"
           "X-EX-Sender: /o=" +
           senderOrganisation +
           "/ou=Group/cn=tom\r\n"
           "To: Jane Doe <jane@first.example>\r\n"
           "X-EX-Receiver: /o=" +
           receiverOrganisation +
           "/ou=Group/cn=jane\r\n"
           "Subject: Budget\r\n\r\nMoved to Thursday.\r\n";
}

const char kInternetMail[] =
    "From: Ann Smith <ann@example.com>\r\nTo: jane@first.example\r\nSubject: Offer\r\n"
    "Content-Type: text/plain; charset=windows-1252\r\n\r\nCaf\xe9 prices.\r\n";

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

// The test thread is Outlook's user-interface thread; the profile has one
// Exchange mailbox, whose Inbox receives the mail.
class RedemptionMngTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeLogsFolder();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        InstallModule(BV_SAFEITEM_MODULE_FILE, kSafeItems);
        ASSERT_EQ(RunExport(kSafeItems, "DllRegisterServer"), S_OK);
        auto profile = mailstore::Model::Process().AddProfile(L"Outlook");
        m_mailbox = profile->AddStore(mailstore::StoreSettings::Exchange(
            L"Mailbox - Jane Doe", L"EX", "/o=EX/ou=Group/cn=jane"));
        m_host = std::make_unique<outlook::host::OutlookHost>(L"11.0.0.8312");
        ASSERT_EQ(m_host->MapiNamespace(&m_nameSpace), S_OK);
    }
    void TearDown() override {
        CRedemptionMng::ReleaseInstance();
        m_nameSpace.Release();
        m_host.reset();
        mailstore::Model::Process().Clear();
        CoUninitialize();
    }

    mailstore::MessagePtr Deliver(std::string_view text) {
        return m_mailbox->ReceiveFolder()->Deliver(Mail(text));
    }
    // Outlook's item of a stored message, found as the add-in finds it.
    MailItemRef ItemOf(const mailstore::MessagePtr& message) {
        CComPtr<IDispatch> item;
        VARIANT omitted;
        VariantInit(&omitted);
        V_VT(&omitted) = VT_ERROR;
        V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
        const CComBSTR id(mailstore::EntryIdToHex(message->Id()).c_str());
        EXPECT_EQ(m_nameSpace->GetItemFromID(id, omitted, &item), S_OK);
        return CComQIPtr<Outlook::_MailItem>(item).p;
    }
    MailItemRef Delivered(std::string_view text) { return ItemOf(Deliver(text)); }

    TempRoot m_root;
    mailstore::StorePtr m_mailbox;
    std::unique_ptr<outlook::host::OutlookHost> m_host;
    CComPtr<Outlook::_NameSpace> m_nameSpace;
};

using Lines = std::vector<std::string>;

TEST_F(RedemptionMngTest, SameOrganisationIsExactAndCaseSensitive) {
    const char* kFunction = "CRedemptionMng::IsSameExchangeServer";
    EXPECT_TRUE(IsSameExchangeServer(Delivered(ExchangeMail("EX", "EX"))));
    EXPECT_TRUE(LinesOf(kFunction).empty());

    EXPECT_FALSE(IsSameExchangeServer(Delivered(ExchangeMail("ex", "EX"))));
    EXPECT_EQ(LinesOf(kFunction), (Lines{"domains: ex EX"}));
}

TEST_F(RedemptionMngTest, ExchangeSenderWithoutReceiverTypeIsSameServer) {
    auto item =
        Delivered("X-EX-Sender: /o=Other/ou=Group/cn=tom\r\nSubject: Note\r\n\r\nHello.\r\n");
    EXPECT_TRUE(IsSameExchangeServer(item));
    EXPECT_EQ(LinesOf("CRedemptionMng::IsSameExchangeServer"), (Lines{"EX - 0"}));
}

TEST_F(RedemptionMngTest, InternetSenderIsNeitherSameServerNorExchangeUser) {
    auto item = Delivered(kInternetMail);
    EXPECT_FALSE(IsSameExchangeServer(item));
    EXPECT_FALSE(IsExchangeUser(item));
    EXPECT_TRUE(LinesOf("CRedemptionMng::IsSameExchangeServer").empty());
    EXPECT_TRUE(LinesOf("CRedemptionMng::IsExchangeUser").empty());

    std::wstring name, address;
    EXPECT_TRUE(GetMailAuthor(item, name));
    EXPECT_TRUE(GetMailEmail(item, address));
    EXPECT_EQ(name, L"Ann Smith");
    EXPECT_EQ(address, L"ann@example.com");

    EXPECT_TRUE(IsExchangeUser(Delivered(ExchangeMail("EX", "EX"))));
}

TEST_F(RedemptionMngTest, MessageWithoutSenderLogsTheFailedReads) {
    auto item = Delivered("Subject: Nobody\r\n\r\nText.\r\n");
    std::wstring name, address;
    EXPECT_FALSE(GetMailAuthor(item, name));
    EXPECT_FALSE(GetMailEmail(item, address));
    EXPECT_FALSE(IsSameExchangeServer(item));
    // The reads succeed without a string: result code 0, no string's address.
    EXPECT_EQ(LinesOf("CRedemptionMng::GetMailAuthor"), (Lines{"42001E: 0", "bstr: 0"}));
    EXPECT_EQ(LinesOf("CRedemptionMng::GetMailEmail"), (Lines{"hr: 0", "bstr: 0"}));
    EXPECT_EQ(LinesOf("CRedemptionMng::IsSameExchangeServer"),
              (Lines{"could not detect sender type"}));
}

TEST_F(RedemptionMngTest, BodyIsPlainWhenTheHtmlOneWasConvertedFromIt) {
    std::wstring body;
    long format = 0;
    auto mail = Deliver(kInternetMail);
    ASSERT_NE(mail->HtmlBody().find(L"<!-- converted from text/plain format -->"),
              std::wstring::npos);
    EXPECT_TRUE(GetMessgeBody(ItemOf(mail), body, format));
    EXPECT_EQ(format, kBodyFormatPlain);
    EXPECT_EQ(body, L"Caf\u00e9 prices.\r\n");

    EXPECT_TRUE(GetMessgeBody(Delivered("From: a@b.example\r\nSubject: Html\r\n"
                                        "Content-Type: text/html\r\n\r\n<p>Hi</p>\r\n"),
                              body, format));
    EXPECT_EQ(format, kBodyFormatHtml);
    EXPECT_EQ(body, L"<p>Hi</p>\r\n");
}

TEST_F(RedemptionMngTest, Rfc822TextIsTheDeliveredBytesInTheAnsiCodePage) {
    std::unique_ptr<wchar_t[]> text;
    DWORD length = 0;
    std::wstring headers;
    ASSERT_TRUE(GetMessageRFC822(Delivered(kInternetMail), text, length, headers));
    const std::string sent = kInternetMail;
    ASSERT_EQ(length, sent.size() + 1);
    ASSERT_TRUE(text);
    EXPECT_EQ(text[length - 1], L'\0');
    // Code page 1252 maps every byte of this mail, é (0xE9) included.
    std::wstring expected(sent.begin(), sent.end());
    std::transform(expected.begin(), expected.end(), expected.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); });
    EXPECT_EQ(std::wstring(text.get()), expected);
    EXPECT_EQ(headers,
              L"From: Ann Smith <ann@example.com>\r\nTo: jane@first.example\r\n"
              L"Subject: Offer\r\nContent-Type: text/plain; charset=windows-1252\r\n");
    const auto lines = LinesOf("CRedemptionMng::GetMessageRFC822");
    EXPECT_EQ(lines.front(), "Creating safe mail item...");
    EXPECT_EQ(lines.back(), "RFC822 body has retrieved");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "size: " + std::to_string(sent.size())),
              lines.end());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("converted size"); }),
              0);
}

TEST_F(RedemptionMngTest, MessageWithoutTransportHeadersStillHasItsText) {
    const std::string sent =
        "X-Transport-Headers: none\r\nFrom: ann@example.com\r\nSubject: Local\r\n\r\nBody.\r\n";
    std::unique_ptr<wchar_t[]> text;
    DWORD length = 0;
    std::wstring headers = L"left from before";
    ASSERT_TRUE(GetMessageRFC822(Delivered(sent), text, length, headers));
    EXPECT_TRUE(headers.empty());
    ASSERT_TRUE(text);
    EXPECT_EQ(std::wstring(text.get()), std::wstring(sent.begin(), sent.end()));
}

TEST_F(RedemptionMngTest, ItemWhoseMessageIsGoneCannotBeWrapped) {
    auto message = Deliver(kInternetMail);
    MailItemRef item = ItemOf(message);
    message->Delete();
    std::unique_ptr<wchar_t[]> text;
    DWORD length = 0;
    std::wstring headers;
    EXPECT_FALSE(GetMessageRFC822(item, text, length, headers));
    EXPECT_FALSE(text);
    EXPECT_EQ(LinesOf("CRedemptionMng::GetMessageRFC822"),
              (Lines{"Creating safe mail item...", "put item error"}));
    EXPECT_FALSE(IsSameExchangeServer(item));
    EXPECT_EQ(LinesOf("CRedemptionMng::IsSameExchangeServer"), (Lines{"put item error"}));
}

// An item that offers only its MAPI message, as a script sees it by name.
class MapiObjectItem : public IDispatch {
  public:
    explicit MapiObjectItem(const mailstore::MessagePtr& message) {
        EXPECT_EQ(mapiview::MessageFor(message, &m_message), S_OK);
    }
    ~MapiObjectItem() {
        if (m_message)
            m_message->Release();
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IDispatch ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetTypeInfoCount)(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        *ids = std::wstring(names[0]) == L"MAPIOBJECT" ? 1 : DISPID_UNKNOWN;
        return *ids == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != 1)
            return DISP_E_MEMBERNOTFOUND;
        m_message->AddRef();
        V_VT(result) = VT_UNKNOWN;
        V_UNKNOWN(result) = m_message;
        return S_OK;
    }

  private:
    IMessage* m_message = nullptr;
};

TEST_F(RedemptionMngTest, SafeItemFindsTheMessageThroughItsMapiObject) {
    MapiObjectItem item(Deliver(kInternetMail));
    CComPtr<bvoltool::IBVMailItem> safeItem;
    ASSERT_EQ(safeItem.CoCreateInstance(CLSID_BVMailItem), S_OK);
    ASSERT_EQ(safeItem->put_Item(&item), S_OK);
    CComVariant value;
    ASSERT_EQ(safeItem->get_Fields(0x0065001E, &value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_STREQ(value.bstrVal, L"ann@example.com");
    // The mail has no Message-ID: an absent string is no string at all.
    value.Clear();
    ASSERT_EQ(safeItem->get_Fields(0x1035001E, &value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);
}

// Records the library's events: which, on which thread, with which item.
class NewMailSink : public IDispatch {
  public:
    struct Event {
        DISPID id;
        DWORD thread;
        std::wstring entryId;
    };
    std::vector<Event> events;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        const bool known =
            iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IBVMAPIUtilsEvents;
        *object = known ? this : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetTypeInfoCount)(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        Event event{id, GetCurrentThreadId(), {}};
        CComQIPtr<bvoltool::IBVNewMailItem> item;
        if (params->cArgs == 1 && V_VT(&params->rgvarg[0]) == VT_DISPATCH)
            item = V_DISPATCH(&params->rgvarg[0]);
        CComBSTR entryId;
        if (item && SUCCEEDED(item->get_EntryID(&entryId)))
            event.entryId.assign(entryId.m_str, entryId.Length());
        events.push_back(event);
        return S_OK;
    }
};

TEST_F(RedemptionMngTest, NewMailIsRaisedOnTheAdvisingThreadWhenItPumps) {
    CComPtr<bvoltool::IBVMAPIUtils> utils;
    ASSERT_EQ(utils.CoCreateInstance(CLSID_BVMAPIUtils), S_OK);
    NewMailSink sink;
    DWORD cookie = 0;
    ASSERT_EQ(AtlAdvise(utils, &sink, DIID_IBVMAPIUtilsEvents, &cookie), S_OK);

    // Delivered on another thread, as the mail server's delivery is.
    mailstore::MessagePtr delivered;
    {
        TestThread server([&] {
            delivered = Deliver(kInternetMail);
            return DWORD{0};
        });
    }
    ASSERT_TRUE(delivered);
    EXPECT_TRUE(sink.events.empty());
    Pump();
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].id, 1);
    EXPECT_EQ(sink.events[0].thread, GetCurrentThreadId());
    EXPECT_EQ(sink.events[0].entryId, mailstore::EntryIdToHex(delivered->Id()));

    // A message made in the store is not new mail; after unadvising nothing comes.
    m_mailbox->ReceiveFolder()->CreateMessage("IPM.Note");
    Pump();
    EXPECT_EQ(sink.events.size(), 1u);
    ASSERT_EQ(AtlUnadvise(utils, DIID_IBVMAPIUtilsEvents, cookie), S_OK);
    Deliver(kInternetMail);
    Pump();
    EXPECT_EQ(sink.events.size(), 1u);
}

}  // namespace
