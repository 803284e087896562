// The in-process servers COM has loaded for activation. COM keeps one load of
// each module for as long as it keeps the module, whoever else loads it too,
// and lets it go only when the module's DllCanUnloadNow agrees.
#pragma once

#include <windef.h>

#include <string>

namespace platform::com {

// The class object for `clsid` from the module at `windowsPath`, loaded on
// first use; the module's DllGetClassObject answers.
HRESULT ClassObjectFromServer(const std::wstring& windowsPath, REFCLSID clsid, REFIID iid,
                              void** object);

// Frees every kept module whose DllCanUnloadNow returns S_OK.
void FreeUnusedServers();

}  // namespace platform::com
