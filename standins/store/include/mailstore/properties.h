// MAPI properties as the model keeps them: a tag (identifier in the high 16
// bits, type in the low 16) and a typed value.
#pragma once

#include <mailstore/entry_id.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace mailstore {

using PropTag = std::uint32_t;

// Property types (the low word of a tag).
inline constexpr std::uint16_t kTypeLong = 0x0003;
inline constexpr std::uint16_t kTypeBoolean = 0x000B;
inline constexpr std::uint16_t kTypeString8 = 0x001E;
inline constexpr std::uint16_t kTypeUnicode = 0x001F;
inline constexpr std::uint16_t kTypeSystime = 0x0040;
inline constexpr std::uint16_t kTypeBinary = 0x0102;

constexpr std::uint16_t PropType(PropTag tag) {
    return static_cast<std::uint16_t>(tag & 0xFFFF);
}
constexpr std::uint16_t PropId(PropTag tag) {
    return static_cast<std::uint16_t>(tag >> 16);
}
constexpr PropTag ChangeType(PropTag tag, std::uint16_t type) {
    return (tag & 0xFFFF0000u) | type;
}

// The tags the model itself fills or computes.
namespace tags {
inline constexpr PropTag kMessageClass = 0x001A001E;
inline constexpr PropTag kSubject = 0x0037001F;
inline constexpr PropTag kClientSubmitTime = 0x00390040;
inline constexpr PropTag kReadReceiptRequested = 0x0029000B;
inline constexpr PropTag kReceivedByName = 0x0040001F;
inline constexpr PropTag kSentRepresentingName = 0x0042001F;
inline constexpr PropTag kReceivedRepresentingName = 0x0044001F;
inline constexpr PropTag kSentRepresentingAddrType = 0x0064001E;
inline constexpr PropTag kSentRepresentingEmail = 0x0065001E;
inline constexpr PropTag kReceivedByAddrType = 0x0075001E;
inline constexpr PropTag kReceivedByEmail = 0x0076001E;
inline constexpr PropTag kReceivedRepresentingAddrType = 0x0077001E;
inline constexpr PropTag kReceivedRepresentingEmail = 0x0078001E;
inline constexpr PropTag kTransportHeaders = 0x007D001E;
inline constexpr PropTag kSenderName = 0x0C1A001F;
inline constexpr PropTag kSenderAddrType = 0x0C1E001E;
inline constexpr PropTag kSenderEmail = 0x0C1F001E;
inline constexpr PropTag kDisplayTo = 0x0E04001F;
inline constexpr PropTag kMessageDeliveryTime = 0x0E060040;
inline constexpr PropTag kMessageFlags = 0x0E070003;
inline constexpr PropTag kMessageSize = 0x0E080003;
inline constexpr PropTag kParentEntryId = 0x0E090102;
inline constexpr PropTag kEntryId = 0x0FFF0102;
inline constexpr PropTag kStoreEntryId = 0x0FFB0102;
inline constexpr PropTag kBody = 0x1000001F;
inline constexpr PropTag kBodyHtml = 0x1013001F;
inline constexpr PropTag kInternetMessageId = 0x1035001E;
inline constexpr PropTag kDisplayName = 0x3001001F;
inline constexpr PropTag kMdbProvider = 0x34140102;
inline constexpr PropTag kInternetCodePage = 0x3FDE0003;
}  // namespace tags

// Message flags (PR_MESSAGE_FLAGS).
inline constexpr std::uint32_t kMsgFlagRead = 0x0001;
inline constexpr std::uint32_t kMsgFlagUnmodified = 0x0002;
inline constexpr std::uint32_t kMsgFlagSubmit = 0x0004;
inline constexpr std::uint32_t kMsgFlagUnsent = 0x0008;
inline constexpr std::uint32_t kMsgFlagAssociated = 0x0040;
inline constexpr std::uint32_t kMsgFlagReceiptPending = 0x0100;  // a read receipt is still due

// A MAPI time (PT_SYSTIME): 100-nanosecond intervals since 1601-01-01 UTC,
// the value of a FILETIME.
struct SysTime {
    std::uint64_t ticks = 0;
    bool operator==(const SysTime&) const = default;
};

// One value of the six kinds a tag's type names. A narrow string holds bytes
// in the message's code page (the ANSI code page when it has none).
using PropValue = std::variant<std::int32_t, bool, std::string, std::wstring, SysTime, Bytes>;

// The property type a value is stored under.
std::uint16_t TypeOf(const PropValue& value);

}  // namespace mailstore
