// The code pages this platform knows, with the facts GetCPInfo reports and
// the rules the conversion functions apply to them.
#pragma once

#include <windef.h>

#include <array>

namespace platform::text {

class Codec;

enum class CodecKind {
    SingleByte,  // a 256-entry table read from iconv once
    Symbol,      // code page 42: bytes onto the symbol-font private use area
    Utf8,        // this platform's own UTF-8 codec
    Iconv,       // multi-byte and stateful pages, converted through iconv
    Hz,          // HZ-GB-2312: GB2312 pairs between ~{ and ~}
};

// Which dwFlags a page accepts.
enum class FlagRule {
    Any,               // the documented MB_/WC_ flags
    None,              // pages converted by a separate code-page module: 0 only
    InvalidCharsOnly,  // UTF-8 and GB18030: 0 or the invalid-characters flag
};

struct CodePageInfo {
    UINT codePage;
    const char* iconvName;  // null for the pages converted without iconv
    CodecKind kind;
    UINT maxCharSize;
    std::array<BYTE, 12> leadBytes;  // ranges, ending with two zero bytes
    char32_t unicodeDefault;         // stands in for invalid input bytes
    FlagRule flags;
    // Windows rejects lpDefaultChar and lpUsedDefaultChar for these pages.
    bool rejectsDefaultChar;
    // Windows' tables give the undefined bytes 0x80-0x9F of this
    // single-byte page the C1 control of the same value.
    bool c1ForUndefined;
};

// The page's entry, or null when the number names no supported page. The
// pseudo pages CP_ACP and the like must be resolved first.
const CodePageInfo* FindCodePage(UINT codePage);

// CP_ACP, CP_OEMCP, CP_MACCP and CP_THREAD_ACP become the page they stand
// for; any other number is returned as it is.
UINT ResolveCodePage(UINT codePage);

// The page's codec, built on first use and kept for the process.
const Codec& CodecFor(const CodePageInfo& info);

}  // namespace platform::text
