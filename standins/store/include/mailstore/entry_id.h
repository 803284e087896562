// Entry identifiers: the byte strings by which stores, folders and messages
// are found again. Outlook's object model shows them as text, two upper-case
// hexadecimal digits per byte with no separators.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mailstore {

using Bytes = std::vector<std::uint8_t>;
using EntryId = Bytes;

// "00A1FF..." for {0x00, 0xA1, 0xFF, ...}.
std::wstring EntryIdToHex(const EntryId& id);
// Accepts either letter case; nothing for an odd length or a non-hex digit.
std::optional<EntryId> EntryIdFromHex(std::wstring_view text);
std::optional<EntryId> EntryIdFromHex(std::string_view text);

}  // namespace mailstore
