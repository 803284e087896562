#include "support/log/logger.h"

#include <utility>

#include <share.h>
#include <shlobj.h>

#include "support/replay/exception.h"
#include "support/replay/unicode.h"
#include "support/settings/settings.h"
#include "support/utility/unique_handle.h"

#include <cstdio>
#include <iterator>
#include <memory>

namespace {

// A file up to this size is kept and appended to at start; a larger one starts empty.
constexpr DWORD kLargestKeptLog = 0x200000;

const wchar_t kLogFolder[] = L"\\Brevint\\Logs";
const wchar_t kLogName[] = L"OLClient.log";
const char kBanner[] = "\n\n-----------------------LOGGING STARTED-----------------------\n";

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using Stream = std::unique_ptr<FILE, FileCloser>;

UniqueHandle OpenLogFile(const std::wstring& path, DWORD disposition) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// Keeps a log up to the size limit; a larger one, or one that could not be
// opened, is created anew (and so emptied).
void ApplySizeLimit(const std::wstring& path) {
    UniqueHandle existing = OpenLogFile(path, OPEN_EXISTING);
    if (existing) {
        DWORD high = 0;
        DWORD low = GetFileSize(existing.get(), &high);
        if (high == 0 && low <= kLargestKeptLog)
            return;
        existing.reset();
    }
    OpenLogFile(path, CREATE_ALWAYS);
}

Stream OpenForAppend(const std::wstring& path) {
    return Stream(_wfsopen(path.c_str(), L"a", _SH_DENYNO));
}

bool LoggingSwitchedOn() {
    DWORD value = 0;
    return CSettings::GetLogSwitch(value);  // read before each line; the log stays on
}

// Narrow names and exception texts are widened with the thread's ANSI code
// page. Bytes that are no text in that page (a message from a library that
// writes another page, or one cut inside a character) are kept as they are,
// each a character of its own: the line is written all the same, with the
// bytes it was given.
std::wstring Widen(const char* text) {
    if (!text)
        return {};
    try {
        return replay::unicode::to_wide(text, CP_THREAD_ACP);
    } catch (const replay::unicode::unmappable_character&) {
        return replay::unicode::to_wide(text, replay::unicode::identity_codepage);
    }
}

// The name a control character is written under, so that a line stays one
// line whatever text it carries (a subject with CR LF must not forge a line
// of its own, nor a NUL cut one short). A tab is kept as it is.
std::string VisibleControl(wchar_t c) {
    switch (c) {
        case L'\0':
            return "<NUL>";
        case L'\r':
            return "<CR>";
        case L'\n':
            return "<LF>";
        case 0x1B:
            return "<ESC>";
        case 0x7F:
            return "<DEL>";
        default: {
            char name[16];
            snprintf(name, sizeof name, "<0x%02X>", static_cast<unsigned>(c));
            return name;
        }
    }
}

bool IsControl(wchar_t c) {
    return (c < 0x20 && c != L'\t') || c == 0x7F;
}

// The file holds narrow text as the C runtime's "C" locale writes it:
// characters up to U+00FF as their byte, anything beyond as '?', and control
// characters by name.
std::string NarrowForFile(const std::wstring& text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        if (IsControl(c))
            narrow += VisibleControl(c);
        else
            narrow += static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(c) : '?';
    }
    return narrow;
}

std::wstring TimeStamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[64];
    swprintf(stamp, std::size(stamp), L"%u\\%u\\%u %u:%u:%u ", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    return stamp;
}

}  // namespace

namespace {

// Created by the first use, on the user-interface thread before any other
// thread starts; not destroyed at process exit, where a worker left behind
// may still be logging.
CLogger*& Instance() {
    static CLogger* logger = nullptr;
    return logger;
}

}  // namespace

CLogger& CLogger::GetInstance() {
    CLogger*& logger = Instance();
    if (!logger)
        logger = new CLogger;
    return *logger;
}

void CLogger::ReleaseInstance() {
    delete std::exchange(Instance(), nullptr);
}

CLogger::CLogger() {
    if (!LoggingSwitchedOn())
        return;
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) {
        return;
    }
    m_path = std::wstring(appData) + kLogFolder + L"\\" + kLogName;

    ApplySizeLimit(m_path);
    if (Stream stream = OpenForAppend(m_path)) {
        fputs(kBanner, stream.get());
        fflush(stream.get());
    }
}

bool CLogger::WriteLine(const std::function<std::wstring()>& buildBody) {
    if (m_path.empty() || !LoggingSwitchedOn())  // without a file, no switch to read
        return false;
    try {
        Stream stream = OpenForAppend(m_path);
        if (!stream)
            return false;
        // The whole line goes out in the one write that the flush makes.
        const std::string line = NarrowForFile(TimeStamp() + buildBody()) + "\n";
        fwrite(line.data(), 1, line.size(), stream.get());
        return fflush(stream.get()) == 0;
    } catch (const std::exception&) {
        return false;  // a text that could not be converted writes no line
    }
}

bool CLogger::LogMessage(const char* function, const std::wstring& message) {
    return WriteLine(
        [&] { return Widen(function) + L" - " + (message.empty() ? L"Error" : message); });
}

bool CLogger::LogNumber(const char* function, const std::wstring& label, DWORD number) {
    return WriteLine(
        [&] { return Widen(function) + L" - " + label + L": " + std::to_wstring(number); });
}

bool CLogger::LogComError(const char* function, const std::wstring& source,
                          const std::wstring& description, HRESULT result) {
    return WriteLine([&] {
        std::wstring body = L"COMEX: " + Widen(function);
        if (!source.empty())
            body += L" -- " + source;
        if (!description.empty())
            body += L" -- " + description;
        return body + L" -- hr=" + std::to_wstring(static_cast<LONG>(result));
    });
}

bool CLogger::LogStdException(const char* function, const char* text) {
    return WriteLine([&] {
        std::wstring body = L"STDEX: " + Widen(function);
        if (text && *text)
            body += L" -- " + Widen(text);
        return body;
    });
}
