#include "service/data_worker.h"

#include <objbase.h>

#include "addin/workers/message_string.h"
#include "addin/workers/worker_entry.h"
#include "addin/workers/worker_messages.h"
#include "service/brevint_proxy.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"

namespace {

constexpr const char* kExecute = "CBVDataWorker::ExecuteImpl";
constexpr DWORD kFirstPause = 4;
constexpr DWORD kLongestPause = 16;

void Log(const std::wstring& message) {
    CLogger::GetInstance().LogMessage(kExecute, message);
}

}  // namespace

HRESULT CBVDataWorker::Execute(DWORD_PTR dwParam, HANDLE hObject) {
    return GuardedEntry([&] { return ExecuteImpl(dwParam, hObject); });
}

HRESULT CBVDataWorker::CloseHandle(HANDLE hHandle) {
    return GuardedEntry([&] { return CloseHandleImpl(hHandle); });
}

HRESULT CBVDataWorker::CloseHandleImpl(HANDLE hHandle) {
    return CloseWorkerHandle(hHandle);
}

HRESULT CBVDataWorker::ExecuteImpl(DWORD_PTR, HANDLE hObject) {
    CTraceScope trace(kExecute);
    ResetEvent(hObject);
    if (!IsAction())
        return S_OK;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DWORD pause = kFirstPause;
    for (;;) {
        Log(L"data loading.....");
        if (LoadMissing() || !IsAction())
            break;
        // A stop during the pause ends it at once.
        if (PauseUnlessStopped(pause * 1000))
            break;
        if (pause < kLongestPause)
            pause *= 2;
    }
    CoUninitialize();
    return S_OK;
}

// One text's step of a pass: true when the text is there afterwards. A
// server that answers with something the core cannot read (a portal's page
// in place of the footer document) fails that step alone: the failure is
// logged, the other texts are still fetched, and the next pass tries again.
template <class Step>
bool LoadStep(Step&& step) {
    bool loaded = false;
    RunLoggedStage(kExecute, L"Unhandled exception", [&] { loaded = step(); });
    return loaded;
}

bool CBVDataWorker::LoadMissing() {
    CBrevintProxy& proxy = CBrevintProxy::GetInstance();
    bool allLoaded = true;
    if (!IsAction())
        return true;
    allLoaded = LoadStep([&] { return LoadFooters(proxy); }) && allLoaded;
    if (!IsAction())
        return true;
    allLoaded = LoadStep([&] { return LoadLogoUrl(proxy); }) && allLoaded;
    if (!IsAction())
        return true;
    allLoaded = LoadStep([&] { return LoadTellAFriendUrl(proxy); }) && allLoaded;
    return allLoaded;
}

// Footers switched off by the service are neither fetched nor missing.
bool CBVDataWorker::LoadFooters(CBrevintProxy& proxy) {
    if (!proxy.IsAdvFooterEnable() || proxy.IsFooterLoaded())
        return true;
    const bool loaded = proxy.PreloadFooter();
    Log(loaded ? L"footers was loaded....." : L"footers was not loaded.....");
    return loaded;
}

bool CBVDataWorker::LoadLogoUrl(CBrevintProxy& proxy) {
    if (proxy.IsLogoURLLoaded())
        return true;
    if (!proxy.PreloadLogoUrl()) {
        Log(L"logo url was not loaded.....");
        return false;
    }
    std::wstring url;
    if (proxy.GetLogoURL(url)) {
        Log(L"logo url was loaded.....");
        // The window frees the copy; one that cannot take it leaves it to us.
        const WPARAM copy = NewMessageString(url);
        if (!PostMessageW(WindowHandle(), WM_BV_LOGO_URL_LOADED, copy, 0))
            FreeMessageString(reinterpret_cast<wchar_t*>(copy));
    }
    return true;
}

bool CBVDataWorker::LoadTellAFriendUrl(CBrevintProxy& proxy) {
    if (proxy.IsTellAFriendURLLoaded())
        return true;
    if (!proxy.PreloadTellAFriendUrl()) {
        Log(L"telafriend url was not loaded.....");
        return false;
    }
    std::wstring url;
    if (proxy.GetTellAFriendURL(url)) {
        Log(L"telafriend url was loaded: " + url);
        PostMessageW(WindowHandle(), WM_BV_TELL_A_FRIEND, 0, 0);
    }
    return true;
}
