// A language file as a translator may have left it: any text. Parsing keeps
// what it can read and never fails; every lookup answers a text or empty.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/language/ini_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two bytes a character, so that the parser meets characters outside Latin-1 too.
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    IniParser parser;
    parser.ParseText(text);
    parser.ParseText(text);  // again over what it stored: sections are replaced whole
    for (int key : {0, 1, -1, 100})
        (void)parser.GetValue(L"Main", key);
    (void)LeadingNumber(text);
    return 0;
}
