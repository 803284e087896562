#include <cstring>
#include <string>

#include "objects.h"

namespace mapiview {
namespace {

template <class T>
T* ChainedCopy(const T* data, size_t count, void* parent) {
    void* block = nullptr;
    if (FAILED(AllocateMore(static_cast<ULONG>(count * sizeof(T)), parent, &block)))
        return nullptr;
    if (count)
        std::memcpy(block, data, count * sizeof(T));
    return static_cast<T*>(block);
}

bool PutString(const std::string& text, void* parent, SPropValue& out) {
    out.Value.lpszA = ChainedCopy(text.c_str(), text.size() + 1, parent);
    return out.Value.lpszA != nullptr;
}

bool PutString(const std::wstring& text, void* parent, SPropValue& out) {
    out.Value.lpszW = ChainedCopy(text.c_str(), text.size() + 1, parent);
    return out.Value.lpszW != nullptr;
}

}  // namespace

std::string Narrow(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(std::strlen(narrow.c_str()));
    return narrow;
}

std::wstring Wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
    wide.resize(std::wcslen(wide.c_str()));
    return wide;
}

bool ToPropValue(ULONG tag, const mailstore::PropValue& value, void* parent, SPropValue& out) {
    ULONG type = PROP_TYPE(tag);
    if (type == PT_UNSPECIFIED)
        type = mailstore::TypeOf(value);
    out = SPropValue{};
    out.ulPropTag = PROP_TAG(type, PROP_ID(tag));
    switch (type) {
        case PT_LONG:
            if (auto number = std::get_if<std::int32_t>(&value)) {
                out.Value.l = *number;
                return true;
            }
            return false;
        case PT_BOOLEAN:
            if (auto flag = std::get_if<bool>(&value)) {
                out.Value.b = *flag ? 1 : 0;
                return true;
            }
            return false;
        case PT_SYSTIME:
            if (auto time = std::get_if<mailstore::SysTime>(&value)) {
                out.Value.ft.dwLowDateTime = static_cast<DWORD>(time->ticks);
                out.Value.ft.dwHighDateTime = static_cast<DWORD>(time->ticks >> 32);
                return true;
            }
            return false;
        case PT_BINARY:
            if (auto bytes = std::get_if<mailstore::Bytes>(&value)) {
                out.Value.bin.cb = static_cast<ULONG>(bytes->size());
                out.Value.bin.lpb = ChainedCopy(bytes->data(), bytes->size(), parent);
                return out.Value.bin.lpb != nullptr;
            }
            return false;
        case PT_STRING8:
            if (auto narrow = std::get_if<std::string>(&value))
                return PutString(*narrow, parent, out);
            if (auto wide = std::get_if<std::wstring>(&value))
                return PutString(Narrow(*wide), parent, out);
            return false;
        case PT_UNICODE:
            if (auto wide = std::get_if<std::wstring>(&value))
                return PutString(*wide, parent, out);
            if (auto narrow = std::get_if<std::string>(&value))
                return PutString(Wide(*narrow), parent, out);
            return false;
        default:
            return false;
    }
}

std::optional<mailstore::PropValue> FromPropValue(const SPropValue& value) {
    switch (PROP_TYPE(value.ulPropTag)) {
        case PT_LONG:
            return mailstore::PropValue{static_cast<std::int32_t>(value.Value.l)};
        case PT_BOOLEAN:
            return mailstore::PropValue{value.Value.b != 0};
        case PT_SYSTIME:
            return mailstore::PropValue{mailstore::SysTime{
                (static_cast<std::uint64_t>(value.Value.ft.dwHighDateTime) << 32) |
                value.Value.ft.dwLowDateTime}};
        case PT_BINARY:
            return MakeValue<mailstore::Bytes>(value.Value.bin.lpb,
                                               value.Value.bin.lpb + value.Value.bin.cb);
        case PT_STRING8:
            if (value.Value.lpszA)
                return MakeValue<std::string>(value.Value.lpszA);
            return std::nullopt;
        case PT_UNICODE:
            if (value.Value.lpszW)
                return MakeValue<std::wstring>(value.Value.lpszW);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

HRESULT GetPropsOf(const PropertySource& source, LPSPropTagArray tags, ULONG* count,
                   LPSPropValue* values) {
    if (!count || !values)
        return MAPI_E_INVALID_PARAMETER;
    *count = 0;
    *values = nullptr;
    std::vector<ULONG> asked;
    if (tags)
        asked.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
    else
        asked = source.AllTags();
    void* block = nullptr;
    const ULONG size = static_cast<ULONG>(std::max<size_t>(asked.size(), 1) * sizeof(SPropValue));
    if (FAILED(AllocateBuffer(size, &block)))
        return MAPI_E_NOT_ENOUGH_MEMORY;
    auto* out = static_cast<LPSPropValue>(block);
    bool missing = false;
    for (size_t i = 0; i < asked.size(); ++i) {
        const auto found = source.Find(asked[i]);
        if (found && ToPropValue(asked[i], *found, block, out[i]))
            continue;
        out[i] = SPropValue{};
        out[i].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(asked[i]));
        out[i].Value.err = MAPI_E_NOT_FOUND;
        missing = true;
    }
    *count = static_cast<ULONG>(asked.size());
    *values = out;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

mailstore::EntryId ToEntryId(ULONG size, LPENTRYID id) {
    if (!id || size == 0)
        return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(id);
    return mailstore::EntryId(bytes, bytes + size);
}

LPENTRYID CopyEntryId(const mailstore::EntryId& id, void* parent) {
    return reinterpret_cast<LPENTRYID>(ChainedCopy(id.data(), id.size(), parent));
}

HRESULT NewMapiError(const std::wstring& text, ULONG flags, LPMAPIERROR* error) {
    const bool wide = (flags & MAPI_UNICODE) != 0;
    void* block = nullptr;
    if (FAILED(AllocateBuffer(sizeof(MAPIERROR), &block)))
        return MAPI_E_NOT_ENOUGH_MEMORY;
    auto* made = static_cast<LPMAPIERROR>(block);
    *made = MAPIERROR{};
    const auto copy = [&](const std::wstring& from) -> LPSTR {
        if (wide)
            return reinterpret_cast<LPSTR>(ChainedCopy(from.c_str(), from.size() + 1, block));
        const std::string narrow = Narrow(from);
        return ChainedCopy(narrow.c_str(), narrow.size() + 1, block);
    };
    made->lpszError = copy(text);
    made->lpszComponent = copy(L"MAPI");
    if (!made->lpszError || !made->lpszComponent) {
        FreeBuffer(block);
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    *error = made;
    return S_OK;
}

}  // namespace mapiview
