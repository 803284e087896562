// Reading an RFC 822 message into the properties a delivered message has.
#pragma once

#include <mailstore/properties.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mailstore::rfc822 {

using Headers = std::vector<std::pair<std::string, std::string>>;  // unfolded, in order

// The header block of a message, read as a mail server reads it: it ends at
// the blank line or at the first line that is not a field, which starts the
// body; control bytes in a field's value stay in it. Throws StoreError only
// when the message is empty or does not start with a header field.
struct HeaderBlock {
    std::string raw;  // as it came, each line with its line end, without the blank line
    Headers fields;
    std::size_t bodyOffset = 0;  // where the body starts, after the blank line
};
HeaderBlock ReadHeaderBlock(std::string_view message);

// The first value of a field, by name in any letter case.
const std::string* FindField(const Headers& fields, std::string_view name);

// A Content-Type value: "type/subtype" in lower case and its parameters
// (names in lower case).
struct ContentType {
    std::string mediaType = "text/plain";
    std::map<std::string, std::string> parameters;
    std::string Parameter(const std::string& name) const;
};
ContentType ParseContentType(std::string_view value);

// One mailbox of an address list: `Name <address>` and its variants.
struct Mailbox {
    std::string name;
    std::string address;
};
std::vector<Mailbox> ParseAddressList(std::string_view value);

// Windows code page of a MIME charset name; 0 when not known.
unsigned CodePageOfCharset(std::string_view charset);

std::string DecodeBase64(std::string_view encoded);
std::string DecodeQuotedPrintable(std::string_view encoded);
// A header value with its RFC 2047 encoded words decoded; the rest of the
// value is read in `codePage`.
std::wstring DecodeHeaderText(std::string_view value, unsigned codePage);

// The properties a delivered message gets from its text (all but the
// received time and the flags the store sets). Throws StoreError for what
// is not a message (see ReadHeaderBlock).
std::map<PropTag, PropValue> ReadProperties(std::string_view message);

// What Outlook writes into the HTML body it makes from a plain one.
inline constexpr std::wstring_view kConvertedMarker = L"<!-- converted from text/plain format -->";

// The HTML body made from a plain one (it carries kConvertedMarker), and the
// plain text of an HTML body.
std::wstring HtmlFromPlain(std::wstring_view plain);
std::wstring PlainFromHtml(std::wstring_view html);

}  // namespace mailstore::rfc822
