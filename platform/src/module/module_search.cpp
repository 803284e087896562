#include "module/module_search.h"

#include "fs/host_location.h"
#include "fs/windows_path.h"
#include "platform/filesystem.h"

#include <sys/stat.h>

namespace platform::module {
namespace {

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& hostPath) {
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

std::wstring FolderOf(std::wstring_view windowsPath) {
    return std::wstring(windowsPath.substr(0, windowsPath.size() - BaseName(windowsPath).size()));
}

}  // namespace

bool NamesFolder(std::wstring_view name) {
    return name.find_first_of(L"\\/") != std::wstring_view::npos ||
           (name.size() >= 2 && name[1] == L':');
}

std::wstring WithDefaultExtension(std::wstring_view name) {
    std::wstring result(name);
    if (!result.empty() && result.back() == L'.') {
        result.pop_back();
        return result;
    }
    if (BaseName(result).find(L'.') == std::wstring_view::npos)
        result += L".dll";
    return result;
}

std::optional<ModuleFile> LocateModuleFile(std::wstring_view windowsPath) {
    const std::wstring name(windowsPath);
    const fs::ParsedPath parsed = fs::ParseWindowsPath(name.c_str());
    if (parsed.error || parsed.tooLong || parsed.path.trailingSeparator)
        return std::nullopt;
    const fs::HostLocation location = fs::Locate(parsed.path);
    if (!location.found || location.isDirectory)
        return std::nullopt;
    const auto identity = IdentityOf(location.path);
    if (!identity)
        return std::nullopt;
    return ModuleFile{location.path, host::WindowsPathFromHost(location.path), *identity};
}

std::optional<ModuleFile> SearchModuleFile(std::wstring_view fileName) {
    const std::wstring folders[] = {FolderOf(host::ProcessImagePath()), L"C:\\Windows\\system32\\",
                                    L"C:\\Windows\\", L"C:\\"};
    for (const auto& folder : folders) {
        if (auto found = LocateModuleFile(folder + std::wstring(fileName)))
            return found;
    }
    return std::nullopt;
}

}  // namespace platform::module
