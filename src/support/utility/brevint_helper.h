// The add-in's support object: the language table, string replacement, file
// tests and the check (and self-repair) of the installation.
#pragma once

#include "support/language/ini_parser.h"

#include <string>

class CBrevintHelper {
  public:
    // Loads the language table named by the registry; without it every
    // lookup falls back.
    CBrevintHelper();
    ~CBrevintHelper();
    CBrevintHelper(const CBrevintHelper&) = delete;
    CBrevintHelper& operator=(const CBrevintHelper&) = delete;

    // True with the text when the table has a non-empty value; false with the
    // fallback text otherwise.
    bool GetLabelText(const std::wstring& section, int key, std::wstring& text) const;

    // True when the installation is usable (the filter core and the safe-item
    // library are present and registered, or could be registered again).
    bool IsDLLError();
    // True when the library's DllRegisterServer ran to its end in time.
    static bool RegDll(const std::wstring& path);
    static bool IsFileExist(const std::wstring& path);
    // The path of Outlook's MAPI library as Windows Installer knows it, asked
    // through FGetComponentPath of the system folder's MAPI stub.
    static bool GetExtendedMapiDllPath(std::wstring& path);

    // The image of a toolbar button or logo by its index (1 to 13); true
    // when the path is not empty.
    static bool GetImageLocation(int index, std::wstring& path);

    // Opens a URL: in a new browser window when asked (the default browser
    // started with the URL when it is Internet Explorer), else with the
    // shell's "open". True when the shell started it.
    static bool ExecuteURL(const std::wstring& url, bool newWindow);
    static bool ExecuteURLInNewWindow(const std::wstring& url);

    static void Replace(std::wstring& text, const std::wstring& searched,
                        const std::wstring& replacement, bool all);
    static void ReplaceI(std::wstring& text, const std::wstring& searched,
                         const std::wstring& replacement, bool all);
    static bool IsSubstringConsisted(const std::wstring& text, const std::wstring& part);

  private:
    IniParser m_language;
};

// True when `commandLine` names the program `name` (letter case ignored);
// with `cut`, the command line is cut down to the program's path.
bool IsBrowser(const std::wstring& name, std::wstring& commandLine, bool cut);
