// UTF-8 (scenario files, the console) to and from the wide text of the
// Windows side.
#pragma once

#include <string>
#include <string_view>

namespace olsim {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// Equal but for letter case, as Windows compares names.
bool SameName(std::wstring_view a, std::wstring_view b);

}  // namespace olsim
