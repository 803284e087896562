#include "addin/crash/dump_attachment.h"

#include <shlobj.h>

#include <string>

#include "addin/crash/minidump_handler.h"
#include "support/log/logger.h"
#include "support/replay/unicode.h"

namespace {

void AppendBackslash(std::wstring& path) {
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
}

// "<application data>\Brevint\Dumps", each folder created when missing.
std::wstring DumpFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE);
    std::wstring folder = appData;
    AppendBackslash(folder);
    folder += L"Brevint\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"Dumps";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// The last element of the host's executable path, with its backslash.
std::wstring HostExecutableName() {
    wchar_t path[260] = {};
    GetModuleFileNameW(nullptr, path, 260);
    const std::wstring executable = path;
    const auto slash = executable.rfind(L'\\');
    return slash == std::wstring::npos ? executable : executable.substr(slash);
}

}  // namespace

CDumpHandlerAttachment::CDumpHandlerAttachment(const char* function) {
    try {
        const std::wstring baseName = DumpFolder() + HostExecutableName();
        if (CMiniDumpHandler::Attach(replay::unicode::to_narrow(baseName, CP_ACP), MiniDumpNormal))
            m_isAttached = 1;
        else
            CLogger::GetInstance().LogMessage(function, L"Unable to attach MiniDump handler");
    } catch (...) {
        CLogger::GetInstance().LogMessage(function, L"Error during attaching MiniDump handler");
    }
}

CDumpHandlerAttachment::~CDumpHandlerAttachment() {
    if (m_isAttached)
        CMiniDumpHandler::Detach();
}
