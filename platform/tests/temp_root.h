// A fresh, empty root folder for one test, removed afterwards.
#pragma once

#include "platform/root.h"

#include <cstdlib>
#include <filesystem>
#include <string>

class TempRoot {
  public:
    TempRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "olsim-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        platform::host::SetRoot(path_);
    }
    ~TempRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};
