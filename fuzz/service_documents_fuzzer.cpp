// The service's documents as the add-in fetches them after the login: the
// footer document, the caller's address page, any bytes answered with status
// 200 (a portal's page, a proxy's error, half a document). The proxy reads
// them through the core's HTTP and XML objects, here over the same decoding
// and parsing the core does, inside a logged stage as the data worker runs
// each fetch. Nothing but a COM error may leave the proxy; a footer is kept
// only when both of the document's texts are there, and never with the
// service's "|br|" line-break mark left in it.
#include <windows.h>

#include <comdef.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "core/core_text.h"
#include "core/xml_document.h"
#include "own_root.h"
#include "service/brevint_proxy.h"
#include "service/fake_core.h"
#include "support/log/logged_stage.h"

namespace {

using standins::core::Narrow;
using standins::core::ReturnText;
using standins::core::TextOf;
using standins::core::Widen;

// Every page answers 200 with the input, decoded from UTF-8 as the core's
// HTTP object decodes a body.
struct AnsweringHttp : fake::Object<brevint_core::IHTTP> {
    STDMETHOD(Get)(BSTR, BSTR* body, LONG* status) override {
        *status = 200;
        return ReturnText(page, body);
    }
    std::wstring page;
};

// The core's XML object: the document parsed from UTF-8, a document that is
// not well-formed refused with E_FAIL, node texts by dotted paths. It notes
// the texts it answered, which a stored footer is checked against.
struct CoreXml : fake::Object<brevint_core::IXML> {
    STDMETHOD(LoadXml)(BSTR text) override {
        answered.clear();
        document = {};
        return document.Parse(Narrow(TextOf(text), CP_UTF8)) ? S_OK : E_FAIL;
    }
    STDMETHOD(GetNodeText)(BSTR path, BSTR* text) override {
        const std::wstring found =
            Widen(document.Text(Narrow(TextOf(path), CP_UTF8)).value_or(""), CP_UTF8);
        answered[std::wstring(TextOf(path))] = found;
        return ReturnText(found, text);
    }
    standins::core::XmlDocument document;
    std::map<std::wstring, std::wstring> answered;
};

struct Core {
    fake::Account* account = new fake::Account;
    fake::Filter* filter = new fake::Filter;
    fake::Rules* denied = new fake::Rules;
    fake::Rules* allowed = new fake::Rules;
    AnsweringHttp* http = new AnsweringHttp;
    CoreXml* xml = new CoreXml;
    fake::Digest* digest = new fake::Digest;
    fake::Library* library = new fake::Library;

    HRESULT Create(const wchar_t* progId, REFIID iid, void** object) const {
        const std::pair<const wchar_t*, IUnknown*> objects[] = {
            {L"Brevint.Account", account},
            {L"Brevint.Filter", filter},
            {L"Brevint.RulesSenderDenied", denied},
            {L"Brevint.RulesSenderAllowed", allowed},
            {L"Brevint.HTTP", http},
            {L"Brevint.XML", xml},
            {L"Brevint.Digest", digest},
            {L"Brevint.Library", library}};
        for (const auto& [name, unknown] : objects)
            if (std::wstring_view(name) == progId)
                return unknown->QueryInterface(iid, object);
        return REGDB_E_CLASSNOTREG;
    }
};

Core& TheCore() {
    static Core* core = new Core;  // the objects keep their first reference for the process
    return *core;
}

constexpr const char* kStage = "CBVDataWorker::ExecuteImpl";

// One fetch as the data worker runs it: in a logged stage. A COM error is
// the proxy's way to fail; anything else leaving it is a fault.
template <class Fetch>
bool LoadStep(Fetch&& fetch) {
    bool loaded = false;
    RunLoggedStage(kStage, L"Unhandled exception", [&] {
        try {
            loaded = fetch();
        } catch (const _com_error&) {
            throw;
        } catch (...) {
            std::abort();
        }
    });
    return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseOwnRoot("service-documents");
    // Some thirty trace lines an input would take nine tenths of the time; the
    // text of the stage's lines is the log target's matter.
    fuzz::WithoutApplicationData();
    // A password, so that the tell-a-friend link is signed with the address page's text.
    HKEY account = nullptr;
    const wchar_t password[] = L"secret";
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Account", &account) !=
            ERROR_SUCCESS ||
        RegSetValueExW(account, L"Password", 0, REG_SZ, reinterpret_cast<const BYTE*>(password),
                       sizeof password) != ERROR_SUCCESS)
        std::abort();
    RegCloseKey(account);
    Core& core = TheCore();
    core.account->values = {{L"Parameters.Mailtag", L"1"},
                            {L"url.Email", L"http://service.example/mailtag.asp"},
                            {L"url.TellFriend", L"http://service.example/tell.asp?x=1"}};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Core& core = TheCore();
    const std::wstring page =
        Widen(std::string_view(reinterpret_cast<const char*>(data), size), CP_UTF8);
    core.http->page = page;
    core.account->values[L"url.ToolBarLogo"] = page;
    core.xml->answered.clear();

    CBrevintProxy proxy([&](const wchar_t* progId, REFIID iid, void** object) {
        return core.Create(progId, iid, object);
    });
    proxy.Initialize();
    const bool footer = LoadStep([&] { return proxy.PreloadFooter(); });
    LoadStep([&] { return proxy.PreloadLogoUrl(); });
    LoadStep([&] { return proxy.PreloadTellAFriendUrl(); });

    std::wstring plain, html;
    proxy.GetFooterPlain(plain);
    proxy.GetFooterHTML(html);
    if (footer != proxy.IsFooterLoaded() || footer != !plain.empty() || footer != !html.empty())
        std::abort();  // a footer said loaded that is not there, or the reverse
    if (footer && (core.xml->answered[L"MailTag.PlainTxt"].empty() ||
                   core.xml->answered[L"MailTag.HtmlTxt"].empty()))
        std::abort();  // kept although the document lacked one of its texts
    if (plain.find(L"|br|") != std::wstring::npos || html.find(L"|br|") != std::wstring::npos)
        std::abort();  // the service's line-break mark left in a footer
    return 0;
}
