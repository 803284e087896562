// A lenient reader of RFC 822 / MIME entities: headers unfolded, bodies as
// views into the original text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bv::filter::mime {

struct Header {
    std::string name;   // lower-cased
    std::string value;  // unfolded, trimmed
};

struct Entity {
    std::vector<Header> headers;
    std::string_view body;

    // The first header of that (lower-case) name; empty when absent.
    std::string_view Find(std::string_view name) const;
};

// Splits at the first empty line; a text without one is all headers.
Entity ParseEntity(std::string_view text);

// "text/html; charset=x" -> "text/html"; the parameter's value, unquoted.
std::string MediaType(std::string_view contentType);
std::string Parameter(std::string_view headerValue, std::string_view name);

// The parts between the boundary's delimiter lines; preamble and epilogue dropped.
std::vector<std::string_view> SplitMultipart(std::string_view body, std::string_view boundary);

// Encoded words ("=?charset?B?...?=") replaced by their bytes.
std::string DecodeEncodedWords(std::string_view value);

std::string AsciiLower(std::string_view text);

}  // namespace bv::filter::mime
