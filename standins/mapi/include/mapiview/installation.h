// Outlook's MAPI as an installation lays it down: its library where Outlook
// keeps it, registered as the mail client's extended MAPI library and as a
// Windows Installer component, the system folder's MAPI stub that answers for
// the component, and the system folder's own mapi32.dll. Each piece can be
// left out, so that a caller's search for the library can be seen falling
// back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mapiview {

// Where the installation puts Outlook's MAPI library.
inline constexpr wchar_t kOutlookMapiLibrary[] =
    L"C:\\Program Files\\Common Files\\System\\MSMAPI\\1033\\MSMAPI32.DLL";
// The installer component Outlook's MAPI library belongs to, and the
// language qualifier it is registered under.
inline constexpr char kOutlookMapiComponent[] = "{6B2A1F3E-9C4D-4E1A-8F7B-3D5C2E9A0B14}";
inline constexpr char kOutlookMapiLanguage[] = "1033";

struct MapiInstallation {
    std::filesystem::path builtMapi32;    // the built MAPI library module
    std::filesystem::path builtMapistub;  // the built stub module
    bool outlookLibrary = true;           // the library at kOutlookMapiLibrary
    bool component = true;     // MSIComponentID, the languages and the installer's record
    bool registryPath = true;  // DLLPathEx
    bool mailClient = true;    // the default mail client's name
    bool mapistub = true;      // mapistub.dll in the system folder
    bool systemMapi32 = true;  // mapi32.dll in the system folder
};

// False with the reason in `error`; each step done is added to `done`.
bool InstallMapi(const MapiInstallation& installation, std::vector<std::string>& done,
                 std::string& error);

}  // namespace mapiview
