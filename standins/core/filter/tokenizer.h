// The filter's view of a message: the distinct tokens of its whole RFC 822
// text, the evidence that votes teach and scores weigh.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bv::filter {

// Every distinct token of the message, once each, in no particular order.
// Header words carry their header's name ("subject:free"); headers that
// only tell the message's route (mailing lists, delivery, identifiers, dates)
// give none. HTML tags are "html:<tag>", URL hosts and their parent domains
// "url:<host>"; body words stand alone, lower-cased.
std::vector<std::string> Tokenize(std::string_view rfc822);

// Given to a message with an HTML part (at any level), so that the form a
// message was written in can be told from its tokens alone, as the journal
// keeps them.
constexpr std::string_view kHtmlFormToken = "form:html";
bool IsHtmlForm(const std::vector<std::string>& tokens);

// Content-Transfer-Encoding decoders; bytes stay bytes, whatever the charset.
std::string DecodeBase64(std::string_view encoded);
std::string DecodeQuotedPrintable(std::string_view encoded);

// The sender's address from the From header, lower-cased; empty when none.
std::string SenderAddress(std::string_view rfc822);

}  // namespace bv::filter
