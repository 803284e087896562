// A folder of the fuzzing process's own, in memory where the machine has a
// memory file system, so that the files the code under test writes and syncs
// millions of times cost no disk; removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// A folder of this process's own, empty, removed at exit.
inline std::filesystem::path OwnFolder(const std::string& name) {
    static std::filesystem::path folder;
    const std::filesystem::path memory = "/dev/shm";
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory(memory, error)
                                           ? memory
                                           : std::filesystem::temp_directory_path();
    folder = base / ("bv-" + name + "-fuzz-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    return folder;
}

}  // namespace fuzz
