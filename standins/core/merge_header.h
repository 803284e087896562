// Puts a message's transport headers back in place of its header block.
//
// The message text a mail store hands out carries headers rebuilt by the
// store; the transport headers are those the message arrived with, which
// the filter learns from. The merged text is the transport header block,
// one empty line, and the message's body byte for byte.
//
// - An empty header (or one of line breaks only) changes nothing: the
//   message comes back as it is.
// - The header's block ends at its first empty line; what follows it is not
//   header and is dropped. Line breaks at its start and end are dropped too,
//   so a header with or without its final blank line merges alike.
// - The body starts after the message's first empty line (CR LF or LF). A
//   message without one is all header: the merged text has an empty body.
// - Line breaks inside the header and the body stay as they came (LF or
//   CR LF); the empty line put between them follows the header's breaks,
//   or the message's when the header is a single line, CR LF when neither
//   has any.
#pragma once

#include <string>
#include <string_view>

namespace standins::core {

std::wstring MergeHeader(std::wstring_view message, std::wstring_view header);

}  // namespace standins::core
