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
        proxy_.reset();
        for (IUnknown* object : {static_cast<IUnknown*>(account_), static_cast<IUnknown*>(filter_),
                                 static_cast<IUnknown*>(denied_), static_cast<IUnknown*>(allowed_),
                                 static_cast<IUnknown*>(http_), static_cast<IUnknown*>(xml_),
                                 static_cast<IUnknown*>(digest_), static_cast<IUnknown*>(library_)})
            object->Release();
    }

    // The proxy over the fakes; a ProgID listed in `missing_` cannot be created.
    CBrevintProxy& Proxy() {
        if (!proxy_) {
            proxy_ = std::make_unique<CBrevintProxy>(
                [this](const wchar_t* progId, REFIID iid, void** object) -> HRESULT {
                    created_.push_back(progId);
                    const std::map<std::wstring, IUnknown*> objects = {
                        {L"Brevint.Account", account_},
                        {L"Brevint.Filter", filter_},
                        {L"Brevint.RulesSenderDenied", denied_},
                        {L"Brevint.RulesSenderAllowed", allowed_},
                        {L"Brevint.HTTP", http_},
                        {L"Brevint.XML", xml_},
                        {L"Brevint.Digest", digest_},
                        {L"Brevint.Library", library_}};
                    if (missing_.count(progId))
                        return REGDB_E_CLASSNOTREG;
                    return objects.at(progId)->QueryInterface(iid, object);
                });
            proxy_->Initialize();
        }
        return *proxy_;
    }

    void SetThreshold(DWORD threshold) {
        SetDword(HKEY_CURRENT_USER, kThresholds, L"Filter", threshold);
    }

    fake::Account* account_ = new fake::Account;
    fake::Filter* filter_ = new fake::Filter;
    fake::Rules* denied_ = new fake::Rules;
    fake::Rules* allowed_ = new fake::Rules;
    fake::Http* http_ = new fake::Http;
    fake::Xml* xml_ = new fake::Xml;
    fake::Digest* digest_ = new fake::Digest;
    fake::Library* library_ = new fake::Library;
    std::set<std::wstring> missing_;
    std::vector<std::wstring> created_;
    std::unique_ptr<CBrevintProxy> proxy_;
};

TEST_F(ProxyTest, InitializeCreatesOnlyWhatIsMissingAndStartsTheLibraryOnce) {
    missing_ = {L"Brevint.Account"};
    CBrevintProxy& proxy = Proxy();
    EXPECT_EQ(proxy.Login(), 0);  // no account: not logged in, nothing called
    EXPECT_EQ(created_.front(), L"Brevint.Library");
    EXPECT_EQ(created_.size(), 8u);

    missing_.clear();
    created_.clear();
    proxy.Initialize();
    EXPECT_EQ(created_, std::vector<std::wstring>{L"Brevint.Account"});
    EXPECT_EQ(library_->starts, 1);
    EXPECT_EQ(proxy.Login(), 1);
}

TEST_F(ProxyTest, ShutdownReleasesEveryObjectButTheAccount) {
    CBrevintProxy& proxy = Proxy();
    EXPECT_EQ(filter_->refs, 2u);
    proxy.Shutdown();
    for (ULONG refs : {filter_->refs, denied_->refs, allowed_->refs, http_->refs, xml_->refs,
                       digest_->refs, library_->refs})
        EXPECT_EQ(refs, 1u);
    EXPECT_EQ(library_->stops, 1);
    EXPECT_EQ(account_->refs, 2u);
    EXPECT_FALSE(proxy.ProccessInboundMail(L"text"));
    EXPECT_EQ(proxy.Login(), 1);
}

TEST_F(ProxyTest, TheThresholdIsComparedAsAnUnsignedNumber) {
    SetThreshold(0x80000001u);  // negative as a signed number
    filter_->score = 50;
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text"));
    filter_->score = -1;  // 0xFFFFFFFF
    EXPECT_TRUE(Proxy().ProccessInboundMail(L"text"));
    EXPECT_EQ(filter_->lastMode, 1);

    SetThreshold(60);
    filter_->score = 60;
    EXPECT_TRUE(Proxy().ProccessInboundMail(L"text"));
    filter_->score = 59;
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text"));
}

TEST_F(ProxyTest, AMessageTheCoreCannotScoreCountsAsScoringZero) {
    filter_->score = 99;
    filter_->scoreResult = E_FAIL;
    SetThreshold(0);
    EXPECT_TRUE(Proxy().ProccessInboundMail(L"text"));
    SetThreshold(1);
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text"));
}

TEST_F(ProxyTest, WithoutAThresholdNothingIsSpamAndTheCoreIsNotAsked) {
    filter_->score = 100;
    bool judged = true;
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text", &judged));
    EXPECT_FALSE(judged);
    EXPECT_EQ(filter_->scored, 0);

    // A verdict made, spam or not, says so.
    SetThreshold(100);
    EXPECT_TRUE(Proxy().ProccessInboundMail(L"text", &judged));
    EXPECT_TRUE(judged);
    filter_->score = 0;
    EXPECT_FALSE(Proxy().ProccessInboundMail(L"text", &judged));
    EXPECT_TRUE(judged);
}

