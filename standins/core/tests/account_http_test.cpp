// The core's network objects against the service stand-in: the account's
// logon and values, the HTTP object, the footer document through the XML
// object, and the digest.
#include "core_test_support.h"

#include <platform/windows.h>

#include "service/service_standin.h"

#include <algorithm>

namespace {

using brevint_core::IAccount;
using brevint_core::IDigest;
using brevint_core::IHTTP;
using brevint_core::IXML;

const std::wstring kInstallation = L"Software\\Brevint\\Installation";
const std::wstring kAccount = L"Software\\Brevint\\Account";

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

class AccountTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_TRUE(m_service.Start());
        SetString(HKEY_LOCAL_MACHINE, kInstallation, L"Login Server", Wide(m_service.Url()));
        SetDword(HKEY_LOCAL_MACHINE, kAccount, L"Identity", 7);
        SetString(HKEY_LOCAL_MACHINE, kAccount, L"Password", L"p&ss word");
        m_service.SetAccount(7, "p&ss word");
        Create(L"Brevint.Account", m_account);
    }

    short LogOn() {
        short loggedIn = -5;
        EXPECT_EQ(m_account->LogOn(&loggedIn), S_OK);
        return loggedIn;
    }
    std::wstring Value(const wchar_t* key) {
        Bstr value;
        EXPECT_EQ(m_account->GetValue(Bstr(key), value.Out()), S_OK);
        return value.Text();
    }

    standins::service::FilterService m_service;
    Ref<IAccount> m_account;
};

TEST_F(AccountTest, LogOnFetchesTheAccountsValues) {
    EXPECT_EQ(Value(L"Login.Access"), L"");  // nothing before the logon
    ASSERT_EQ(LogOn(), 1);
    EXPECT_EQ(Value(L"Login.Access"), L"Approved");
    EXPECT_EQ(Value(L"Login.Disabled"), L"0");
    EXPECT_EQ(Value(L"url.Email"), Wide(m_service.Url()) + L"/Account/MailTag.asp?id=7");
    EXPECT_EQ(Value(L"No.Such.Key"), L"");
    Bstr caption, link;
    ASSERT_EQ(m_account->GetAdvert(caption.Out(), link.Out()), S_OK);
    EXPECT_EQ(caption.Text(), L"News from Brevint");
    EXPECT_EQ(link.Text(), Wide(m_service.Url()) + L"/Advert.asp?id=7");
    // The password travelled encoded and arrived whole (else 403).
    ASSERT_EQ(m_service.Requests().size(), 1u);
    EXPECT_EQ(m_service.Requests()[0].query, "id=7&pw=p%26ss%20word");
}

TEST_F(AccountTest, AFailedLogOnClearsTheValues) {
    ASSERT_EQ(LogOn(), 1);
    SetString(HKEY_LOCAL_MACHINE, kAccount, L"Password", L"wrong");
    EXPECT_EQ(LogOn(), 0);  // 403
    EXPECT_EQ(Value(L"Login.Access"), L"");

    SetString(HKEY_LOCAL_MACHINE, kAccount, L"Password", L"p&ss word");
    ASSERT_EQ(LogOn(), 1);
    ASSERT_TRUE(m_service.SetDown(true));
    EXPECT_EQ(LogOn(), 0);  // refused
    EXPECT_EQ(Value(L"url.Email"), L"");
}

TEST_F(AccountTest, WithoutALoginServerThereIsNoRequest) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallation.c_str(), 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    RegDeleteValueW(key, L"Login Server");
    RegCloseKey(key);
    EXPECT_EQ(LogOn(), 0);
    EXPECT_TRUE(m_service.Requests().empty());
}

TEST_F(AccountTest, ValuesLeftOutByTheServiceAreEmpty) {
    m_service.Remove("Parameters.Mailtag");
    m_service.Set("Login.Access", "Denied");
    ASSERT_EQ(LogOn(), 1);
    EXPECT_EQ(Value(L"Parameters.Mailtag"), L"");
    EXPECT_EQ(Value(L"Login.Access"), L"Denied");
}

std::vector<platform::host::WindowInfo> SettingsWindows() {
    auto windows = platform::host::ListWindows();
    std::erase_if(windows, [](const auto& w) { return w.className != L"BrevintAccountSettings"; });
    return windows;
}

TEST_F(AccountTest, ShowSettingsOpensOneVisibleWindow) {
    ASSERT_EQ(m_account->ShowSettings(), S_OK);
    auto windows = SettingsWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(IsWindowVisible(windows[0].hwnd));
    EXPECT_EQ(windows[0].parent, nullptr);
    EXPECT_EQ(windows[0].threadId, GetCurrentThreadId());

    ShowWindow(windows[0].hwnd, SW_HIDE);
    ASSERT_EQ(m_account->ShowSettings(), S_OK);
    ASSERT_EQ(SettingsWindows().size(), 1u);  // the same one, shown again
    EXPECT_TRUE(IsWindowVisible(windows[0].hwnd));

    DestroyWindow(windows[0].hwnd);
    ASSERT_EQ(m_account->ShowSettings(), S_OK);
    EXPECT_EQ(SettingsWindows().size(), 1u);  // a new one
    DestroyWindow(SettingsWindows()[0].hwnd);
}

