#include "support/utility/entry_id_text.h"

std::wstring EntryIdToText(const void* bytes, size_t size) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(size * 2);
    const auto* byte = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[byte[i] >> 4];
        text += kDigits[byte[i] & 0x0F];
    }
    return text;
}
