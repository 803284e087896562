#include "service/brevint_proxy.h"

#include <comdef.h>
#include <ole2.h>

#include <utility>

#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/settings/settings.h"
#include "support/utility/brevint_helper.h"
#include "support/utility/bstr_text.h"
#include "support/utility/com_create.h"
#include "support/utility/com_error.h"

using namespace brevint_core;

namespace {

// The page of the login server that answers the caller's public address.
constexpr const wchar_t* kAddressPage = L"/Component/getip.asp";

CBrevintProxy*& Instance() {
    static CBrevintProxy* instance = nullptr;
    return instance;
}

void Log(const char* function, const std::wstring& message) {
    CLogger::GetInstance().LogMessage(function, message);
}

}  // namespace

std::wstring CGuardedString::Get() const {
    replay::scope hold(&m_lock);
    return m_text;
}

void CGuardedString::Set(const std::wstring& text) {
    replay::scope hold(&m_lock);
    m_text = text;
}

bool CGuardedString::IsLoaded() const {
    replay::scope hold(&m_lock);
    return !m_text.empty();
}

HRESULT CreateCoreObject(const wchar_t* progId, REFIID iid, void** object) {
    *object = nullptr;
    CComPtr<IUnknown> created;
    HRESULT result = CreateByProgId(progId, IID_IUnknown, reinterpret_cast<void**>(&created));
    if (FAILED(result))
        return result;
    result = OleRun(created);
    if (FAILED(result))
        return result;
    return created->QueryInterface(iid, object);
}

CBrevintProxy& CBrevintProxy::GetInstance() {
    CTraceScope trace("CBrevintProxy::GetInstance");
    if (!Instance())
        Instance() = new CBrevintProxy();
    return *Instance();
}

void CBrevintProxy::ReleaseInstance() {
    delete std::exchange(Instance(), nullptr);
}

CBrevintProxy::CBrevintProxy(ObjectFactory factory)
    : m_factory(factory ? std::move(factory) : ObjectFactory(&CreateCoreObject)) {}

CBrevintProxy::~CBrevintProxy() = default;

template <class Interface>
void CBrevintProxy::CreateMissing(CComPtr<Interface>& object, const wchar_t* progId,
                                  const wchar_t* logName) {
    if (object)
        return;
    CComPtr<Interface> created;
    const HRESULT result =
        m_factory(progId, __uuidof(Interface), reinterpret_cast<void**>(&created));
    if (FAILED(result) || !created) {
        CLogger::GetInstance().LogComError("CBrevintProxy::Initialize", logName, L"",
                                           FAILED(result) ? result : E_POINTER);
        return;
    }
    object = std::move(created);
}

void CBrevintProxy::Initialize() {
    CTraceScope trace("CBrevintProxy::Initialize");
    const bool libraryWasMissing = !library;
    CreateMissing(library, L"Brevint.Library", L"library");
    if (libraryWasMissing && library)
        StartLibrary();
    CreateMissing(xml, L"Brevint.XML", L"xml");
    CreateMissing(rulesDenied, L"Brevint.RulesSenderDenied", L"rulesdenied");
    CreateMissing(rulesAllowed, L"Brevint.RulesSenderAllowed", L"rulesallowed");
    CreateMissing(account, L"Brevint.Account", L"account");
    CreateMissing(filter, L"Brevint.Filter", L"filter");
    CreateMissing(http, L"Brevint.HTTP", L"http");
    CreateMissing(digest, L"Brevint.Digest", L"digest");
}

// The core starts once, right after its library object exists. A core that
// answers that it could not start is noted and the other objects are made all
// the same; a failed call is raised as every failed call of the core is.
void CBrevintProxy::StartLibrary() {
    short started = 0;
    RaiseIfFailed(library->Start(&started), library.p);
    if (started < 0)
        CLogger::GetInstance().LogComError("CBrevintProxy::Initialize", L"library_init", L"",
                                           started);
}

// Trace lines "1" to "13" mark the steps, so that a shutdown that hangs in
// the core shows where. The account stays until the instance goes.
void CBrevintProxy::Shutdown() {
    constexpr const char* kShutdown = "CBrevintProxy::Shutdown";
    CTraceScope trace(kShutdown);
    int step = 0;
    const auto mark = [&] { Log(kShutdown, std::to_wstring(++step)); };
    const auto release = [&](auto& object) {
        mark();
        object.Release();
        mark();
    };
    release(filter);
    release(rulesDenied);
    release(rulesAllowed);
    release(http);
    release(xml);
    release(digest);
    mark();
    if (library) {
        short stopped = 0;
        LogIfFailed(kShutdown, library->Stop(&stopped));
        library.Release();
    }
}

