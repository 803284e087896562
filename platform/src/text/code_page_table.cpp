#include "text/code_page_table.h"

#include "platform/codepage.h"
#include "text/hz_codec.h"
#include "text/iconv_codec.h"
#include "text/single_byte_codec.h"
#include "text/utf8_codec.h"

#include <winnls.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace platform::text {
namespace {

constexpr std::array<BYTE, 12> kNoLeadBytes{};
constexpr char32_t kQuestionMark = U'?';
constexpr char32_t kReplacement = 0xFFFD;

constexpr CodePageInfo SingleByte(UINT cp, const char* name, bool c1 = false) {
    return {cp,    name, CodecKind::SingleByte, 1, kNoLeadBytes, kQuestionMark, FlagRule::Any,
            false, c1};
}

constexpr CodePageInfo DoubleByte(UINT cp, const char* name, std::array<BYTE, 12> leads,
                                  char32_t unicodeDefault = kQuestionMark, UINT maxSize = 2) {
    return {cp,    name, CodecKind::Iconv, maxSize, leads, unicodeDefault, FlagRule::Any,
            false, false};
}

// Pages that Windows converts through a separate module: no flags, no
// default-character arguments.
constexpr CodePageInfo Modular(UINT cp, const char* name, UINT maxSize,
                               CodecKind kind = CodecKind::Iconv) {
    return {cp, name, kind, maxSize, kNoLeadBytes, kReplacement, FlagRule::None, true, false};
}

// MaxCharSize of the ISO-2022 and HZ pages: an escape sequence and a
// double-byte character.
constexpr UINT kShiftedMaxSize = 5;

const CodePageInfo kCodePages[] = {
    Modular(CP_SYMBOL, nullptr, 1, CodecKind::Symbol),
    SingleByte(437, "IBM437"),
    SingleByte(850, "IBM850"),
    SingleByte(866, "IBM866"),
    SingleByte(874, "CP874", true),
    DoubleByte(932, "CP932", {0x81, 0x9F, 0xE0, 0xFC}, 0x30FB),
    DoubleByte(936, "CP936", {0x81, 0xFE}),
    DoubleByte(949, "CP949", {0x81, 0xFE}),
    DoubleByte(950, "CP950", {0x81, 0xFE}),
    SingleByte(1250, "CP1250", true),
    SingleByte(1251, "CP1251", true),
    SingleByte(1252, "CP1252", true),
    SingleByte(1253, "CP1253", true),
    SingleByte(1254, "CP1254", true),
    SingleByte(1255, "CP1255", true),
    SingleByte(1256, "CP1256", true),
    SingleByte(1257, "CP1257", true),
    SingleByte(1258, "CP1258", true),
    SingleByte(10000, "MACINTOSH"),
    SingleByte(20127, "ASCII"),
    SingleByte(20866, "KOI8-R"),
    SingleByte(21866, "KOI8-U"),
    SingleByte(28591, "ISO-8859-1"),
    SingleByte(28592, "ISO-8859-2"),
    SingleByte(28593, "ISO-8859-3"),
    SingleByte(28594, "ISO-8859-4"),
    SingleByte(28595, "ISO-8859-5"),
    SingleByte(28596, "ISO-8859-6"),
    SingleByte(28597, "ISO-8859-7"),
    SingleByte(28598, "ISO-8859-8"),
    SingleByte(28599, "ISO-8859-9"),
    SingleByte(28603, "ISO-8859-13"),
    SingleByte(28605, "ISO-8859-15"),
    Modular(50220, "ISO-2022-JP", kShiftedMaxSize),
    Modular(50221, "ISO-2022-JP", kShiftedMaxSize),
    Modular(50222, "ISO-2022-JP", kShiftedMaxSize),
    Modular(50225, "ISO-2022-KR", kShiftedMaxSize),
    Modular(50227, "ISO-2022-CN", kShiftedMaxSize),
    // EUC-JP writes the JIS X 0212 characters in three bytes.
    DoubleByte(51932, "EUC-JP", {0x8E, 0x8F, 0xA1, 0xFE}, kQuestionMark, 3),
    DoubleByte(51949, "EUC-KR", {0xA1, 0xFE}),
    Modular(52936, "EUC-CN", kShiftedMaxSize, CodecKind::Hz),
    {54936, "GB18030", CodecKind::Iconv, 4, kNoLeadBytes, kReplacement, FlagRule::InvalidCharsOnly,
     true, false},
    Modular(CP_UTF7, "UTF-7", 5),
    {CP_UTF8, nullptr, CodecKind::Utf8, 4, kNoLeadBytes, kReplacement, FlagRule::InvalidCharsOnly,
     true, false},
};

// The Macintosh page Windows gives CP_MACCP on an English system.
constexpr UINT kMacCodePage = 10000;

std::atomic<UINT> ansiCodePage{1252};
std::atomic<UINT> oemCodePage{437};

std::unique_ptr<Codec> MakeCodec(const CodePageInfo& info) {
    switch (info.kind) {
        case CodecKind::SingleByte:
            return SingleByteCodec::FromIconv(info);
        case CodecKind::Symbol:
            return SingleByteCodec::Symbol();
        case CodecKind::Utf8:
            return std::make_unique<Utf8Codec>();
        case CodecKind::Hz:
            return std::make_unique<HzCodec>(info.iconvName);
        case CodecKind::Iconv:
            break;
    }
    return std::make_unique<IconvCodec>(info);
}

}  // namespace

const CodePageInfo* FindCodePage(UINT codePage) {
    for (const CodePageInfo& info : kCodePages) {
        if (info.codePage == codePage) {
            return &info;
        }
    }
    return nullptr;
}

UINT ResolveCodePage(UINT codePage) {
    switch (codePage) {
        case CP_ACP:
        case CP_THREAD_ACP:
            return ansiCodePage.load();
        case CP_OEMCP:
            return oemCodePage.load();
        case CP_MACCP:
            return kMacCodePage;
        default:
            return codePage;
    }
}

const Codec& CodecFor(const CodePageInfo& info) {
    static std::mutex mutex;
    static std::map<UINT, std::unique_ptr<Codec>> codecs;
    std::lock_guard lock(mutex);
    std::unique_ptr<Codec>& codec = codecs[info.codePage];
    if (!codec) {
        codec = MakeCodec(info);
    }
    return *codec;
}

}  // namespace platform::text

namespace platform::host {

bool SetAnsiCodePage(UINT codePage) {
    if (text::FindCodePage(codePage) == nullptr) {
        return false;
    }
    text::ansiCodePage = codePage;
    return true;
}

bool SetOemCodePage(UINT codePage) {
    if (text::FindCodePage(codePage) == nullptr) {
        return false;
    }
    text::oemCodePage = codePage;
    return true;
}

}  // namespace platform::host