TEST_F(AccountTest, TheHttpObjectGivesStatusAndBodyAndZeroWithoutAnAnswer) {
    Ref<IHTTP> http;
    Create(L"Brevint.HTTP", http);
    Bstr body;
    LONG status = -1;
    ASSERT_EQ(http->Get(Bstr(Wide(m_service.Url()) + L"/Component/getip.asp"), body.Out(), &status),
              S_OK);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(body.Text(), L"127.0.0.1");

    // UTF-8 bytes become wide characters.
    m_service.SetFooter("gr\xC3\xBC\xC3\x9F", "x");
    ASSERT_EQ(http->Get(Bstr(Wide(m_service.Url()) + L"/Account/MailTag.asp"), body.Out(), &status),
              S_OK);
    EXPECT_NE(body.Text().find(L"<PlainTxt>gr\u00FC\u00DF</PlainTxt>"), std::wstring::npos);

    ASSERT_TRUE(m_service.SetDown(true));
    ASSERT_EQ(http->Get(Bstr(Wide(m_service.Url()) + L"/"), body.Out(), &status), S_OK);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(body.Text(), L"");
    ASSERT_EQ(http->Get(Bstr(L"https://127.0.0.1/"), body.Out(), &status), S_OK);
    EXPECT_EQ(status, 0);
}

TEST_F(AccountTest, TheFooterDocumentIsReadByPath) {
    m_service.SetFooter("Blocked |Blocked| of |Processed|", "<b>|Blocked|</b> & more");
    Ref<IHTTP> http;
    Create(L"Brevint.HTTP", http);
    Ref<IXML> xml;
    Create(L"Brevint.XML", xml);
    Bstr body;
    LONG status = 0;
    ASSERT_EQ(
        http->Get(Bstr(Wide(m_service.Url()) + L"/Account/MailTag.asp?id=7"), body.Out(), &status),
        S_OK);
    ASSERT_EQ(xml->LoadXml(body), S_OK);
    Bstr text;
    ASSERT_EQ(xml->GetNodeText(Bstr(L"MailTag.PlainTxt"), text.Out()), S_OK);
    EXPECT_EQ(text.Text(), L"Blocked |Blocked| of |Processed|");
    ASSERT_EQ(xml->GetNodeText(Bstr(L"MailTag.HtmlTxt"), text.Out()), S_OK);
    EXPECT_EQ(text.Text(), L"<b>|Blocked|</b> & more");
}

TEST_F(CoreTest, XmlPathsStartAtTheRootAndAbsentOrBrokenGiveEmpty) {
    Ref<IXML> xml;
    Create(L"Brevint.XML", xml);
    // The declared encoding does not matter: the text is decoded already.
    ASSERT_EQ(xml->LoadXml(Bstr(L"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                                L"<MailTag><PlainTxt>caf\u00E9 <![CDATA[<i>]]> &amp;</PlainTxt>"
                                L"<Inner><PlainTxt>deep</PlainTxt></Inner></MailTag>")),
              S_OK);
    Bstr text;
    ASSERT_EQ(xml->GetNodeText(Bstr(L"MailTag.PlainTxt"), text.Out()), S_OK);
    EXPECT_EQ(text.Text(), L"caf\u00E9 <i> &");
    ASSERT_EQ(xml->GetNodeText(Bstr(L"MailTag.Inner.PlainTxt"), text.Out()), S_OK);
    EXPECT_EQ(text.Text(), L"deep");
    for (const wchar_t* absent : {L"MailTag.HtmlTxt", L"PlainTxt", L"Other.PlainTxt", L""}) {
        ASSERT_EQ(xml->GetNodeText(Bstr(absent), text.Out()), S_OK);
        EXPECT_EQ(text.Text(), L"") << absent;
    }

    EXPECT_TRUE(FAILED(xml->LoadXml(Bstr(L"<MailTag><PlainTxt>open</MailTag>"))));
    EXPECT_TRUE(FAILED(xml->LoadXml(Bstr(L""))));
    // The failed load left no document behind.
    ASSERT_EQ(xml->GetNodeText(Bstr(L"MailTag.PlainTxt"), text.Out()), S_OK);
    EXPECT_EQ(text.Text(), L"");
}

TEST_F(CoreTest, TheDigestIsLowerCaseSha256OfTheUtf8Text) {
    Ref<IDigest> digest;
    Create(L"Brevint.Digest", digest);
    const std::pair<std::wstring, std::wstring> known[] = {
        {L"", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {L"abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the first block.
        {L"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         L"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const auto& [text, expected] : known) {
        Bstr result;
        ASSERT_EQ(digest->Compute(Bstr(text), result.Out()), S_OK);
        EXPECT_EQ(result.Text(), expected)
            << "for \"" << std::string(text.begin(), text.end()) << "\"";
    }
}

}  // namespace
