#include "module/shared_object.h"

#include <winerror.h>

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace platform::module {
namespace {

// The base of a dlopen handle: the object that holds its dynamic section.
HMODULE BaseOf(void* library) {
    link_map* map = nullptr;
    if (::dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return nullptr;
    Dl_info info{};
    if (!::dladdr(map->l_ld, &info))
        return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

DWORD ErrorOfFailedOpen() {
    const char* message = ::dlerror();
    // The file itself exists (the caller found it); what dlopen could not open
    // is a library it depends on, which Windows reports as a missing module.
    if (message && std::strstr(message, "cannot open shared object file"))
        return ERROR_MOD_NOT_FOUND;
    return ERROR_BAD_EXE_FORMAT;
}

}  // namespace

std::variant<SharedObject, DWORD> OpenSharedObject(const std::filesystem::path& hostPath) {
    void* library = ::dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return ErrorOfFailedOpen();
    SharedObject object{library, BaseOf(library)};
    if (!object.base) {
        ::dlclose(library);
        return DWORD{ERROR_BAD_EXE_FORMAT};
    }
    return object;
}

void CloseSharedObject(const SharedObject& object) {
    ::dlclose(object.library);
}

const SharedObject& ProcessImageObject() {
    static const SharedObject image = [] {
        void* library = ::dlopen(nullptr, RTLD_NOW);
        return SharedObject{library, BaseOf(library)};
    }();
    return image;
}

void* OwnSymbol(const SharedObject& object, const char* name) {
    void* symbol = ::dlsym(object.library, name);
    if (!symbol)
        return nullptr;
    Dl_info info{};
    if (!::dladdr(symbol, &info) || info.dli_fbase != object.base)
        return nullptr;
    return symbol;
}

void* ExportedSymbol(const SharedObject& object, const char* name) {
    std::string spelled(name);
    if (spelled.find('$') != std::string::npos)
        return nullptr;  // only the module's own spelling, never a Windows name
    std::replace(spelled.begin(), spelled.end(), '@', '$');
    return OwnSymbol(object, spelled.c_str());
}

}  // namespace platform::module