LONG CBrevintProxy::Login() {
    CTraceScope trace("CBrevintProxy::Login");
    if (!account)
        return 0;
    short loggedIn = 0;
    RaiseIfFailed(account->LogOn(&loggedIn), account.p);
    CLogger::GetInstance().LogNumber("CBrevintProxy::Login", L"Login: ",
                                     static_cast<DWORD>(static_cast<LONG>(loggedIn)));
    return loggedIn;
}

std::wstring CBrevintProxy::AccountValue(const wchar_t* key) {
    CComBSTR name(key);
    CComBSTR value;
    RaiseIfFailed(account->GetValue(name, &value), account.p);
    return TextOf(value);
}

bool CBrevintProxy::IsLoginApproved() {
    constexpr const char* kFunction = "CBrevintProxy::IsLoginApproved";
    CTraceScope trace(kFunction);
    if (!account)
        return false;
    const std::wstring access = AccountValue(L"Login.Access");
    if (access.empty()) {
        Log(kFunction, L"Login Access: Error");
        return false;
    }
    Log(kFunction, L"Login Access: " + access);
    return access == L"Approved";
}

bool CBrevintProxy::IsAccountDisabled() {
    constexpr const char* kFunction = "CBrevintProxy::IsAccountDisabled";
    CTraceScope trace(kFunction);
    if (!account)
        return false;
    const std::wstring disabled = AccountValue(L"Login.Disabled");
    Log(kFunction, disabled);  // an empty value reads "Error"
    return disabled == L"1";
}

bool CBrevintProxy::GetSettingsWnd() {
    CTraceScope trace("CBrevintProxy::GetSettingsWnd");
    if (!account)
        return false;
    RaiseIfFailed(account->ShowSettings(), account.p);
    return true;
}

void CBrevintProxy::GetAdvertText(std::wstring& caption, std::wstring& link) {
    CTraceScope trace("CBrevintProxy::GetAdvertText");
    if (!account)
        return;
    CComBSTR advertCaption;
    CComBSTR advertLink;
    RaiseIfFailed(account->GetAdvert(&advertCaption, &advertLink), account.p);
    caption = TextOf(advertCaption);
    link = TextOf(advertLink);
}

bool CBrevintProxy::ProccessInboundMail(const std::wstring& message, bool* judged) {
    constexpr const char* kFunction = "CBrevintProxy::ProccessInboundMail";
    CTraceScope trace(kFunction);
    // Without a threshold or a filter the answer is "not spam": a message is
    // never moved on a verdict that was not made.
    if (judged)
        *judged = false;
    DWORD threshold = 0;
    if (!CSettings::GetFilterThreshold(threshold)) {
        Log(kFunction, L"the spam threshold cannot be read: the message is not judged");
        return false;
    }
    if (judged)
        *judged = true;
    if (!filter)
        return false;
    LONG score = 0;
    try {
        CComBSTR text(static_cast<int>(message.size()), message.c_str());
        RaiseIfFailed(filter->Score(text, 1, &score), filter.p);
        NoteScoreFailure(std::nullopt);
    } catch (const _com_error& error) {
        // A message the core could not score counts as scoring 0. The core's
        // reason goes to the log the first time it is given; a message that
        // fails for the same reason logs only the code.
        const _bstr_t description = error.Description();
        if (NoteScoreFailure(description.length() ? std::wstring(description) : L""))
            LogComException(kFunction, error);
        else
            CLogger::GetInstance().LogComError(kFunction, L"", L"", error.Error());
        score = 0;
    }
    return static_cast<DWORD>(score) >= threshold;
}

bool CBrevintProxy::NoteScoreFailure(const std::optional<std::wstring>& reason) {
    replay::scope hold(&m_scoreFailureLock);
    const bool isNew = reason && reason != m_lastScoreFailure;
    m_lastScoreFailure = reason;
    return isNew;
}

bool CBrevintProxy::MergeMsgHeader(const std::wstring& message, const std::wstring& header,
                                   std::wstring& merged) {
    constexpr const char* kFunction = "CBrevintProxy::MergeMsgHeader";
    CTraceScope trace(kFunction);
    if (message.empty()) {
        Log(kFunction, L"rfc string is empty");
        return false;
    }
    if (header.empty()) {
        Log(kFunction, L"header string is empty");
        return false;
    }
    if (!filter)
        return false;
    merged.clear();
    CComBSTR text(static_cast<int>(message.size()), message.c_str());
    CComBSTR headers(static_cast<int>(header.size()), header.c_str());
    CComBSTR answer;
    RaiseIfFailed(filter->MergeHeader(text, headers, &answer), filter.p);
    merged = TextOf(answer);
    return true;
}