// A core that answers that it could not start is noted and the rest is made;
// a core whose start call fails is raised like every failed call of the core,
// and the objects after the library are not made by that call.
TEST_F(ProxyTest, ALibraryThatCannotStartIsNotedAndOneWhoseStartFailsIsRaised) {
    library_->startAnswer = -1;
    EXPECT_NO_THROW(Proxy());
    EXPECT_EQ(created_.size(), 8u);

    proxy_.reset();
    created_.clear();
    library_->startResult = E_UNEXPECTED;
    proxy_ =
        std::make_unique<CBrevintProxy>([this](const wchar_t* progId, REFIID iid, void** object) {
            created_.push_back(progId);
            return progId == std::wstring(L"Brevint.Library")
                       ? library_->QueryInterface(iid, object)
                       : E_NOINTERFACE;
        });
    try {
        proxy_->Initialize();
        ADD_FAILURE() << "the failed start was not raised";
    } catch (const _com_error& error) {
        EXPECT_EQ(error.Error(), E_UNEXPECTED);
    }
    EXPECT_EQ(created_, std::vector<std::wstring>{L"Brevint.Library"});
}

TEST_F(ProxyTest, OnlyTheExactValuesApproveAndDisable) {
    CBrevintProxy& proxy = Proxy();
    EXPECT_FALSE(proxy.IsLoginApproved());  // empty
    account_->values[L"Login.Access"] = L"approved";
    EXPECT_FALSE(proxy.IsLoginApproved());
    account_->values[L"Login.Access"] = L"Approved ";
    EXPECT_FALSE(proxy.IsLoginApproved());
    account_->values[L"Login.Access"] = L"Approved";
    EXPECT_TRUE(proxy.IsLoginApproved());

    account_->values[L"Login.Disabled"] = L"true";
    EXPECT_FALSE(proxy.IsAccountDisabled());
    account_->values[L"Login.Disabled"] = L"1";
    EXPECT_TRUE(proxy.IsAccountDisabled());
}

TEST_F(ProxyTest, AnUnknownFooterSwitchIsAskedAgainAndOffStaysOff) {
    CBrevintProxy& proxy = Proxy();
    EXPECT_FALSE(proxy.IsAdvFooterEnable());
    EXPECT_FALSE(proxy.IsAdvFooterEnable());
    EXPECT_EQ(account_->asked[L"Parameters.Mailtag"], 2);

    account_->values[L"Parameters.Mailtag"] = L"0";
    EXPECT_FALSE(proxy.IsAdvFooterEnable());
    account_->values[L"Parameters.Mailtag"] = L"1";
    EXPECT_FALSE(proxy.IsAdvFooterEnable());
    EXPECT_EQ(account_->asked[L"Parameters.Mailtag"], 3);
}

TEST_F(ProxyTest, FootersTurnTheirLineBreakMarksIntoBreaks) {
    account_->values[L"Parameters.Mailtag"] = L"yes";
    account_->values[L"url.Email"] = L"http://service/footer";
    CBrevintProxy& proxy = Proxy();

    http_->pages[L"http://service/footer"] = {404, L"<MailTag/>"};
    EXPECT_FALSE(proxy.PreloadFooter());

    http_->pages[L"http://service/footer"] = {200, L"<MailTag/>"};
    xml_->nodes[L"MailTag.PlainTxt"] = L"Spam|br|gone|br|";
    EXPECT_FALSE(proxy.PreloadFooter());  // no HTML footer
    EXPECT_FALSE(proxy.IsFooterLoaded());

    xml_->nodes[L"MailTag.HtmlTxt"] = L"<b>Spam</b>|br|gone";
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
    account_->values[L"url.TellFriend"] = L"http://service/tell?x=1";
    http_->pages[L"http://127.0.0.1:8642/Component/getip.asp"] = {200, L"10.1.2.3"};
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
    account_->values[L"url.TellFriend"] = L"http://service/tell";
    CBrevintProxy& proxy = Proxy();
    EXPECT_FALSE(proxy.PreloadTellAFriendUrl());  // status 0, empty body
    http_->pages[L"http://127.0.0.1:8642/Component/getip.asp"] = {500, L"10.1.2.3"};
    EXPECT_FALSE(proxy.PreloadTellAFriendUrl());
    EXPECT_FALSE(proxy.IsTellAFriendURLLoaded());
}

TEST_F(ProxyTest, AddressListsByKind) {
    allowed_->emails = L"a@good";
    allowed_->domains = L"good";
    denied_->emails = L"b@bad";
    denied_->domains = L"bad";
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
    denied_->addAnswer = 2;  // only exactly 1 means added
    EXPECT_FALSE(proxy.BlacklistDomain(L"a@bad", L""));
    EXPECT_TRUE(proxy.WhitelistDomain(L"a@good", L""));

    filter_->voteAnswer = -1;
    EXPECT_FALSE(proxy.FilterVote(L"text", 100));
    filter_->voteAnswer = 0;
    EXPECT_TRUE(proxy.FilterVote(L"text", -100));

    std::wstring merged = L"old";
    EXPECT_FALSE(proxy.MergeMsgHeader(L"", L"header", merged));
    EXPECT_FALSE(proxy.MergeMsgHeader(L"text", L"", merged));
    EXPECT_TRUE(proxy.MergeMsgHeader(L"text", L"header", merged));
    EXPECT_EQ(merged, L"header|text");
}

}  // namespace
