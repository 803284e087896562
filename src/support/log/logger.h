// The trace log: one plain-text file, OLClient.log, in the user's
// application-data folder under Brevint\Logs. Every operation writes an Enter
// and an Exit line (see CTraceScope) and message, number and exception lines
// in between, e.g.
//
//   2007\3\4 9:5:3 ----> CConnect::InitHandler - Enter
//   2007\3\4 9:5:3 CConnect::OnConnectionImpl - Explorers number : 2
//   2007\3\4 9:5:4 COMEX: CConnect::InitHandler -- hr=-2147467259
//
// Each line is one open, append, flush and close of the file, so no handle is
// held between lines and lines of different threads never mix. Every failure
// of the log is silent: the caller goes on and no line is written.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class CLogger {
  public:
    // The process-wide logger, created by the first call and never destroyed
    // (worker threads may still log while the process shuts down).
    static CLogger& GetInstance();
    // Destroys the process-wide logger; the next use creates it again. For a
    // module being unloaded, when none of its threads runs any more.
    static void ReleaseInstance();

    // Finds the file, applies the size limit and writes the banner. Only the
    // singleton and tests construct loggers.
    CLogger();

    // "function - message", or "function - Error" for an empty message.
    bool LogMessage(const char* function, const std::wstring& message);
    // "function - label: number", the number unsigned.
    bool LogNumber(const char* function, const std::wstring& label, DWORD number);
    // "COMEX: function -- source -- description -- hr=code", empty parts left out.
    bool LogComError(const char* function, const std::wstring& source,
                     const std::wstring& description, HRESULT result);
    // "STDEX: function -- text", empty parts left out.
    bool LogStdException(const char* function, const char* text);

    // The log file's full path; empty when the application-data folder is unknown.
    const std::wstring& Path() const { return m_path; }

  private:
    bool WriteLine(const std::function<std::wstring()>& buildBody);

    std::wstring m_path;
};
