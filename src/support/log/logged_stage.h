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
