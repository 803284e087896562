// The pages as files: which names ask for a page rather than JSON, and
// `olsim view STATE.json [-o PAGE.html]`.
#pragma once

#include <string>
#include <string_view>

namespace olsim::view {

// A name ending in ".html" (any letter case) asks for a page.
bool IsPageFile(std::string_view name);

// The page of the state in `stateFile`, written to `pageFile` (empty: the
// state's name with ".html" for its extension). False with what is wrong,
// naming the file, in `error`.
bool WriteStatePage(const std::string& stateFile, std::string pageFile, std::string& error);

}  // namespace olsim::view
