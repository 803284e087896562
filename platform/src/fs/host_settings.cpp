// The host's settings of the Windows side: user name, process image, and the
// mapping between Windows and host paths.
#include "core/utf8.h"
#include "fs/host_location.h"
#include "platform/filesystem.h"
#include "platform/root.h"

#include <mutex>
#include <stdexcept>

namespace platform::host {
namespace {

struct Settings {
    std::mutex lock;
    std::wstring userName = L"User";
    std::wstring processImage = L"C:\\Program Files\\Microsoft Office\\Office12\\OUTLOOK.EXE";
};

Settings& TheSettings() {
    static Settings* settings = new Settings;  // lives as long as the process
    return *settings;
}

std::wstring Read(std::wstring Settings::*field) {
    auto& settings = TheSettings();
    std::lock_guard guard(settings.lock);
    return settings.*field;
}

void Write(std::wstring Settings::*field, std::wstring value) {
    auto& settings = TheSettings();
    std::lock_guard guard(settings.lock);
    settings.*field = std::move(value);
}

}  // namespace

void SetUserName(std::wstring name) {
    Write(&Settings::userName, std::move(name));
}
std::wstring UserName() {
    return Read(&Settings::userName);
}

void SetProcessImagePath(std::wstring windowsPath) {
    Write(&Settings::processImage, std::move(windowsPath));
}
std::wstring ProcessImagePath() {
    return Read(&Settings::processImage);
}

std::filesystem::path HostPathFromWindows(std::wstring_view windowsPath) {
    std::wstring name(windowsPath);
    auto parsed = platform::fs::ParseWindowsPath(name.c_str());
    if (parsed.error || parsed.tooLong)
        throw std::invalid_argument("not a usable Windows path");
    return platform::fs::Locate(parsed.path).path;
}

std::wstring WindowsPathFromHost(const std::filesystem::path& hostPath) {
    auto relative =
        std::filesystem::absolute(hostPath).lexically_normal().lexically_relative(Root());
    auto part = relative.begin();
    std::string drive = part == relative.end() ? std::string() : part->string();
    if (drive.size() != 7 || !drive.starts_with("drive_") || drive[6] < 'a' || drive[6] > 'z')
        throw std::invalid_argument("not under a drive of the root");
    std::wstring windows{static_cast<wchar_t>(drive[6] - 'a' + L'A'), L':', L'\\'};
    for (++part; part != relative.end(); ++part) {
        if (part->empty() || *part == ".")
            continue;
        if (windows.back() != L'\\')
            windows += L'\\';
        windows += DecodeUtf8<wchar_t>(part->string()).text;
    }
    return windows;
}

}  // namespace platform::host
