#include "service/brevint_proxy.h"

#include <comdef.h>

#include "support/registry_fixture.h"
#include "service/fake_core.h"

#include <memory>
#include <set>

namespace {

const std::wstring kInstallation = L"Software\\Brevint\\Installation";
const std::wstring kAccount = L"Software\\Brevint\\Account";
const std::wstring kThresholds = L"Software\\Brevint\\Thresholds";

class ProxyTest : public RegistryTest {
  protected:
    ~ProxyTest() override {
        m_proxy.reset();
        for (IUnknown* object :
             {static_cast<IUnknown*>(m_account), static_cast<IUnknown*>(m_filter),
              static_cast<IUnknown*>(m_denied), static_cast<IUnknown*>(m_allowed),
              static_cast<IUnknown*>(m_http), static_cast<IUnknown*>(m_xml),
              static_cast<IUnknown*>(m_digest), static_cast<IUnknown*>(m_library)})
            object->Release();
    }

    // The proxy over the fakes; a ProgID listed in `m_missing` cannot be created.
    CBrevintProxy& Proxy() {
        if (!m_proxy) {
            m_proxy = std::make_unique<CBrevintProxy>(
                [this](const wchar_t* progId, REFIID iid, void** object) -> HRESULT {
                    m_created.push_back(progId);
                    const std::map<std::wstring, IUnknown*> objects = {
                        {L"Brevint.Account", m_account},
                        {L"Brevint.Filter", m_filter},
                        {L"Brevint.RulesSenderDenied", m_denied},
                        {L"Brevint.RulesSenderAllowed", m_allowed},
                        {L"Brevint.HTTP", m_http},
                        {L"Brevint.XML", m_xml},
                        {L"Brevint.Digest", m_digest},
                        {L"Brevint.Library", m_library}};
                    if (m_missing.count(progId))
                        return REGDB_E_CLASSNOTREG;
                    return objects.at(progId)->QueryInterface(iid, object);
                });
            m_proxy->Initialize();
        }
        return *m_proxy;
    }

    void SetThreshold(DWORD threshold) {
        SetDword(HKEY_CURRENT_USER, kThresholds, L"Filter", threshold);
    }