bool CBrevintProxy::FilterVote(const std::wstring& message, LONG vote) {
    CTraceScope trace("CBrevintProxy::FilterVote");
    if (!filter)
        return false;
    CComBSTR text(static_cast<int>(message.size()), message.c_str());
    LONG result = -1;
    RaiseIfFailed(filter->Vote(text, vote, &result), filter.p);
    return result >= 0;
}

namespace {

bool AddEmail(IRulesSender* rules, const std::wstring& name, const std::wstring& address,
              const std::wstring& comment) {
    if (!rules)
        return false;
    short added = 0;
    RaiseIfFailed(rules->AddEmail(CComBSTR(name.c_str()), CComBSTR(address.c_str()),
                                  CComBSTR(comment.c_str()), &added),
                  rules);
    return added == 1;
}

bool AddDomain(IRulesSender* rules, const std::wstring& address, const std::wstring& comment) {
    if (!rules)
        return false;
    short added = 0;
    RaiseIfFailed(rules->AddDomain(CComBSTR(address.c_str()), CComBSTR(comment.c_str()), &added),
                  rules);
    return added == 1;
}

}  // namespace

bool CBrevintProxy::BlacklistEmail(const std::wstring& name, const std::wstring& address,
                                   const std::wstring& comment) {
    CTraceScope trace("CBrevintProxy::BlacklistEmail");
    return AddEmail(rulesDenied, name, address, comment);
}

bool CBrevintProxy::WhitelistEmail(const std::wstring& name, const std::wstring& address,
                                   const std::wstring& comment) {
    CTraceScope trace("CBrevintProxy::WhitelistEmail");
    return AddEmail(rulesAllowed, name, address, comment);
}

bool CBrevintProxy::BlacklistDomain(const std::wstring& address, const std::wstring& comment) {
    CTraceScope trace("CBrevintProxy::BlacklistDomain");
    return AddDomain(rulesDenied, address, comment);
}

bool CBrevintProxy::WhitelistDomain(const std::wstring& address, const std::wstring& comment) {
    CTraceScope trace("CBrevintProxy::WhitelistDomain");
    return AddDomain(rulesAllowed, address, comment);
}

bool CBrevintProxy::GetAddresses(std::wstring& list, int kind) {
    CTraceScope trace("CBrevintProxy::GetAddresses");
    list.clear();
    IRulesSender* rules = kind == 0 || kind == 1   ? rulesAllowed.p
                          : kind == 2 || kind == 3 ? rulesDenied.p
                                                   : nullptr;
    if (!rules)
        return false;
    CComBSTR answer;
    const HRESULT result = kind % 2 == 0 ? rules->GetEmails(&answer) : rules->GetDomains(&answer);
    if (FAILED(result))
        return false;
    if (answer.Length())
        list = TextOf(answer);
    return true;
}

LONG CBrevintProxy::HttpGet(const std::wstring& url, std::wstring& body) {
    CComBSTR answer;
    LONG status = 0;
    RaiseIfFailed(http->Get(CComBSTR(url.c_str()), &answer, &status), http.p);
    body = TextOf(answer);
    return static_cast<LONG>(status);
}

bool CBrevintProxy::IsAdvFooterEnable() {
    constexpr const char* kFunction = "CBrevintProxy::IsAdvFooterEnable";
    CTraceScope trace(kFunction);
    if (footerEnabled == -1 && account) {
        const std::wstring mailtag = AccountValue(L"Parameters.Mailtag");
        Log(kFunction, mailtag);  // an empty value reads "Error"
        // An empty answer leaves the switch unknown, so the next call asks again.
        if (!mailtag.empty())
            footerEnabled = mailtag == L"0" ? 0 : 1;
    }
    return footerEnabled == 1;
}

