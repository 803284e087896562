#include "property_words.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace olsim {

namespace {

const PropertyForm* FormOf(std::span<const PropertyForm> forms, const std::string& word) {
    auto found = std::find_if(forms.begin(), forms.end(),
                              [&](const PropertyForm& form) { return word == form.name; });
    return found == forms.end() ? nullptr : &*found;
}

}  // namespace

Described SplitProperties(const Step& step, const std::vector<std::string>& words, size_t from,
                          std::span<const PropertyForm> forms) {
    Described described;
    size_t i = from;
    // The subject is at least one word, so a thing may be named like a property.
    for (; i < words.size() && (i == from || !FormOf(forms, words[i])); ++i)
        described.subject.push_back(words[i]);
    if (described.subject.empty())
        throw ParseError(step.line,
                         "expected what the expectation is about after '" + JoinWords(words) + "'");
    while (i < words.size()) {
        const PropertyForm* form = FormOf(forms, words[i]);
        if (!form)
            throw ParseError(step.line, "'" + words[i] + "' is not a property here");
        if (words.size() - i - 1 < static_cast<size_t>(form->values))
            throw ParseError(step.line, std::string("'") + form->name + "' needs " +
                                            std::to_string(form->values) + " word(s) after it");
        Property property{form->name, {}};
        property.values.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                               words.begin() + static_cast<std::ptrdiff_t>(i) + 1 + form->values);
        described.properties.push_back(std::move(property));
        i += 1 + static_cast<size_t>(form->values);
    }
    return described;
}

std::optional<std::int64_t> ParseInteger(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    const bool negative = text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    const bool hex = digits.size() > 2 && (digits.starts_with("0x") || digits.starts_with("0X"));
    const std::string body = hex ? digits.substr(2) : digits;
    if (body.empty() || !std::all_of(body.begin(), body.end(), [&](char c) {
            return hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                       : std::isdigit(static_cast<unsigned char>(c)) != 0;
        }))
        return std::nullopt;
    errno = 0;
    const unsigned long long value = std::strtoull(body.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || value > 0xFFFFFFFFull)
        return std::nullopt;
    return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

std::optional<bool> ParseYesNo(const std::string& text) {
    if (text == "yes")
        return true;
    if (text == "no")
        return false;
    return std::nullopt;
}

std::string JoinWords(const std::vector<std::string>& words, size_t from) {
    std::string joined;
    for (size_t i = from; i < words.size(); ++i)
        joined += (i > from ? " " : "") + words[i];
    return joined;
}

}  // namespace olsim
