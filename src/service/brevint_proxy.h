// The one way into the filter core library: a process-wide object that
// creates the core's objects, calls them by their interfaces, turns their
// answers into plain booleans and strings, and keeps the few service texts
// that the user interface needs (the toolbar logo's link, the tell-a-friend
// link and the outgoing-mail footers).
//
// The core's objects accept calls from any thread, so the proxy hands its
// pointers to the workers and the mail processor without marshalling. Only
// the two links are locked: the data worker writes them while the
// user-interface thread reads them.
#pragma once

#include <atlbase.h>
#include <brevint_core.h>

#include <functional>
#include <optional>
#include <string>

#include "support/replay/mutex.h"

// A wide string that one thread writes while another reads it.
class CGuardedString {
  public:
    std::wstring Get() const;
    void Set(const std::wstring& text);
    bool IsLoaded() const;

  private:
    mutable replay::mutex m_lock;
    std::wstring m_text;
};

class CBrevintProxy {
  public:
    // Creates one core object by ProgID (or a braced class identifier) and
    // answers the interface asked for.
    using ObjectFactory = std::function<HRESULT(const wchar_t* progId, REFIID iid, void** object)>;

    // The process-wide instance, made by the first call (on the
    // user-interface thread, before any worker starts).
    static CBrevintProxy& GetInstance();
    // Destroys the process-wide instance, for a module being unloaded.
    static void ReleaseInstance();

    // The instance creates the core's objects through `factory`; the default
    // is the class registration of the system (see CreateCoreObject).
    explicit CBrevintProxy(ObjectFactory factory = {});
    virtual ~CBrevintProxy();
    CBrevintProxy(const CBrevintProxy&) = delete;
    CBrevintProxy& operator=(const CBrevintProxy&) = delete;

    // Creates the core objects that are still missing.
    void Initialize();
    // Releases the core objects, all but the account.
    void Shutdown();

    // The account.
    LONG Login();
    bool IsLoginApproved();
    bool GetSettingsWnd();
    bool IsAccountDisabled();
    void GetAdvertText(std::wstring& caption, std::wstring& link);

    // The filter. A message is spam when its score reaches the threshold;
    // `judged`, when given, is false when no verdict was made because the
    // threshold cannot be read, so that nothing is mistaken for a score.
    bool ProccessInboundMail(const std::wstring& message, bool* judged = nullptr);
    bool MergeMsgHeader(const std::wstring& message, const std::wstring& header,
                        std::wstring& merged);
    bool FilterVote(const std::wstring& message, LONG vote);

    // The sender lists. Kinds of GetAddresses: 0 allowed addresses, 1 allowed
    // domains, 2 denied addresses, 3 denied domains.
    bool BlacklistEmail(const std::wstring& name, const std::wstring& address,
                        const std::wstring& comment);
    bool WhitelistEmail(const std::wstring& name, const std::wstring& address,
                        const std::wstring& comment);
    bool BlacklistDomain(const std::wstring& address, const std::wstring& comment);
    bool WhitelistDomain(const std::wstring& address, const std::wstring& comment);
    bool GetAddresses(std::wstring& list, int kind);

    // The service texts.
    bool PreloadLogoUrl();
    bool GetLogoURL(std::wstring& url);
    bool IsLogoURLLoaded();
    bool PreloadTellAFriendUrl();
    bool GetTellAFriendURL(std::wstring& url);
    bool IsTellAFriendURLLoaded();
    bool IsAdvFooterEnable();
    bool PreloadFooter();
    bool IsFooterLoaded();
    bool GetFooterPlain(std::wstring& footer);
    bool GetFooterHTML(std::wstring& footer);

  private:
    // The account's value for a key; empty when unknown.
    std::wstring AccountValue(const wchar_t* key);
    // The body of an HTTP GET and its status.
    LONG HttpGet(const std::wstring& url, std::wstring& body);
    template <class Interface>
    void CreateMissing(CComPtr<Interface>& object, const wchar_t* progId, const wchar_t* logName);
    void StartLibrary();
    // Notes why scoring failed (nothing: it worked); true when the reason
    // differs from the last one noted.
    bool NoteScoreFailure(const std::optional<std::wstring>& reason);

    ObjectFactory m_factory;

    CComPtr<brevint_core::IAccount> account;
    CComPtr<brevint_core::IFilter> filter;
    CComPtr<brevint_core::IRulesSender> rulesDenied;
    CComPtr<brevint_core::IRulesSender> rulesAllowed;
    CComPtr<brevint_core::IHTTP> http;
    CComPtr<brevint_core::IXML> xml;
    CComPtr<brevint_core::ILibrary> library;
    CComPtr<brevint_core::IDigest> digest;
    LONG footerEnabled = -1;  // -1 not known yet, 0 off, 1 on
    std::wstring footerPlain;
    std::wstring footerHtml;
    CGuardedString logoUrl;
    CGuardedString tellAFriendUrl;
    // Why the last message could not be scored, while scoring keeps failing.
    replay::mutex m_scoreFailureLock;
    std::optional<std::wstring> m_lastScoreFailure;
};

// The system's way to a core object: the ProgID's class (a text in braces is
// the class identifier itself), created in any kind of server, put into the
// running state, and asked for the interface.
HRESULT CreateCoreObject(const wchar_t* progId, REFIID iid, void** object);
