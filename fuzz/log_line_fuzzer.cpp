// Text from outside in the trace log: a subject, a server's answer, an
// exception's message, any characters (two input bytes a character, so that
// text outside Latin-1 comes in too), under several ANSI code pages. Each
// call of the logger writes exactly one line: a time stamp, the text with
// every control character written by name, CR LF, and no NUL, CR or LF
// inside it, so no text can cut a line short or forge one of its own.
#include <windows.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "own_root.h"
#include "platform/codepage.h"
#include "support/log/logger.h"

namespace {

constexpr UINT kAnsiPages[] = {1252, 1251, 932, 936, 65001};
constexpr const char* kFunction = "CConnect::ProcessNewMail";

std::filesystem::path gLog;

std::uintmax_t LogSize() {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(gLog, error);
    return error ? 0 : size;
}

std::string BytesFrom(std::uintmax_t offset) {
    std::ifstream in(gLog, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// "2026\12\6 9:5:3 ": year, month, day, hour, minute, second.
bool StartsWithTimeStamp(std::string_view line) {
    const char separators[] = {'\\', '\\', ' ', ':', ':', ' '};
    size_t at = 0;
    for (char separator : separators) {
        const size_t digits = at;
        while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])))
            ++at;
        if (at == digits || at >= line.size() || line[at] != separator)
            return false;
        ++at;
    }
    return true;
}

// The bytes a call added: one whole line.
void CheckOneLine(std::string_view added) {
    if (added.size() < 2 || !added.ends_with("\r\n"))
        std::abort();  // no line, or one left open
    const std::string_view line = added.substr(0, added.size() - 2);
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        std::abort();  // a line break or a NUL inside the line
    if (!StartsWithTimeStamp(line))
        std::abort();
}

std::wstring WideText(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseOwnRoot("log-line");
    gLog = fuzz::MakeLogFolder();
    return 0;
}

// Byte 0 chooses the call and the ANSI code page, byte 1 where the text is
// cut in two (a COM error's source and description) and the number; the rest
// is the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    static CLogger logger;
    platform::host::SetAnsiCodePage(kAnsiPages[(data[0] >> 2) % std::size(kAnsiPages)]);
    const std::wstring text = WideText(data + 2, size - 2);
    const size_t cut = std::min<size_t>(data[1], text.size());

    fuzz::KeepLogSmall(gLog);
    const std::uintmax_t before = LogSize();
    bool written = false;
    switch (data[0] & 3) {
        case 0:
            written = logger.LogMessage(kFunction, text);
            break;
        case 1:
            written = logger.LogNumber(kFunction, text, data[1] * 0x01010101u);
            break;
        case 2:
            written = logger.LogComError(kFunction, text.substr(0, cut), text.substr(cut),
                                         static_cast<HRESULT>(data[1] * 0x80010001u));
            break;
        case 3: {
            // An exception's message: narrow text of the thread's code page.
            const std::string message(reinterpret_cast<const char*>(data) + 2, size - 2);
            written = logger.LogStdException(kFunction, message.c_str());
            break;
        }
    }
    if (!written)
        std::abort();  // the line was lost
    CheckOneLine(BytesFrom(before));
    return 0;
}
