// A type library as its text describes it: the library's identity and its
// interfaces and coclasses, in the order written. Members are not part of
// the text a library here is written in.
#pragma once

#include <oaidl.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::typelib {

struct ImplementedType {
    std::wstring name;
    INT flags = 0;  // IMPLTYPEFLAG_*
};

struct TypeDescription {
    TYPEKIND kind = TKIND_INTERFACE;  // TKIND_DISPATCH for a dual interface
    std::wstring name;
    GUID guid{};
    std::wstring helpString;
    WORD flags = 0;  // TYPEFLAG_*
    // An interface's base, or a coclass's interfaces.
    std::vector<ImplementedType> implemented;
};

struct LibraryDescription {
    std::wstring name;
    GUID libid{};
    WORD majorVersion = 0;
    WORD minorVersion = 0;
    LCID lcid = 0;
    std::wstring helpString;
    WORD flags = 0;  // LIBFLAG_*
    std::vector<std::wstring> imports;
    std::vector<TypeDescription> types;
};

// The library that the text describes; nullopt, with a short reason, when the
// text is not in the subset or names what it does not define.
std::optional<LibraryDescription> ReadLibraryText(std::wstring_view text, std::wstring* error);

}  // namespace platform::typelib
