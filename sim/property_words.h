// Expectations that name a thing and then what it should be like, several
// properties on one line: `expect control 1 "Brevint toolbar/Brevint/Options"
// caption Options width 70 image none`. The words up to the first property
// name the thing; each property takes the words its form says.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scenario.h"

namespace olsim {

struct PropertyForm {
    const char* name;
    int values;  // how many words follow the name
};

struct Property {
    std::string name;
    std::vector<std::string> values;
};

struct Described {
    std::vector<std::string> subject;  // the words before the first property
    std::vector<Property> properties;  // in the order written
};

// Splits `words` from `from` on. Throws ParseError naming the line when the
// subject is missing or a property lacks its words.
Described SplitProperties(const Step& step, const std::vector<std::string>& words, size_t from,
                          std::span<const PropertyForm> forms);

// A whole number, decimal or hexadecimal with "0x", possibly negative;
// nothing for anything else.
std::optional<std::int64_t> ParseInteger(const std::string& text);
// "yes" or "no"; nothing for anything else.
std::optional<bool> ParseYesNo(const std::string& text);

// The words joined by blanks, from `from` on.
std::string JoinWords(const std::vector<std::string>& words, size_t from = 0);

}  // namespace olsim
