#include "addin/crash/minidump_handler.h"

#include <cstdio>
#include <ctime>

namespace {

// The SDK declares the function, not a type for a pointer to it.
using MiniDumpWriteDumpFunction = decltype(&MiniDumpWriteDump);

struct HandlerState {
    HMODULE library = nullptr;
    MiniDumpWriteDumpFunction writeDump = nullptr;
    MINIDUMP_TYPE dumpType = MiniDumpNormal;
    char fileName[MAX_PATH * 2] = {};
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
};

HandlerState state;

}  // namespace

bool CMiniDumpHandler::Attach(const std::string& baseName, MINIDUMP_TYPE dumpType) {
    HMODULE library = LoadLibraryW(L"dbghelp.dll");
    if (!library)
        return false;
    // Through the generic function type, which any function pointer may pass.
    auto writeDump = reinterpret_cast<MiniDumpWriteDumpFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "MiniDumpWriteDump")));
    if (!writeDump) {
        FreeLibrary(library);
        return false;
    }
    state.library = library;
    state.writeDump = writeDump;
    state.dumpType = dumpType;
    snprintf(state.fileName, sizeof state.fileName, "%s.%i.dmp", baseName.c_str(),
             static_cast<int>(static_cast<unsigned>(_time32(nullptr))));
    state.previousFilter = SetUnhandledExceptionFilter(&CMiniDumpHandler::Filter);
    return true;
}

void CMiniDumpHandler::Detach() {
    if (!state.library)
        return;
    SetUnhandledExceptionFilter(state.previousFilter);
    state.writeDump = nullptr;
    FreeLibrary(state.library);
    state.library = nullptr;
}

LONG WINAPI CMiniDumpHandler::Filter(EXCEPTION_POINTERS* pointers) {
    if (!state.writeDump)
        return EXCEPTION_CONTINUE_SEARCH;
    HANDLE file = CreateFileA(state.fileName, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return EXCEPTION_CONTINUE_SEARCH;
    MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), pointers, FALSE};
    state.writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, state.dumpType, &exception,
                    nullptr, nullptr);
    CloseHandle(file);
    return EXCEPTION_CONTINUE_SEARCH;
}
