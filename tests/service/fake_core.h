// Small stand-ins for the filter core's objects, handed to the proxy through
// its object factory: each answers from fields the test sets and counts the
// calls the test asks about.
#pragma once

#include <atlbase.h>
#include <brevint_core.h>

#include <map>
#include <string>
#include <vector>

namespace fake {

template <class Interface>
class Object : public Interface {
  public:
    virtual ~Object() = default;
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (InlineIsEqualGUID(iid, IID_IUnknown) || InlineIsEqualGUID(iid, IID_IDispatch) ||
            InlineIsEqualGUID(iid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG left = --refs;
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)
    (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    ULONG refs = 1;  // the test's own reference

  protected:
    static HRESULT Answer(const std::wstring& text, BSTR* out) {
        *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return S_OK;
    }
};

struct Account : Object<brevint_core::IAccount> {
    STDMETHOD(LogOn)(short* loggedIn) override {
        *loggedIn = logOn;
        return S_OK;
    }
    STDMETHOD(GetValue)(BSTR key, BSTR* value) override {
        ++asked[key];
        return Answer(values[key], value);
    }
    STDMETHOD(ShowSettings)() override {
        ++settingsShown;
        return S_OK;
    }
    STDMETHOD(GetAdvert)(BSTR* caption, BSTR* link) override {
        Answer(L"caption", caption);
        return Answer(L"link", link);
    }

    short logOn = 1;
    std::map<std::wstring, std::wstring> values;
    std::map<std::wstring, int> asked;
    int settingsShown = 0;
};

struct Filter : Object<brevint_core::IFilter> {
    STDMETHOD(Score)(BSTR, LONG mode, LONG* result) override {
        ++scored;
        lastMode = mode;
        *result = score;
        return scoreResult;
    }
    STDMETHOD(Vote)(BSTR, LONG, LONG* result) override {
        *result = voteAnswer;
        return S_OK;
    }
    STDMETHOD(MergeHeader)(BSTR message, BSTR header, BSTR* merged) override {
        return Answer(std::wstring(header) + L"|" + message, merged);
    }

    LONG score = 0;
    HRESULT scoreResult = S_OK;
    LONG voteAnswer = 0;
    LONG lastMode = 0;
    int scored = 0;
};

struct Rules : Object<brevint_core::IRulesSender> {
    STDMETHOD(AddEmail)(BSTR, BSTR, BSTR, short* added) override {
        *added = addAnswer;
        return S_OK;
    }
    STDMETHOD(AddDomain)(BSTR, BSTR, short* added) override {
        *added = addAnswer;
        return S_OK;
    }
    STDMETHOD(GetEmails)(BSTR* list) override { return Answer(emails, list); }
    STDMETHOD(GetDomains)(BSTR* list) override { return Answer(domains, list); }

    short addAnswer = 1;
    std::wstring emails;
    std::wstring domains;
};

struct Http : Object<brevint_core::IHTTP> {
    struct Page {
        LONG status = 0;
        std::wstring body;
    };
    STDMETHOD(Get)(BSTR url, BSTR* body, LONG* status) override {
        requested.push_back(url);
        const Page page = pages[url];
        *status = page.status;
        return Answer(page.body, body);
    }

    std::map<std::wstring, Page> pages;
    std::vector<std::wstring> requested;
};

// Answers the node texts the test set, once a document was loaded.
struct Xml : Object<brevint_core::IXML> {
    STDMETHOD(LoadXml)(BSTR document) override {
        loaded = document;
        return S_OK;
    }
    STDMETHOD(GetNodeText)(BSTR path, BSTR* text) override {
        return Answer(loaded.empty() ? L"" : nodes[path], text);
    }

    std::wstring loaded;
    std::map<std::wstring, std::wstring> nodes;
};

struct Digest : Object<brevint_core::IDigest> {
    STDMETHOD(Compute)(BSTR text, BSTR* digest) override {
        return Answer(L"digest(" + std::wstring(text) + L")", digest);
    }
};

struct Library : Object<brevint_core::ILibrary> {
    STDMETHOD(Start)(short* started) override {
        ++starts;
        *started = startAnswer;
        return startResult;
    }
    STDMETHOD(Stop)(short* stopped) override {
        ++stops;
        *stopped = 0;
        return S_OK;
    }

    int starts = 0;
    int stops = 0;
    short startAnswer = 0;
    HRESULT startResult = S_OK;
};

}  // namespace fake
