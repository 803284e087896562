#include "com_runtime/server_modules.h"

#include <errhandlingapi.h>
#include <libloaderapi.h>
#include <objbase.h>

#include <algorithm>
#include <mutex>
#include <variant>
#include <vector>

namespace platform::com {
namespace {

struct Server {
    HMODULE module = nullptr;
    LPFNGETCLASSOBJECT getClassObject = nullptr;
    LPFNCANUNLOADNOW canUnloadNow = nullptr;  // null: the module stays
};

// The lock guards the list only; module code is never called under it, so a
// server may activate other classes from inside its own calls.
std::mutex serversLock;
std::vector<Server>& Servers() {
    // Lives as long as the process: servers may be freed from static destructors.
    static auto* servers = new std::vector<Server>;
    return *servers;
}

template <class Function>
Function ExportOf(HMODULE module, const char* name) {
    // Through void*: a cast between unrelated function types draws a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The server of a module just loaded by the caller: a second load of a module
// COM already keeps is given back at once.
std::variant<Server, HRESULT> Keep(HMODULE module) {
    std::unique_lock lock(serversLock);
    auto& servers = Servers();
    auto kept = std::find_if(servers.begin(), servers.end(),
                             [&](const Server& server) { return server.module == module; });
    if (kept != servers.end()) {
        const Server server = *kept;
        lock.unlock();
        FreeLibrary(module);
        return server;
    }
    lock.unlock();
    Server server{module, ExportOf<LPFNGETCLASSOBJECT>(module, "DllGetClassObject"),
                  ExportOf<LPFNCANUNLOADNOW>(module, "DllCanUnloadNow")};
    if (!server.getClassObject) {
        FreeLibrary(module);
        return CO_E_ERRORINDLL;
    }
    lock.lock();
    servers.push_back(server);
    return server;
}

}  // namespace

HRESULT ClassObjectFromServer(const std::wstring& windowsPath, REFCLSID clsid, REFIID iid,
                              void** object) {
    HMODULE module = LoadLibraryExW(windowsPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        return HRESULT_FROM_WIN32(GetLastError());
    auto server = Keep(module);
    if (const HRESULT* failure = std::get_if<HRESULT>(&server))
        return *failure;
    return std::get<Server>(server).getClassObject(clsid, iid, object);
}

void FreeUnusedServers() {
    std::vector<Server> candidates;
    {
        std::lock_guard lock(serversLock);
        candidates = Servers();
    }
    for (const Server& candidate : candidates) {
        if (!candidate.canUnloadNow || candidate.canUnloadNow() != S_OK)
            continue;
        bool released = false;
        {
            std::lock_guard lock(serversLock);
            auto& servers = Servers();
            auto kept = std::find_if(servers.begin(), servers.end(), [&](const Server& server) {
                return server.module == candidate.module;
            });
            if (kept != servers.end()) {
                servers.erase(kept);
                released = true;
            }
        }
        if (released)
            FreeLibrary(candidate.module);
    }
}

}  // namespace platform::com
