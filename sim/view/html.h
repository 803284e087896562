// Text into a page: every name, subject and log line a page shows comes from
// outside (mail, the add-in, the registry) and is escaped, so that a subject
// holding "<script>" shows as those characters.
#pragma once

#include <string>
#include <string_view>

namespace olsim::view {

// Text for an element's content or a quoted attribute value: & < > " '
// become character references.
std::string Escape(std::string_view text);

// The frame every page shares: the document type, the character set, the
// title, the page's own style sheet and script inline (a page reaches for
// nothing outside itself), then the body.
std::string Document(std::string_view title, std::string_view style, std::string_view body,
                     std::string_view script = {});

}  // namespace olsim::view
