#include "fs/module_names.h"

#include "platform/filesystem.h"

#include <errhandlingapi.h>
#include <libloaderapi.h>
#include <winerror.h>

#include <map>
#include <mutex>

namespace platform::fs {
namespace {

struct ModuleNames {
    std::mutex lock;
    std::map<HMODULE, std::wstring> names;
};

ModuleNames& Modules() {
    static ModuleNames* modules = new ModuleNames;  // lives as long as the process
    return *modules;
}

}  // namespace

void RegisterModuleFileName(HMODULE module, std::wstring windowsPath) {
    std::lock_guard guard(Modules().lock);
    Modules().names[module] = std::move(windowsPath);
}

void UnregisterModuleFileName(HMODULE module) {
    std::lock_guard guard(Modules().lock);
    Modules().names.erase(module);
}

std::optional<std::wstring> ModuleFileName(HMODULE module) {
    if (!module)
        return platform::host::ProcessImagePath();
    std::lock_guard guard(Modules().lock);
    auto found = Modules().names.find(module);
    if (found == Modules().names.end())
        return std::nullopt;
    return found->second;
}

}  // namespace platform::fs

extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    auto name = platform::fs::ModuleFileName(hModule);
    if (!name) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (name->size() < nSize) {
        name->copy(lpFilename, name->size());
        lpFilename[name->size()] = L'\0';
        return static_cast<DWORD>(name->size());
    }
    // Too small: as since Vista, the name is cut to fit, still terminated, and
    // the whole size is returned with ERROR_INSUFFICIENT_BUFFER.
    if (nSize > 0) {
        name->copy(lpFilename, nSize - 1);
        lpFilename[nSize - 1] = L'\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}