bool CBrevintProxy::PreloadFooter() {
    constexpr const char* kFunction = "CBrevintProxy::PreloadFooter";
    CTraceScope trace(kFunction);
    if (!account || !http || !xml || !IsAdvFooterEnable())
        return false;
    std::wstring body;
    if (HttpGet(AccountValue(L"url.Email"), body) != 200)
        return false;
    if (body.empty()) {
        Log(kFunction, L"Footer get Error");
        return false;
    }
    RaiseIfFailed(xml->LoadXml(CComBSTR(body.c_str())), xml.p);
    CComBSTR plain;
    CComBSTR html;
    RaiseIfFailed(xml->GetNodeText(CComBSTR(L"MailTag.PlainTxt"), &plain), xml.p);
    RaiseIfFailed(xml->GetNodeText(CComBSTR(L"MailTag.HtmlTxt"), &html), xml.p);
    if (!plain.Length()) {
        Log(kFunction, L"Plain footer error");
        return false;
    }
    if (!html.Length()) {
        Log(kFunction, L"Html footer error");
        return false;
    }
    footerPlain = TextOf(plain);
    footerHtml = TextOf(html);
    CBrevintHelper::Replace(footerPlain, L"|br|", L"\n", true);
    CBrevintHelper::Replace(footerHtml, L"|br|", L"<br>", true);
    return true;
}

bool CBrevintProxy::IsFooterLoaded() {
    CTraceScope trace("CBrevintProxy::IsFooterLoaded");
    return !footerPlain.empty() && !footerHtml.empty();
}

bool CBrevintProxy::GetFooterPlain(std::wstring& footer) {
    CTraceScope trace("CBrevintProxy::GetFooterPlain");
    footer = footerPlain;
    return true;
}

bool CBrevintProxy::GetFooterHTML(std::wstring& footer) {
    CTraceScope trace("CBrevintProxy::GetFooterHTML");
    footer = footerHtml;
    return true;
}

bool CBrevintProxy::PreloadLogoUrl() {
    constexpr const char* kFunction = "CBrevintProxy::PreloadLogoUrl";
    CTraceScope trace(kFunction);
    if (!account)
        return false;
    const std::wstring url = AccountValue(L"url.ToolBarLogo");
    if (url.empty()) {
        Log(kFunction, L"Logo Url: Error");
        return false;
    }
    Log(kFunction, L"Logo URL: " + url);
    logoUrl.Set(url);
    return true;
}

bool CBrevintProxy::GetLogoURL(std::wstring& url) {
    CTraceScope trace("CBrevintProxy::GetLogoURL");
    url = logoUrl.Get();
    return !url.empty();
}

bool CBrevintProxy::IsLogoURLLoaded() {
    CTraceScope trace("CBrevintProxy::IsLogoURLLoaded");
    return logoUrl.IsLoaded();
}

bool CBrevintProxy::PreloadTellAFriendUrl() {
    constexpr const char* kFunction = "CBrevintProxy::PreloadTellAFriendUrl";
    CTraceScope trace(kFunction);
    if (!account || !http || !digest)
        return false;
    const std::wstring base = AccountValue(L"url.TellFriend");
    if (base.empty()) {
        Log(kFunction, L"Tell a Friend URL: Error");
        return false;
    }
    Log(kFunction, L"Tell a Friend URL: " + base);

    std::wstring server;
    CSettings::GetLoginServer(server);
    const std::wstring addressPage = server + kAddressPage;
    std::wstring ip;
    const LONG status = HttpGet(addressPage, ip);
    if (ip.empty()) {
        Log(kFunction, L"Tell a Friend IP: error");
        return false;
    }
    Log(kFunction, L"Tell a Friend IP: " + ip);
    if (status != 200) {
        Log(kFunction, L"the request for " + addressPage + L" did not answer 200");
        return false;
    }

    DWORD identity = 0;
    CSettings::GetAccountIdentity(identity);
    if (identity == 0)
        Log(kFunction, L"identity is 0");
    std::wstring password;
    CSettings::GetAccountPassword(password);
    if (password.empty()) {
        Log(kFunction, L"Could not get password");
        tellAFriendUrl.Set(base);
        return true;
    }
    CComBSTR shared;
    RaiseIfFailed(digest->Compute(CComBSTR((ip + password).c_str()), &shared), digest.p);
    if (!shared.Length()) {
        Log(kFunction, L"Could not get shared password");
        tellAFriendUrl.Set(base);
        return true;
    }
    tellAFriendUrl.Set(base + L"&U=" + std::to_wstring(identity) + L"&P=" + TextOf(shared));
    return true;
}

bool CBrevintProxy::GetTellAFriendURL(std::wstring& url) {
    CTraceScope trace("CBrevintProxy::GetTellAFriendURL");
    url = tellAFriendUrl.Get();
    return !url.empty();
}

bool CBrevintProxy::IsTellAFriendURLLoaded() {
    CTraceScope trace("CBrevintProxy::IsTellAFriendURLLoaded");
    return tellAFriendUrl.IsLoaded();
}
