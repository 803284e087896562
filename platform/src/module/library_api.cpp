// LoadLibraryW and its companions: modules are shared objects lying at
// Windows paths under the root, counted by their loads and unloaded at zero.
#include "fs/case_fold.h"
#include "fs/module_names.h"
#include "module/loader_lock.h"
#include "module/module_search.h"
#include "module/module_table.h"
#include "platform/filesystem.h"

#include <errhandlingapi.h>
#include <libloaderapi.h>
#include <winerror.h>

#include <variant>

namespace platform::module {
namespace {

using EntryPoint = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

bool CallEntryPoint(const LoadedModule& module, DWORD reason) {
    auto entry = reinterpret_cast<EntryPoint>(OwnSymbol(module.object, "DllMain"));
    // A module without an entry point accepts every notification.
    return !entry || entry(module.handle(), reason, nullptr);
}

void Unmap(std::unique_ptr<LoadedModule> module) {
    fs::UnregisterModuleFileName(module->handle());
    CloseSharedObject(module->object);
}

HMODULE ProcessImageHandle() {
    const HMODULE image = ProcessImageObject().base;
    // The image's name may be set at any time by the host; keep the seam current.
    fs::RegisterModuleFileName(image, host::ProcessImagePath());
    return image;
}

// Maps a new module, enters it in the table and runs its attach notification.
HMODULE MapModule(const ModuleFile& file) {
    auto opened = OpenSharedObject(file.hostPath);
    if (auto* error = std::get_if<DWORD>(&opened)) {
        SetLastError(*error);
        return nullptr;
    }
    auto module = std::make_unique<LoadedModule>();
    module->object = std::get<SharedObject>(opened);
    module->windowsPath = file.windowsPath;
    module->file = file.file;
    LoadedModule& added = AddModule(std::move(module));
    fs::RegisterModuleFileName(added.handle(), added.windowsPath);
    if (CallEntryPoint(added, DLL_PROCESS_ATTACH))
        return added.handle();
    // A refused attach is followed at once by the detach, then the unload.
    CallEntryPoint(added, DLL_PROCESS_DETACH);
    Unmap(TakeModule(added.handle()));
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
}

std::optional<ModuleFile> FindModuleFile(std::wstring_view name) {
    const std::wstring fileName = WithDefaultExtension(name);
    return NamesFolder(fileName) ? LocateModuleFile(fileName) : SearchModuleFile(fileName);
}

HMODULE Load(std::wstring_view name) {
    LoaderLockGuard lock;
    const std::wstring fileName = WithDefaultExtension(name);
    // A bare name is first matched against the modules already loaded.
    if (!NamesFolder(fileName)) {
        if (LoadedModule* loaded = FindModuleByBaseName(fileName)) {
            ++loaded->loadCount;
            return loaded->handle();
        }
    }
    const auto file = FindModuleFile(name);
    if (!file) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (LoadedModule* loaded = FindModule(file->file)) {
        ++loaded->loadCount;
        return loaded->handle();
    }
    return MapModule(*file);
}

bool IsProcessImageName(std::wstring_view name) {
    const std::wstring image = host::ProcessImagePath();
    return fs::NamesEqualIgnoringCase(name, NamesFolder(name) ? image : BaseName(image));
}

HMODULE FindLoaded(std::wstring_view name) {
    const std::wstring fileName = WithDefaultExtension(name);
    if (IsProcessImageName(fileName))
        return ProcessImageHandle();
    LoaderLockGuard lock;
    LoadedModule* module = nullptr;
    if (!NamesFolder(fileName)) {
        module = FindModuleByBaseName(fileName);
    } else if (auto file = LocateModuleFile(fileName)) {
        module = FindModule(file->file);
    }
    return module ? module->handle() : nullptr;
}

}  // namespace
}  // namespace platform::module

using namespace platform::module;

extern "C" HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
    // The altered search path only changes where a module's dependencies are
    // looked for, and dependencies here are the host's; other flags (data-file
    // loads and the like) are not needed in this world.
    if (!lpLibFileName || hFile || (dwFlags & ~DWORD{LOAD_WITH_ALTERED_SEARCH_PATH})) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Load(lpLibFileName);
}

extern "C" HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
    return LoadLibraryExW(lpLibFileName, nullptr, 0);
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    if (hLibModule && hLibModule == ProcessImageObject().base)
        return TRUE;
    LoaderLockGuard lock;
    LoadedModule* module = FindModule(hLibModule);
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (--module->loadCount == 0) {
        CallEntryPoint(*module, DLL_PROCESS_DETACH);
        Unmap(TakeModule(hLibModule));
    }
    return TRUE;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    LoaderLockGuard lock;
    const LoadedModule* module = nullptr;
    const SharedObject* object = &ProcessImageObject();
    if (hModule && hModule != object->base) {
        module = FindModule(hModule);
        if (!module) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        object = &module->object;
    }
    // Exports here have names only: an ordinal finds nothing.
    void* symbol = IS_INTRESOURCE(lpProcName) ? nullptr : ExportedSymbol(*object, lpProcName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

extern "C" HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    if (!lpModuleName)
        return ProcessImageHandle();
    HMODULE found = FindLoaded(lpModuleName);
    if (!found)
        SetLastError(ERROR_MOD_NOT_FOUND);
    return found;
}

extern "C" BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) {
    LoaderLockGuard lock;
    LoadedModule* module = FindModule(hLibModule);
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Thread notifications are not delivered here at all; the request is kept.
    module->threadCallsDisabled = true;
    return TRUE;
}
