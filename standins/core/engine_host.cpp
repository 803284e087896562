#include "core/engine_host.h"

#include <shlobj.h>
#include <windows.h>

#include <atlcom.h>
#include <platform/filesystem.h>

#include <iostream>
#include <optional>
#include <string>

namespace standins::core {
namespace {

std::mutex engineMutex;
std::shared_ptr<bv::filter::FilterEngine> engine;
std::string lastFailure;  // why the last open failed, told once until it changes

// The store's troubles go on standard error, where the registry's go: an
// open that failed, and damage that an open repaired.
void Tell(const std::string& text) {
    std::cerr << "filter core: " << text << "\n";
}

// <application data>\Brevint\Filter, created on the way; nothing when the
// folder cannot be had.
std::optional<std::wstring> StoreFolder() {
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, appData)))
        return std::nullopt;
    std::wstring folder = appData;
    for (const wchar_t* part : {L"\\Brevint", L"\\Filter"}) {
        folder += part;
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return std::nullopt;
    }
    return folder;
}

}  // namespace

std::shared_ptr<bv::filter::FilterEngine> SharedEngine() {
    std::lock_guard lock(engineMutex);
    if (engine)
        return engine;
    std::optional<std::wstring> folder = StoreFolder();
    if (!folder)
        return nullptr;
    try {
        engine = std::make_shared<bv::filter::FilterEngine>(
            platform::host::HostPathFromWindows(*folder));
    } catch (const std::exception& error) {
        // Every need tries again, so a store that stays damaged is told of once.
        if (lastFailure != error.what()) {
            lastFailure = error.what();
            Tell(lastFailure);
        }
        return nullptr;
    }
    lastFailure.clear();
    if (std::string notice = engine->Stats().loaded.DamageNotice(); !notice.empty())
        Tell(notice);
    return engine;
}

namespace {

HRESULT ReportFailure(REFCLSID clsid, REFIID iid, const std::string& text) {
    const std::wstring description(text.begin(), text.end());
    return AtlReportError(clsid, description.c_str(), iid, E_FAIL);
}

}  // namespace

HRESULT StoreUnavailable(REFCLSID clsid, REFIID iid) {
    std::string reason;
    {
        std::lock_guard lock(engineMutex);
        reason = lastFailure.empty() ? "no application data folder" : lastFailure;
    }
    return ReportFailure(clsid, iid, "the filter's store cannot be opened: " + reason);
}

HRESULT StoreWriteFailed(REFCLSID clsid, REFIID iid, const char* reason) {
    return ReportFailure(clsid, iid,
                         std::string("the filter's store cannot be written: ") + reason);
}

void ReleaseSharedEngine() {
    std::shared_ptr<bv::filter::FilterEngine> released;
    {
        std::lock_guard lock(engineMutex);
        released.swap(engine);
    }
    // Closed here, outside the lock, unless a call still holds it.
}

std::mutex& SenderListsMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace standins::core
