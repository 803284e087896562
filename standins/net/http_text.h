// The text of HTTP/1.1 messages as the core's client and the service
// stand-in read and write it: URLs, header blocks, chunked bodies and query
// strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standins::net {

// "http://host:port/path?query": only the http scheme, no user part; the
// port defaults to 80 and the target to "/". A fragment is dropped.
struct HttpUrl {
    std::string host;
    std::string port = "80";
    std::string target = "/";  // path and query, as sent in the request line
};
std::optional<HttpUrl> ParseHttpUrl(std::string_view url);

// A start line and its header fields, in the order they came.
struct HttpHead {
    std::string startLine;
    std::vector<std::pair<std::string, std::string>> fields;

    // The first field of that name, ignoring case.
    std::optional<std::string> Field(std::string_view name) const;
};

// The offset just after the empty line that ends the head, or npos while the
// head is incomplete. Peers that end lines with a bare LF are understood.
size_t HeadEnd(std::string_view data);
// The head before HeadEnd: lines split at LF with a trailing CR removed;
// folded continuation lines are joined to their field.
HttpHead ParseHead(std::string_view head);

enum class Chunked { Complete, Incomplete, Malformed };
// Decodes a whole chunked body (trailer fields are skipped) into `body`.
Chunked DecodeChunked(std::string_view raw, std::string& body);
std::string EncodeChunked(std::string_view body, size_t chunkSize);

// Percent-encoding of a query value: everything but the unreserved
// characters of RFC 3986 is encoded byte by byte.
std::string PercentEncode(std::string_view text);
// '+' is a space; a malformed escape is kept as it stands.
std::string PercentDecode(std::string_view text);
// The decoded value of the first "name=value" of a query; nothing when absent.
std::optional<std::string> QueryValue(std::string_view query, std::string_view name);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace standins::net
