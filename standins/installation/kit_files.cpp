#include "kit_files.h"

#include "platform/filesystem.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace installation {

bool WriteWholeFile(const std::wstring& windowsPath, std::string_view bytes, std::wstring& error) {
    std::filesystem::path hostPath;
    try {
        hostPath = platform::host::HostPathFromWindows(windowsPath);
    } catch (const std::invalid_argument&) {
        error = L"Not a valid Windows path: " + windowsPath;
        return false;
    }
    std::error_code failure;
    std::filesystem::create_directories(hostPath.parent_path(), failure);
    if (failure) {
        error = L"Could not create the folder of " + windowsPath;
        return false;
    }
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = L"Could not write " + windowsPath;
        return false;
    }
    return true;
}

}  // namespace installation