    fake::Account* m_account = new fake::Account;
    fake::Filter* m_filter = new fake::Filter;
    fake::Rules* m_denied = new fake::Rules;
    fake::Rules* m_allowed = new fake::Rules;
    fake::Http* m_http = new fake::Http;
    fake::Xml* m_xml = new fake::Xml;
    fake::Digest* m_digest = new fake::Digest;
    fake::Library* m_library = new fake::Library;
    std::set<std::wstring> m_missing;
    std::vector<std::wstring> m_created;
    std::unique_ptr<CBrevintProxy> m_proxy;
};

TEST_F(ProxyTest, InitializeCreatesOnlyWhatIsMissingAndStartsTheLibraryOnce) {
    m_missing = {L"Brevint.Account"};
    CBrevintProxy& proxy = Proxy();
    EXPECT_EQ(proxy.Login(), 0);  // no account: not logged in, nothing called
    EXPECT_EQ(m_created.front(), L"Brevint.Library");
    EXPECT_EQ(m_created.size(), 8u);

    m_missing.clear();
    m_created.clear();
    proxy.Initialize();
    EXPECT_EQ(m_created, std::vector<std::wstring>{L"Brevint.Account"});
    EXPECT_EQ(m_library->starts, 1);
    EXPECT_EQ(proxy.Login(), 1);
}

TEST_F(ProxyTest, ShutdownReleasesEveryObjectButTheAccount) {
    CBrevintProxy& proxy = Proxy();
    EXPECT_EQ(m_filter->refs, 2u);
    proxy.Shutdown();
    for (ULONG refs : {m_filter->refs, m_denied->refs, m_allowed->refs, m_http->refs, m_xml->refs,
                       m_digest->refs, m_library->refs})
        EXPECT_EQ(refs, 1u);
    EXPECT_EQ(m_library->stops, 1);
    EXPECT_EQ(m_account->refs, 2u);
    EXPECT_FALSE(proxy.ProccessInboundMail(L"text"));
    EXPECT_EQ(proxy.Login(), 1);
}

TEST_F(ProxyTest, TheThresholdIsComparedAsAnUnsignedNumber) {
    SetThreshold(0x80000001u);  // negative as a signed number
    m_filter->score = 50;
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text"));
    m_filter->score = -1;  // 0xFFFFFFFF
    EXPECT_TRUE(Proxy().ProccessInboundMail(L"text"));
    EXPECT_EQ(m_filter->lastMode, 1);

    SetThreshold(60);
    m_filter->score = 60;
    EXPECT_TRUE(Proxy().ProccessInboundMail(L"text"));
    m_filter->score = 59;
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text"));
}

TEST_F(ProxyTest, AMessageTheCoreCannotScoreCountsAsScoringZero) {
    m_filter->score = 99;
    m_filter->scoreResult = E_FAIL;
    SetThreshold(0);
    EXPECT_TRUE(Proxy().ProccessInboundMail(L"text"));
    SetThreshold(1);
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text"));
}

TEST_F(ProxyTest, WithoutAThresholdNothingIsSpamAndTheCoreIsNotAsked) {
    m_filter->score = 100;
    bool judged = true;
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text", &judged));
    EXPECT_FALSE(judged);
    EXPECT_EQ(m_filter->scored, 0);

    // A verdict made, spam or not, says so.
    SetThreshold(100);
    EXPECT_TRUE(Proxy().ProccessInboundMail(L"text", &judged));
    EXPECT_TRUE(judged);
    m_filter->score = 0;
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text", &judged));
    EXPECT_TRUE(judged);
}

// A core that answers that it could not start is noted and the rest is made;
// a core whose start call fails is raised like every failed call of the core,
// and the objects after the library are not made by that call.
TEST_F(ProxyTest, ALibraryThatCannotStartIsNotedAndOneWhoseStartFailsIsRaised) {
    m_library->startAnswer = -1;
    EXPECT_NO_THROW(Proxy());
    EXPECT_EQ(m_created.size(), 8u);

    m_proxy.reset();
    m_created.clear();
    m_library->startResult = E_UNEXPECTED;
    m_proxy =
        std::make_unique<CBrevintProxy>([this](const wchar_t* progId, REFIID iid, void** object) {
            m_created.push_back(progId);
            return progId == std::wstring(L"Brevint.Library")
                       ? m_library->QueryInterface(iid, object)
                       : E_NOINTERFACE;
        });
    try {
        m_proxy->Initialize();
        ADD_FAILURE() << "the failed start was not raised";
    } catch (const _com_error& error) {
        EXPECT_EQ(error.Error(), E_UNEXPECTED);
    }
    EXPECT_EQ(m_created, std::vector<std::wstring>{L"Brevint.Library"});
}

TEST_F(ProxyTest, OnlyTheExactValuesApproveAndDisable) {
    CBrevintProxy& proxy = Proxy();
    EXPECT_FALSE(proxy.IsLoginApproved());  // empty
    m_account->values[L"Login.Access"] = L"approved";
    EXPECT_FALSE(proxy.IsLoginApproved());
    m_account->values[L"Login.Access"] = L"Approved ";
    EXPECT_FALSE(proxy.IsLoginApproved());
    m_account->values[L"Login.Access"] = L"Approved";
    EXPECT_TRUE(proxy.IsLoginApproved());

    m_account->values[L"Login.Disabled"] = L"true";
    EXPECT_FALSE(proxy.IsAccountDisabled());
    m_account->values[L"Login.Disabled"] = L"1";
    EXPECT_TRUE(proxy.IsAccountDisabled());
}

TEST_F(ProxyTest, AnUnknownFooterSwitchIsAskedAgainAndOffStaysOff) {
    CBrevintProxy& proxy = Proxy();
    EXPECT_FALSE(proxy.IsAdvFooterEnable());
    EXPECT_FALSE(proxy.IsAdvFooterEnable());
    EXPECT_EQ(m_account->asked[L"Parameters.Mailtag"], 2);

    m_account->values[L"Parameters.Mailtag"] = L"0";
    EXPECT_FALSE(proxy.IsAdvFooterEnable());
    m_account->values[L"Parameters.Mailtag"] = L"1";
    EXPECT_FALSE(proxy.IsAdvFooterEnable());
    EXPECT_EQ(m_account->asked[L"Parameters.Mailtag"], 3);
}

TEST_F(ProxyTest, FootersTurnTheirLineBreakMarksIntoBreaks) {
    m_account->values[L"Parameters.Mailtag"] = L"yes";
    m_account->values[L"url.Email"] = L"http://service/footer";
    CBrevintProxy& proxy = Proxy();

    m_http->pages[L"http://service/footer"] = {404, L"<MailTag/>"};
    EXPECT_FALSE(proxy.PreloadFooter());

    m_http->pages[L"http://service/footer"] = {200, L"<MailTag/>"};
    m_xml->nodes[L"MailTag.PlainTxt"] = L"Spam|br|gone|br|";
    EXPECT_FALSE(proxy.PreloadFooter());  // no HTML footer
    EXPECT_FALSE(proxy.IsFooterLoaded());

    m_xml->nodes[L"MailTag.HtmlTxt"] = L"<b>Spam</b>|br|gone";
    EXPECT_TRUE(proxy.PreloadFooter());
    EXPECT_TRUE(proxy.IsFooterLoaded());
    std::wstring plain, html;
    EXPECT_TRUE(proxy.GetFooterPlain(plain));
    EXPECT_TRUE(proxy.GetFooterHTML(html));
    EXPECT_EQ(plain, L"Spam\ngone\n");
    EXPECT_EQ(html, L"<b>Spam</b><br>gone");
}

TEST_F(ProxyTest, TheTellAFriendLinkCarriesIdentityAndDigestOnlyWithAPassword) {
    SetString(HKEY_LOCAL_MACHINE, kInstallation, L"Login Server", L"http://127.0.0.1:8642");
    SetDword(HKEY_LOCAL_MACHINE, kAccount, L"Identity", 42);
    m_account->values[L"url.TellFriend"] = L"http://service/tell?x=1";
    m_http->pages[L"http://127.0.0.1:8642/Component/getip.asp"] = {200, L"10.1.2.3"};
    CBrevintProxy& proxy = Proxy();

    std::wstring url;
    EXPECT_FALSE(proxy.IsTellAFriendURLLoaded());
    EXPECT_TRUE(proxy.PreloadTellAFriendUrl());
    EXPECT_TRUE(proxy.GetTellAFriendURL(url));
    EXPECT_EQ(url, L"http://service/tell?x=1");

    SetString(HKEY_LOCAL_MACHINE, kAccount, L"Password", L"secret");
    EXPECT_TRUE(proxy.PreloadTellAFriendUrl());
    EXPECT_TRUE(proxy.GetTellAFriendURL(url));
    EXPECT_EQ(url, L"http://service/tell?x=1&U=42&P=digest(10.1.2.3secret)");
}

TEST_F(ProxyTest, TheTellAFriendLinkNeedsTheAddressPageToAnswer) {
    SetString(HKEY_LOCAL_MACHINE, kInstallation, L"Login Server", L"http://127.0.0.1:8642");
    m_account->values[L"url.TellFriend"] = L"http://service/tell";
    CBrevintProxy& proxy = Proxy();
    EXPECT_FALSE(proxy.PreloadTellAFriendUrl());  // status 0, empty body
    m_http->pages[L"http://127.0.0.1:8642/Component/getip.asp"] = {500, L"10.1.2.3"};
    EXPECT_FALSE(proxy.PreloadTellAFriendUrl());
    EXPECT_FALSE(proxy.IsTellAFriendURLLoaded());
}

TEST_F(ProxyTest, AddressListsByKind) {
    m_allowed->emails = L"a@good";
    m_allowed->domains = L"good";
    m_denied->emails = L"b@bad";
    m_denied->domains = L"bad";
    CBrevintProxy& proxy = Proxy();
    const std::wstring expected[] = {L"a@good", L"good", L"b@bad", L"bad"};
    for (int kind = 0; kind < 4; ++kind) {
        std::wstring list;
        EXPECT_TRUE(proxy.GetAddresses(list, kind));
        EXPECT_EQ(list, expected[kind]);
    }
    std::wstring list = L"left over";
    EXPECT_FALSE(proxy.GetAddresses(list, 4));
    EXPECT_EQ(list, L"");
}

TEST_F(ProxyTest, ListAdditionsAndVotesReadTheCoresAnswers) {
    CBrevintProxy& proxy = Proxy();
    EXPECT_TRUE(proxy.BlacklistEmail(L"Name", L"a@bad", L""));
    m_denied->addAnswer = 2;  // only exactly 1 means added
    EXPECT_FALSE(proxy.BlacklistDomain(L"a@bad", L""));
    EXPECT_TRUE(proxy.WhitelistDomain(L"a@good", L""));

    m_filter->voteAnswer = -1;
    EXPECT_FALSE(proxy.FilterVote(L"text", 100));
    m_filter->voteAnswer = 0;
    EXPECT_TRUE(proxy.FilterVote(L"text", -100));

    std::wstring merged = L"old";
    EXPECT_FALSE(proxy.MergeMsgHeader(L"", L"header", merged));
    EXPECT_FALSE(proxy.MergeMsgHeader(L"text", L"", merged));
    EXPECT_TRUE(proxy.MergeMsgHeader(L"text", L"header", merged));
    EXPECT_EQ(merged, L"header|text");
}

}  // namespace
