// Puts the test modules built beside the tests at Windows paths under the
// test's root, and reads back what they recorded of their lives.
#pragma once

#include <windows.h>

#include "platform/filesystem.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

inline void InstallModule(const char* builtFile, const std::wstring& windowsPath) {
    const auto target = platform::host::HostPathFromWindows(windowsPath);
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(builtFile, target,
                               std::filesystem::copy_options::overwrite_existing);
}

// Runs one of a module's exports without arguments (DllRegisterServer,
// DllUnregisterServer), as an installer does.
inline HRESULT RunExport(const std::wstring& module, const char* name) {
    HMODULE library = LoadLibraryW(module.c_str());
    if (!library)
        return HRESULT_FROM_WIN32(GetLastError());
    auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, name)));
    const HRESULT result = entry ? entry() : E_NOINTERFACE;
    FreeLibrary(library);
    return result;
}

// The modules append "tag:event" lines to the file named by BV_MODULE_LOG.
class ModuleLog {
  public:
    explicit ModuleLog(std::filesystem::path file) : m_file(std::move(file)) {
        ::setenv("BV_MODULE_LOG", m_file.c_str(), 1);
    }
    ~ModuleLog() { ::unsetenv("BV_MODULE_LOG"); }

    std::vector<std::string> Events() const {
        std::vector<std::string> events;
        std::ifstream in(m_file);
        for (std::string line; std::getline(in, line);)
            events.push_back(line);
        return events;
    }

  private:
    std::filesystem::path m_file;
};
