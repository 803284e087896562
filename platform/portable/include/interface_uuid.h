// Names the identifier of an interface (or class) at compile time, the way
// Windows code writes __uuidof(IFoo).
//
// Next to each interface its header writes
//     struct IFoo : public IUnknown { ... };
//     BV_DECLARE_UUID(IFoo, "01234567-89AB-CDEF-0123-456789ABCDEF")
// in the namespace that declares IFoo (any namespace works). __uuidof(IFoo)
// is then a constant lvalue of type const GUID, so &__uuidof(IFoo) may be a
// template argument, as _COM_SMARTPTR_TYPEDEF needs. The lookup is exact: a
// derived interface without its own declaration does not compile rather than
// silently answering its base's identifier.
#pragma once

#include <guiddef.h>
#include "hex_digit.h"

#include <cstdint>
#include <type_traits>

namespace platform::com {

// Carries the interface type into argument-dependent lookup, so the
// declaration is found in IFoo's own namespace and nowhere else.
template <class Interface>
struct UuidTag {};

constexpr int UuidHexDigit(char c) {
    const int digit = HexDigitValue(c);
    if (digit < 0)
        throw "BV_DECLARE_UUID: not a hexadecimal digit";  // a compile error in constant evaluation
    return digit;
}

constexpr uint64_t HexField(const char* text, int first, int count) {
    uint64_t value = 0;
    for (int i = first; i < first + count; ++i)
        value = value * 16 + UuidHexDigit(text[i]);
    return value;
}

// Reads "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces).
template <size_t N>
constexpr GUID ParseUuidLiteral(const char (&text)[N]) {
    static_assert(N == 37, "a UUID literal has 36 characters");
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        throw "BV_DECLARE_UUID: misplaced dash";
    GUID guid{};
    guid.Data1 = static_cast<uint32_t>(HexField(text, 0, 8));
    guid.Data2 = static_cast<uint16_t>(HexField(text, 9, 4));
    guid.Data3 = static_cast<uint16_t>(HexField(text, 14, 4));
    guid.Data4[0] = static_cast<uint8_t>(HexField(text, 19, 2));
    guid.Data4[1] = static_cast<uint8_t>(HexField(text, 21, 2));
    for (int i = 0; i < 6; ++i)
        guid.Data4[2 + i] = static_cast<uint8_t>(HexField(text, 24 + 2 * i, 2));
    return guid;
}

template <class T>
using UuidSubject = std::remove_cv_t<std::remove_pointer_t<std::remove_cvref_t<T>>>;

#ifdef _WIN32
// The Windows SDK names its own interfaces' identifiers through the compiler's
// table (__CRT_UUID_DECL); an interface declared here is found first, being an
// exact match, and every other falls back to the SDK's.
template <class Interface>
constexpr const GUID& bv_declared_uuid(UuidTag<Interface>) {
    return __mingw_uuidof<Interface>();
}
#endif

}  // namespace platform::com

// The identifier lives in a variable of its own, so every __uuidof(IFoo)
// names the same object within a module. `type` is the plain name of a type
// declared in the current namespace.
#define BV_DECLARE_UUID(type, text)                                                    \
    inline constexpr GUID bv_uuid_of_##type = ::platform::com::ParseUuidLiteral(text); \
    constexpr const GUID& bv_declared_uuid(::platform::com::UuidTag<type>) {           \
        return bv_uuid_of_##type;                                                      \
    }

// __uuidof takes a type (an interface, a pointer to one, or a class) or an
// expression of such a type, as IID_PPV_ARGS hands it.
#undef __uuidof
#define __uuidof(T) \
    bv_declared_uuid(::platform::com::UuidTag<::platform::com::UuidSubject<__typeof__(T)>>{})
