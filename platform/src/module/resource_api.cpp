// Resources: FindResourceW and its companions over the table a module
// exports, and LoadStringW over the string blocks built from it.
#include "module/loader_lock.h"
#include "module/module_resources.h"
#include "module/module_table.h"

#include <errhandlingapi.h>
#include <libloaderapi.h>
#include <winerror.h>

#include <algorithm>

namespace platform::module {
namespace {

std::shared_ptr<const ModuleResources> ReadResources(const SharedObject& object) {
    const auto* table =
        static_cast<const resources::Table*>(OwnSymbol(object, BV_MODULE_RESOURCES_SYMBOL));
    return table ? std::make_shared<const ModuleResources>(*table) : nullptr;
}

// The resources of a module (null: the process image), or null with the last
// error set.
std::shared_ptr<const ModuleResources> ResourcesOf(HMODULE handle) {
    LoaderLockGuard lock;
    std::shared_ptr<const ModuleResources> resources;
    if (!handle || handle == ProcessImageObject().base) {
        static const auto image = ReadResources(ProcessImageObject());
        resources = image;
    } else if (LoadedModule* module = FindModule(handle)) {
        if (!module->resources)
            module->resources = ReadResources(module->object);
        resources = module->resources;
    } else {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // A module without resources is one without a resource section.
    if (!resources)
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return resources;
}

const ResourceEntry* EntryOf(HRSRC resource) {
    return reinterpret_cast<const ResourceEntry*>(resource);
}

// The string `index` of a string block, as a view into the block.
std::wstring_view StringInBlock(const ResourceEntry& block, UINT index) {
    const auto* at = static_cast<const WCHAR*>(block.data);
    const WCHAR* end = at + block.size / sizeof(WCHAR);
    for (UINT i = 0; at < end; ++i) {
        const auto length = static_cast<size_t>(*at++);
        if (i == index)
            return {at, std::min(length, static_cast<size_t>(end - at))};
        at += length;
    }
    return {};
}

}  // namespace
}  // namespace platform::module

using namespace platform::module;

extern "C" HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName,
                                        WORD wLanguage) {
    if (!lpType || !lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto resources = ResourcesOf(hModule);
    if (!resources)
        return nullptr;
    const auto found = resources->Find(KeyOf(lpType), KeyOf(lpName), wLanguage);
    if (const DWORD* error = std::get_if<DWORD>(&found)) {
        SetLastError(*error);
        return nullptr;
    }
    // The entry stays put while the module is loaded, as a resource does.
    return reinterpret_cast<HRSRC>(
        const_cast<ResourceEntry*>(std::get<const ResourceEntry*>(found)));
}

extern "C" HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
    return FindResourceExW(hModule, lpType, lpName, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}

// As on Windows, the "loaded" resource is its data in the mapped module;
// LockResource gives that same address.
extern "C" HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
    if (!hResInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<void*>(EntryOf(hResInfo)->data);
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL hResData) {
    return hResData;
}

extern "C" DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
    if (!hResInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return EntryOf(hResInfo)->size;
}

extern "C" int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer,
                                  int cchBufferMax) {
    if (!lpBuffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WORD block = static_cast<WORD>((uID >> 4) + 1);
    HRSRC found = FindResourceW(hInstance, MAKEINTRESOURCEW(block), RT_STRING);
    const std::wstring_view text =
        found ? StringInBlock(*EntryOf(found), uID & 15) : std::wstring_view{};
    if (cchBufferMax == 0) {
        // The caller gets a read-only pointer to the string itself, unterminated.
        *reinterpret_cast<const WCHAR**>(lpBuffer) = text.empty() ? nullptr : text.data();
        return static_cast<int>(text.size());
    }
    const size_t copied = std::min(text.size(), static_cast<size_t>(cchBufferMax) - 1);
    text.copy(lpBuffer, copied);
    lpBuffer[copied] = L'\0';
    return static_cast<int>(copied);
}
