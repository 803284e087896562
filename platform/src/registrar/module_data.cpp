#include "registrar/module_data.h"

#include <errhandlingapi.h>
#include <fileapi.h>
#include <handleapi.h>
#include <libloaderapi.h>
#include <winerror.h>

#include "core/ansi.h"
#include "core/utf8.h"

namespace platform::registrar {
namespace {

HRESULT LastErrorResult() {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// A module handle: one the process already had, or one loaded here and freed
// at the end.
class ModuleReference {
  public:
    explicit ModuleReference(LPCWSTR path) {
        m_module = GetModuleHandleW(path);
        if (!m_module) {
            m_module = LoadLibraryW(path);
            m_owned = m_module != nullptr;
        }
    }
    ~ModuleReference() {
        if (m_owned)
            FreeLibrary(m_module);
    }
    ModuleReference(const ModuleReference&) = delete;
    ModuleReference& operator=(const ModuleReference&) = delete;
    HMODULE get() const { return m_module; }

  private:
    HMODULE m_module = nullptr;
    bool m_owned = false;
};

}  // namespace

HRESULT ReadFileBytes(LPCWSTR path, std::string& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorResult();
    bytes.clear();
    char buffer[4096];
    DWORD read = 0;
    HRESULT result = S_OK;
    do {
        if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
            result = LastErrorResult();
            break;
        }
        bytes.append(buffer, read);
    } while (read > 0);
    CloseHandle(file);
    return result;
}

HRESULT ReadModuleResource(LPCWSTR modulePath, LPCWSTR type, LPCWSTR name, std::string& bytes) {
    ModuleReference module(modulePath);
    if (!module.get())
        return LastErrorResult();
    HRSRC resource = FindResourceW(module.get(), name, type);
    if (!resource)
        return LastErrorResult();
    HGLOBAL loaded = LoadResource(module.get(), resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return LastErrorResult();
    bytes.assign(static_cast<const char*>(data), SizeofResource(module.get(), resource));
    return S_OK;
}

bool ResourceText(const std::string& bytes, std::wstring& text) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        text.clear();
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
        return true;
    }
    std::string_view utf8 = bytes;
    if (utf8.starts_with("\xEF\xBB\xBF"))
        utf8.remove_prefix(3);
    // Text that is not UTF-8 was written in the ANSI code page.
    auto decoded = DecodeUtf8<wchar_t>(utf8);
    if (decoded.valid) {
        text = std::move(decoded.text);
        return true;
    }
    auto wide = AnsiToWide(utf8.data(), utf8.size());
    if (!wide)
        return false;
    text = std::move(*wide);
    return true;
}

}  // namespace platform::registrar
