#include "support/utility/com_create.h"

namespace {
// In-process server and handler, local and remote server.
constexpr DWORD kAnyServer = 23;
}  // namespace

HRESULT CreateByProgId(const wchar_t* progId, REFIID iid, void** object) {
    *object = nullptr;
    CLSID clsid{};
    HRESULT result =
        progId[0] == L'{' ? CLSIDFromString(progId, &clsid) : CLSIDFromProgID(progId, &clsid);
    if (FAILED(result))
        return result;
    result = CoCreateInstance(clsid, nullptr, kAnyServer, iid, object);
    if (SUCCEEDED(result) && *object == nullptr)
        result = E_POINTER;
    return result;
}
