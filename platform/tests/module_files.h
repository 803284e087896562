// Puts the test modules built beside the tests at Windows paths under the
// test's root, and reads back what they recorded of their lives.
#pragma once

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

// The modules append "tag:event" lines to the file named by BV_MODULE_LOG.
class ModuleLog {
  public:
    explicit ModuleLog(std::filesystem::path file) : file_(std::move(file)) {
        ::setenv("BV_MODULE_LOG", file_.c_str(), 1);
    }
    ~ModuleLog() { ::unsetenv("BV_MODULE_LOG"); }

    std::vector<std::string> Events() const {
        std::vector<std::string> events;
        std::ifstream in(file_);
        for (std::string line; std::getline(in, line);)
            events.push_back(line);
        return events;
    }

  private:
    std::filesystem::path file_;
};
