// A message's text on its way to the filter: bytes as the safe-item library
// exports them (any bytes, NULs too, in one of several ANSI code pages),
// converted as the add-in converts them, merged with the transport headers
// and scored through the proxy by a filter object that does what the core's
// does (the core's header merge, the text back to the ANSI page, the filter
// engine's tokenizer and scoring). The text handed on has as many characters
// as the conversion makes of the bytes, so a NUL cuts nothing; the merged
// text, the text scored and the bytes the engine reads all end with the
// message's body.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "core/core_text.h"
#include "core/merge_header.h"
#include "filter/filter_engine.h"
#include "filtering/classification.h"
#include "mailstore/exported_text.h"
#include "own_root.h"
#include "platform/codepage.h"
#include "service/brevint_proxy.h"
#include "service/fake_core.h"

namespace {

using standins::core::Narrow;
using standins::core::TextOf;

constexpr UINT kAnsiPages[] = {1252, 1251, 1250, 1253, 932, 936, 949, 950, 65001};

// Pages in which every byte is a character and comes back as itself.
bool RoundTrips(UINT page) {
    return page == 1252 || page == 1251 || page == 1250;
}

// What follows a text's first empty line (LF LF or LF CR LF).
template <class Char>
std::basic_string_view<Char> BodyOf(std::basic_string_view<Char> text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != Char('\n'))
            continue;
        if (i + 1 < text.size() && text[i + 1] == Char('\n'))
            return text.substr(i + 2);
        if (i + 2 < text.size() && text[i + 1] == Char('\r') && text[i + 2] == Char('\n'))
            return text.substr(i + 3);
    }
    return {};
}

// The core's filter object over a filter engine of this process: it merges
// as the core merges and scores the text made narrow again in the ANSI page,
// noting what it was given.
struct CoreFilter : fake::Object<brevint_core::IFilter> {
    STDMETHOD(Score)(BSTR message, LONG, LONG* score) override {
        scored = TextOf(message);
        engineBytes = Narrow(scored, CP_ACP);
        *score = engine->Score(engineBytes);
        return S_OK;
    }
    STDMETHOD(Vote)(BSTR, LONG, LONG*) override { return E_NOTIMPL; }
    STDMETHOD(MergeHeader)(BSTR message, BSTR header, BSTR* merged) override {
        return Answer(standins::core::MergeHeader(TextOf(message), TextOf(header)), merged);
    }

    std::unique_ptr<bv::filter::FilterEngine> engine;
    std::wstring scored;
    std::string engineBytes;
};

CoreFilter* gFilter = nullptr;
CBrevintProxy* gProxy = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseOwnRoot("message-text");
    fuzz::WithoutApplicationData();  // the log is the log target's matter
    HKEY thresholds = nullptr;
    const DWORD threshold = bv::filter::kDefaultThreshold;
    if (RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Brevint\\Thresholds", &thresholds) !=
            ERROR_SUCCESS ||
        RegSetValueExW(thresholds, L"Filter", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&threshold),
                       sizeof threshold) != ERROR_SUCCESS)
        std::abort();
    RegCloseKey(thresholds);

    gFilter = new CoreFilter;  // keeps its first reference for the process
    gFilter->engine = std::make_unique<bv::filter::FilterEngine>(platform::host::Root() / "store");
    // A little learned, so that scores weigh clues rather than nothing.
    gFilter->engine->Vote("Subject: cheap pills\r\n\r\nbuy cheap pills now", bv::filter::kSpamVote);
    gFilter->engine->Vote("Subject: minutes\r\n\r\nthe minutes of the meeting",
                          bv::filter::kGoodVote);
    // The proxy with the filter alone: the other objects are missing.
    gProxy = new CBrevintProxy([](const wchar_t* progId, REFIID iid, void** object) -> HRESULT {
        if (std::wstring_view(progId) != L"Brevint.Filter")
            return REGDB_E_CLASSNOTREG;
        return gFilter->QueryInterface(iid, object);
    });
    gProxy->Initialize();
    return 0;
}

// Byte 0 chooses the ANSI code page, byte 1 the length of the transport
// headers that follow it (a byte a character); the rest is the exported text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const UINT page = kAnsiPages[data[0] % std::size(kAnsiPages)];
    platform::host::SetAnsiCodePage(page);
    const size_t headerLength = std::min<size_t>(data[1], size - 2);
    const std::wstring headers(data + 2, data + 2 + headerLength);
    const std::string_view exported(reinterpret_cast<const char*>(data) + 2 + headerLength,
                                    size - 2 - headerLength);

    // As the message's text is read and handed on.
    std::unique_ptr<wchar_t[]> text;
    DWORD length = 0;
    if (!exported.empty())
        WidenExportedText(exported.data(), exported.size(), text, length);
    const std::wstring message =
        text && length > 0 ? std::wstring(text.get(), length - 1) : std::wstring();

    const int characters = exported.empty()
                               ? 0
                               : MultiByteToWideChar(CP_ACP, 0, exported.data(),
                                                     static_cast<int>(exported.size()), nullptr, 0);
    if (message.size() != static_cast<size_t>(characters))
        std::abort();  // the text handed on is not what the bytes convert to

    bool judged = false;
    MergeAndJudge(*gProxy, message, headers, "CConnect::ProcessNewMail", &judged);
    if (!judged)
        std::abort();  // the threshold is set: every message is judged

    const std::wstring_view body = BodyOf(std::wstring_view(message));
    if (!std::wstring_view(gFilter->scored).ends_with(body))
        std::abort();  // the text scored lost or changed part of the body
    if (RoundTrips(page) && !std::string_view(gFilter->engineBytes).ends_with(BodyOf(exported)))
        std::abort();  // the engine did not read the body's bytes as they were exported
    return 0;
}
