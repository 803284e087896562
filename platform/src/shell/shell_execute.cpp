// ShellExecuteW: nothing is started; each call is recorded for the host.
#include <platform/windows.h>

#include <shellapi.h>

#include <mutex>

namespace {

struct ShellLog {
    std::mutex lock;
    std::vector<platform::host::ShellExecuteRecord> calls;
    INT_PTR result = 42;
};

ShellLog& TheLog() {
    static auto* log = new ShellLog;
    return *log;
}

std::wstring Text(LPCWSTR text) {
    return text ? text : L"";
}

}  // namespace

extern "C" HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile,
                                          LPCWSTR lpParameters, LPCWSTR lpDirectory, INT nShowCmd) {
    auto& log = TheLog();
    std::lock_guard guard(log.lock);
    log.calls.push_back(
        {hwnd, Text(lpOperation), Text(lpFile), Text(lpParameters), Text(lpDirectory), nShowCmd});
    return reinterpret_cast<HINSTANCE>(log.result);
}

namespace platform::host {

std::vector<ShellExecuteRecord> ShellExecutes() {
    auto& log = TheLog();
    std::lock_guard guard(log.lock);
    return log.calls;
}

void SetShellExecuteResult(INT_PTR result) {
    auto& log = TheLog();
    std::lock_guard guard(log.lock);
    log.result = result;
}

}  // namespace platform::host
