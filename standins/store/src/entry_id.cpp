#include <mailstore/entry_id.h>
#include <platform/hex_digit.h>

namespace mailstore {

namespace {

template <typename Char>
std::optional<EntryId> FromHex(std::basic_string_view<Char> text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    EntryId id;
    id.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = platform::HexDigitValue(text[i]);
        const int low = platform::HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        id.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return id;
}

}  // namespace

std::wstring EntryIdToHex(const EntryId& id) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(id.size() * 2);
    for (std::uint8_t byte : id) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::optional<EntryId> EntryIdFromHex(std::wstring_view text) {
    return FromHex(text);
}
std::optional<EntryId> EntryIdFromHex(std::string_view text) {
    return FromHex(text);
}

}  // namespace mailstore
