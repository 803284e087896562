// What the registrar and the type library loader read: whole files, and the
// resources of modules.
#pragma once

#include <windef.h>

#include <string>

namespace platform::registrar {

// The bytes of a file named by its Windows path; the failure as an HRESULT
// from the file functions' last error.
HRESULT ReadFileBytes(LPCWSTR path, std::string& bytes);

// The bytes of a resource of the module at a Windows path: the module already
// loaded in the process, or loaded for the moment.
// HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND) and friends when it has no
// such resource, the loader's error when the module cannot be loaded.
HRESULT ReadModuleResource(LPCWSTR modulePath, LPCWSTR type, LPCWSTR name, std::string& bytes);

// A resource text as modules carry scripts and type libraries: UTF-8 (an
// optional byte-order mark is skipped), or UTF-16LE after its byte-order mark.
bool ResourceText(const std::string& bytes, std::wstring& text);

}  // namespace platform::registrar
