// The filter core library Core.dll: the identities of its COM classes and
// the interfaces its clients call by position in the method table.
//
// Every interface is dual: after the three entries of IUnknown and the four
// of IDispatch come the object's own operations, each returning an HRESULT
// with its results in out-parameters. Positions that no client calls are
// named UnusedN (N the operation's number counted from 1) and answer
// E_NOTIMPL. The core's objects accept calls from any thread.
#pragma once

#include <oaidl.h>
#include <interface_uuid.h>
#include <unused_slot.h>
#include <windef.h>

namespace brevint_core {

// "Brevint.Library": the core's start and stop around all other use.
struct ILibrary : public IDispatch {
    // A negative started value: the core could not start (its filter store
    // could not be opened).
    virtual HRESULT STDMETHODCALLTYPE Start(short* started) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(short* stopped) = 0;
};
BV_DECLARE_UUID(ILibrary, "32A20ED9-7612-4DDD-8450-277AAD34EB00")

// "Brevint.XML": one parsed document, queried by dotted element paths
// ("MailTag.PlainTxt" is the text of <PlainTxt> inside <MailTag>).
struct IXML : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE LoadXml(BSTR document) = 0;
    // An empty text when the node is absent.
    virtual HRESULT STDMETHODCALLTYPE GetNodeText(BSTR path, BSTR* text) = 0;
};
BV_DECLARE_UUID(IXML, "7EB05974-F4C0-48BF-9D78-1BD7DF91D793")

// "Brevint.RulesSenderDenied" (the black list) and
// "Brevint.RulesSenderAllowed" (the white list) share this layout.
struct IRulesSender : public IDispatch {
    BV_UNUSED_SLOT(1)
    // added is 1 when the address went into the list, 0 when it was there
    // already or is no address.
    virtual HRESULT STDMETHODCALLTYPE AddEmail(BSTR name, BSTR address, BSTR comment,
                                               short* added) = 0;
    // The domain is taken from a whole address as well as from a bare domain.
    virtual HRESULT STDMETHODCALLTYPE AddDomain(BSTR address, BSTR comment, short* added) = 0;
    BV_UNUSED_SLOT(4)
    BV_UNUSED_SLOT(5)
    // The lists in the address-list text format: entries separated by CR,
    // "address TAB name" (or the address alone) or a domain.
    virtual HRESULT STDMETHODCALLTYPE GetEmails(BSTR* emails) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDomains(BSTR* domains) = 0;
};
BV_DECLARE_UUID(IRulesSender, "894A3AE9-C9BA-470B-A937-B970C2341085")

// "Brevint.Account": the user's account with the filter service.
struct IAccount : public IDispatch {
    BV_UNUSED_SLOT(1)
    // loggedIn is non-zero when the service accepted the login; otherwise
    // the account has no values.
    virtual HRESULT STDMETHODCALLTYPE LogOn(short* loggedIn) = 0;
    // The account value for a key ("Login.Access", "url.Email", ...); empty
    // when unknown.
    virtual HRESULT STDMETHODCALLTYPE GetValue(BSTR key, BSTR* value) = 0;
    // Opens the core's account settings window.
    virtual HRESULT STDMETHODCALLTYPE ShowSettings() = 0;
    BV_UNUSED_SLOT(5)
    BV_UNUSED_SLOT(6)
    virtual HRESULT STDMETHODCALLTYPE GetAdvert(BSTR* caption, BSTR* link) = 0;
};
BV_DECLARE_UUID(IAccount, "0DFC2FC0-F7B0-49C8-9835-42008510CB8A")

// "Brevint.Filter": scores and learns from whole RFC 822 messages.
struct IFilter : public IDispatch {
    // score runs from 0 (good) to 100 (spam); mode is always 1.
    virtual HRESULT STDMETHODCALLTYPE Score(BSTR message, LONG mode, LONG* score) = 0;
    // vote is 100 for spam, -100 for good (any other value: E_INVALIDARG);
    // result is 0 or more when accepted.
    virtual HRESULT STDMETHODCALLTYPE Vote(BSTR message, LONG vote, LONG* result) = 0;
    BV_UNUSED_SLOT(3)
    BV_UNUSED_SLOT(4)
    BV_UNUSED_SLOT(5)
    // The message with the transport headers in place of its header block.
    virtual HRESULT STDMETHODCALLTYPE MergeHeader(BSTR message, BSTR header, BSTR* merged) = 0;
};
BV_DECLARE_UUID(IFilter, "E4051143-08B8-4C6C-BCD8-138134F5A5DE")

// "Brevint.HTTP": HTTP/1.1 GET with time-outs.
struct IHTTP : public IDispatch {
    // status is the HTTP status code. A request that got no answer (no
    // connection, a time-out) gives status 0 and an empty body rather than a
    // failure, so callers treat it like any other status but 200.
    virtual HRESULT STDMETHODCALLTYPE Get(BSTR url, BSTR* body, LONG* status) = 0;
};
BV_DECLARE_UUID(IHTTP, "C1BA506D-C8FE-4903-ACEC-8E2BD545FA4F")

// "Brevint.Digest": a digest of a text, usable inside a URL.
struct IDigest : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Compute(BSTR text, BSTR* digest) = 0;
};
BV_DECLARE_UUID(IDigest, "4E5366AE-CCB1-4D0B-9AB4-635CD614CD6E")

// The classes.
struct Library;
BV_DECLARE_UUID(Library, "CC22AEF5-FD90-4CA7-8BC4-5E9118C13167")
struct XML;
BV_DECLARE_UUID(XML, "F6E59633-B161-420C-9A44-B5C991F7D0C2")
struct RulesSenderDenied;
BV_DECLARE_UUID(RulesSenderDenied, "D61FABE1-253B-4B75-AC2D-81B1FC2D3C30")
struct RulesSenderAllowed;
BV_DECLARE_UUID(RulesSenderAllowed, "C14A2DD5-80A2-4F2F-B7E9-2FBD4FC110F2")
struct Account;
BV_DECLARE_UUID(Account, "006B832F-F478-4D28-B048-B32F0AAAB303")
struct Filter;
BV_DECLARE_UUID(Filter, "6FAE026E-3C8B-4B76-9D66-C3BC03698C5B")
struct HTTP;
BV_DECLARE_UUID(HTTP, "755A8D09-FDB0-43E8-B2E0-B28519461B89")
struct Digest;
BV_DECLARE_UUID(Digest, "4C99AF0C-A383-45BF-A034-3573A86E2CA2")

}  // namespace brevint_core

inline constexpr CLSID CLSID_BrevintLibrary = __uuidof(brevint_core::Library);
inline constexpr CLSID CLSID_BrevintXML = __uuidof(brevint_core::XML);
inline constexpr CLSID CLSID_BrevintRulesSenderDenied = __uuidof(brevint_core::RulesSenderDenied);
inline constexpr CLSID CLSID_BrevintRulesSenderAllowed = __uuidof(brevint_core::RulesSenderAllowed);
inline constexpr CLSID CLSID_BrevintAccount = __uuidof(brevint_core::Account);
inline constexpr CLSID CLSID_BrevintFilter = __uuidof(brevint_core::Filter);
inline constexpr CLSID CLSID_BrevintHTTP = __uuidof(brevint_core::HTTP);
inline constexpr CLSID CLSID_BrevintDigest = __uuidof(brevint_core::Digest);
