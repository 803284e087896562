// The host side of a module: a shared object mapped with dlopen. Its HMODULE
// is the address it is mapped at, as a Windows module's handle is its base.
#pragma once

#include <windef.h>

#include <filesystem>
#include <variant>

namespace platform::module {

struct SharedObject {
    void* library = nullptr;  // the dlopen handle
    HMODULE base = nullptr;   // where the object is mapped
};

// Maps the shared object at `hostPath`; on failure the Win32 error: a missing
// dependency is ERROR_MOD_NOT_FOUND, a file that is no shared object
// ERROR_BAD_EXE_FORMAT.
std::variant<SharedObject, DWORD> OpenSharedObject(const std::filesystem::path& hostPath);
void CloseSharedObject(const SharedObject& object);

// The process image (the executable), mapped for the life of the process.
const SharedObject& ProcessImageObject();

// The address of `name` when the object itself defines it. dlsym alone would
// also find what the object's dependencies define, which GetProcAddress on
// Windows never does.
void* OwnSymbol(const SharedObject& object, const char* name);

// An export by its Windows name. A decorated name ("HrGetOneProp@12") cannot
// stand in an ELF symbol table, where the linker reads "@" as a symbol
// version; a module spells each "@" of such an export "$" instead
// (asm("HrGetOneProp$12")), and the lookup does the same.
void* ExportedSymbol(const SharedObject& object, const char* name);

}  // namespace platform::module
