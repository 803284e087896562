// "Brevint.RulesSenderDenied" (the black list) and
// "Brevint.RulesSenderAllowed" (the white list): the filter engine's sender
// lists, which decide a sender's messages before the statistics do.
//
// AddEmail and AddDomain answer 1 when the entry went into the list, 0 when
// it was there already or the text is no address (or domain). A name given
// again for a listed address replaces the old one, still answering 0.
// Names and addresses are kept as UTF-8, the text of the list files.
// GetEmails and GetDomains give the lists as entries separated by CR, each
// "address TAB name" (or the address alone when it has no name) or a domain.
#include <brevint_core.h>

#include <algorithm>

#include "core/core_text.h"
#include "core/engine_host.h"
#include "core/resource_ids.h"
#include "server/standin_server.h"

namespace {

using bv::filter::ListKind;
using standins::core::Narrow;
using standins::core::TextOf;

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

// The address as a mail header might hold it: blanks and angle brackets
// around it are dropped.
std::string BareAddress(BSTR address) {
    std::string text = Narrow(TextOf(address), CP_UTF8);
    const char* kAround = " \t\r\n<>";
    size_t first = text.find_first_not_of(kAround);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kAround) - first + 1);
}

// A name fits on its list line: tabs and line breaks become spaces.
std::string ListName(BSTR name) {
    std::string text = Narrow(TextOf(name), CP_UTF8);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

bool Listed(const bv::filter::SenderLists& lists, ListKind kind, const std::string& key) {
    auto entries = lists.Entries(kind);
    return std::any_of(entries.begin(), entries.end(),
                       [&](const bv::filter::ListEntry& entry) { return entry.key == key; });
}

template <bool Black, const CLSID* Clsid, UINT ResourceId>
class ATL_NO_VTABLE CRulesSender
    : public CComObjectRootEx<CComMultiThreadModel>,
      public CComCoClass<CRulesSender<Black, Clsid, ResourceId>, Clsid>,
      public standins::CMemberlessDispatch<brevint_core::IRulesSender>,
      public standins::CErrorInfoSupport<&__uuidof(brevint_core::IRulesSender)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(ResourceId)
    DECLARE_NOT_AGGREGATABLE(CRulesSender)
    // Its members as they are named, and the source of their errors.
    static constexpr platform::calls::ComObject kObject{
        Black ? L"RulesSenderDenied" : L"RulesSenderAllowed", nullptr, Clsid,
        &__uuidof(brevint_core::IRulesSender)};

    BEGIN_COM_MAP(CRulesSender)
    COM_INTERFACE_ENTRY(brevint_core::IRulesSender)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHOD(AddEmail)(BSTR name, BSTR address, BSTR /*comment*/, short* added) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"AddEmail", added); FAILED(hr))
            return hr;
        if (!added)
            return E_POINTER;
        *added = 0;
        const std::string bare = BareAddress(address);
        return Change(added, kAddresses, AsciiLower(bare), [&](bv::filter::SenderLists& lists) {
            return lists.AddAddress(Black, bare, ListName(name));
        });
    }

    // Takes the domain out of a whole address; a bare domain is itself.
    STDMETHOD(AddDomain)(BSTR address, BSTR /*comment*/, short* added) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"AddDomain", added); FAILED(hr))
            return hr;
        if (!added)
            return E_POINTER;
        *added = 0;
        const std::string bare = BareAddress(address);
        return Change(added, kDomains, bv::filter::DomainOf(bare),
                      [&](bv::filter::SenderLists& lists) { return lists.AddDomain(Black, bare); });
    }

    STDMETHOD(GetEmails)(BSTR* emails) override {
        return ListText(L"GetEmails", kAddresses, emails);
    }
    STDMETHOD(GetDomains)(BSTR* domains) override {
        return ListText(L"GetDomains", kDomains, domains);
    }

  private:
    static constexpr ListKind kAddresses =
        Black ? ListKind::BlackAddresses : ListKind::WhiteAddresses;
    static constexpr ListKind kDomains = Black ? ListKind::BlackDomains : ListKind::WhiteDomains;

    template <class Add>
    static HRESULT Change(short* added, ListKind kind, const std::string& key, Add add) {
        std::shared_ptr<bv::filter::FilterEngine> engine = standins::core::SharedEngine();
        if (!engine)
            return standins::core::StoreUnavailable(*Clsid, __uuidof(brevint_core::IRulesSender));
        try {
            std::lock_guard lock(standins::core::SenderListsMutex());
            const bool already = Listed(engine->Lists(), kind, key);
            *added = add(engine->Lists()) && !already ? 1 : 0;
            return S_OK;
        } catch (const std::exception& error) {
            return standins::core::StoreWriteFailed(*Clsid, __uuidof(brevint_core::IRulesSender),
                                                    error.what());
        }
    }

    static HRESULT ListText(const wchar_t* member, ListKind kind, BSTR* text) {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, member, text); FAILED(hr))
            return hr;
        if (!text)
            return E_POINTER;
        *text = nullptr;
        std::shared_ptr<bv::filter::FilterEngine> engine = standins::core::SharedEngine();
        if (!engine)
            return standins::core::StoreUnavailable(*Clsid, __uuidof(brevint_core::IRulesSender));
        return standins::core::ReturnText(
            standins::core::Widen(engine->Lists().Text(kind), CP_UTF8), text);
    }
};

using CRulesSenderDenied =
    CRulesSender<true, &CLSID_BrevintRulesSenderDenied, IDR_RULESSENDERDENIED>;
using CRulesSenderAllowed =
    CRulesSender<false, &CLSID_BrevintRulesSenderAllowed, IDR_RULESSENDERALLOWED>;

OBJECT_ENTRY_AUTO(CLSID_BrevintRulesSenderDenied, CRulesSenderDenied)
OBJECT_ENTRY_AUTO(CLSID_BrevintRulesSenderAllowed, CRulesSenderAllowed)

}  // namespace
