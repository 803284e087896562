// A fresh, empty root folder for one test, removed afterwards. The registry
// is read again from the new root, so a test sees none of the keys an earlier
// test of the same process wrote under its own root.
#pragma once

#include "platform/registry.h"
#include "platform/root.h"

#include <cstdlib>
#include <filesystem>
#include <string>

class TempRoot {
  public:
    TempRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "olsim-test-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
        platform::host::SetRoot(m_path);
        platform::host::ReloadRegistry();
    }
    ~TempRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};
