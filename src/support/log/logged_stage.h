// One stage of an operation whose failures are logged and do not stop the
// operation: a COM error becomes a COMEX line, a standard exception an STDEX
// line and anything else a message line of its own. Whether that last kind is
// also passed on to the caller is the operation's choice.
#pragma once

#include <comdef.h>

#include <exception>
#include <string>
#include <utility>

#include "support/log/logger.h"

enum class OtherFailures { Logged, LoggedAndRethrown };

// Logs a COM error as a COMEX line of `function`.
inline void LogComException(const char* function, const _com_error& error) {
    const _bstr_t source = error.Source();
    const _bstr_t description = error.Description();
    CLogger::GetInstance().LogComError(function, source.length() ? std::wstring(source) : L"",
                                       description.length() ? std::wstring(description) : L"",
                                       error.Error());
}

// A call that failed and that the operation goes on from (or stops at) in
// its own way: a COMEX line with the code and the error information the
// failing object left for the thread, when it left any. True when `result`
// is a failure, so a caller can test and log in one step.
inline bool LogIfFailed(const char* function, HRESULT result) {
    if (SUCCEEDED(result))
        return false;
    IErrorInfo* info = nullptr;
    std::wstring source, description;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR text = nullptr;
        if (SUCCEEDED(info->GetSource(&text)) && text)
            source.assign(text, SysStringLen(text));
        SysFreeString(text);
        text = nullptr;
        if (SUCCEEDED(info->GetDescription(&text)) && text)
            description.assign(text, SysStringLen(text));
        SysFreeString(text);
        info->Release();
    }
    CLogger::GetInstance().LogComError(function, source, description, result);
    return true;
}

// Runs `stage`; true when it ended without an exception.
template <class Stage>
bool RunLoggedStage(const char* function, const wchar_t* otherFailureText, Stage&& stage,
                    OtherFailures others = OtherFailures::Logged) {
    try {
        std::forward<Stage>(stage)();
        return true;
    } catch (const _com_error& error) {
        LogComException(function, error);
    } catch (const std::exception& error) {
        CLogger::GetInstance().LogStdException(function, error.what());
    } catch (...) {
        CLogger::GetInstance().LogMessage(function, otherFailureText);
        if (others == OtherFailures::LoggedAndRethrown)
            throw;
    }
    return false;
}
