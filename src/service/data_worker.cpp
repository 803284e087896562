#include "service/data_worker.h"

#include <objbase.h>

#include "addin/workers/message_string.h"
#include "addin/workers/worker_entry.h"
#include "addin/workers/worker_messages.h"
#include "service/brevint_proxy.h"
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
        // A run that is asked to stop during its pause sees it only afterwards.
        Sleep(pause * 1000);
        if (pause < kLongestPause)
            pause *= 2;
    }
    CoUninitialize();
    return S_OK;
}

bool CBVDataWorker::LoadMissing() {
    CBrevintProxy& proxy = CBrevintProxy::GetInstance();
    bool allLoaded = true;
    if (!IsAction())
        return true;
    // Footers switched off by the service are neither fetched nor missing.
    if (proxy.IsAdvFooterEnable() && !proxy.IsFooterLoaded()) {
        if (proxy.PreloadFooter()) {
            Log(L"footers was loaded.....");
        } else {
            Log(L"footers was not loaded.....");
            allLoaded = false;
        }
    }
    if (!IsAction())
        return true;
    if (!proxy.IsLogoURLLoaded()) {
        if (proxy.PreloadLogoUrl()) {
            std::wstring url;
            if (proxy.GetLogoURL(url)) {
                Log(L"logo url was loaded.....");
                // The window frees the copy; one that cannot take it leaves it to us.
                const WPARAM copy = NewMessageString(url);
                if (!PostMessageW(WindowHandle(), WM_BV_LOGO_URL_LOADED, copy, 0))
                    FreeMessageString(reinterpret_cast<wchar_t*>(copy));
            }
        } else {
            Log(L"logo url was not loaded.....");
            allLoaded = false;
        }
    }
    if (!IsAction())
        return true;
    if (!proxy.IsTellAFriendURLLoaded()) {
        if (proxy.PreloadTellAFriendUrl()) {
            std::wstring url;
            if (proxy.GetTellAFriendURL(url)) {
                Log(L"telafriend url was loaded: " + url);
                PostMessageW(WindowHandle(), WM_BV_TELL_A_FRIEND, 0, 0);
            }
        } else {
            Log(L"telafriend url was not loaded.....");
            allLoaded = false;
        }
    }
    return allLoaded;
}
