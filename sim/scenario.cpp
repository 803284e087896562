#include "scenario.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "text.h"
#include "verbs.h"

namespace olsim {

namespace words {

std::optional<DWORD> ParseNumber(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 10)
        return std::nullopt;
    unsigned long long value = std::stoull(text);
    if (value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<DWORD>(value);
}

DWORD Number(const Step& step, size_t index, const std::string& what) {
    auto number = index < step.words.size() ? ParseNumber(step.words[index]) : std::nullopt;
    if (!number)
        throw ParseError(step.line, "'" + step.verb + "' needs " + what + " (a number)");
    return *number;
}

void Count(const Step& step, size_t least, size_t most, const std::string& form) {
    if (step.words.size() < least || step.words.size() > most)
        Expected(step, form);
}

void Expected(const Step& step, const std::string& form) {
    throw ParseError(step.line, "expected: " + form);
}

}  // namespace words

namespace {

void ApplyProfileLine(Profile& profile, const Step& step) {
    if (step.words.empty())
        throw ParseError(step.line, "'profile' needs a setting");
    const ProfileSetting* setting = FindProfileSetting(step.words[0]);
    if (!setting)
        throw ParseError(step.line, "unknown profile setting '" + step.words[0] + "'");
    setting->apply(profile, step);
}

void CheckCommand(const Step& step) {
    const Command* command = FindCommand(step.verb);
    if (!command)
        throw ParseError(step.line, "unknown command '" + step.verb + "'");
    command->check(step);
}

// The usage lines of one table under a heading, each indented.
template <class Rows>
void AppendUsage(std::string& text, const char* heading, const Rows& rows) {
    text += heading;
    text += "\n";
    for (const auto& row : rows) {
        std::string usage = row.usage;
        for (size_t start = 0; start <= usage.size();) {
            size_t end = usage.find('\n', start);
            if (end == std::string::npos)
                end = usage.size();
            text += "  " + usage.substr(start, end - start) + "\n";
            start = end + 1;
        }
    }
}

}  // namespace

std::optional<DWORD> ParsePropTag(const std::string& text) {
    if (text.size() != 10 || text.rfind("0x", 0) != 0 ||
        text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
        return std::nullopt;
    return static_cast<DWORD>(std::stoul(text.substr(2), nullptr, 16));
}

std::vector<std::string> SplitWords(const std::string& line, int lineNumber) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string word;
            ++i;
            for (;;) {
                if (i >= line.size())
                    throw ParseError(lineNumber, "unterminated quote");
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        word.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                word.push_back(line[i++]);
            }
            words.push_back(word);
        } else {
            size_t end = line.find_first_of(" \t\r\"#", i);
            if (end == std::string::npos)
                end = line.size();
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

std::optional<unsigned long long> ParseDuration(const std::string& text) {
    static const std::map<std::string, unsigned long long> units{
        {"ms", 1}, {"s", 1000}, {"m", 60000}, {"h", 3600000}};
    size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos || digits > 12)
        return std::nullopt;
    auto unit = units.find(text.substr(digits));
    if (unit == units.end())
        return std::nullopt;
    return std::stoull(text.substr(0, digits)) * unit->second;
}

std::optional<DeliverLine> ParseDeliverLine(const std::vector<std::string>& words) {
    DeliverLine line;
    size_t i = 0;
    for (; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "to" || word == "size" || word == "burst" || word == "deleted")
            break;
        line.files.push_back(word);
    }
    if (line.files.empty())
        return std::nullopt;
    for (; i < words.size(); ++i) {
        const std::string& word = words[i];
        if ((word == "to" || word == "size") && i + 1 == words.size())
            return std::nullopt;
        if (word == "to" && !line.folder) {
            line.folder = words[++i];
        } else if (word == "size" && !line.size) {
            const auto size = words::ParseNumber(words[++i]);
            if (!size)
                return std::nullopt;
            line.size = *size;
        } else if (word == "burst" && !line.burst) {
            line.burst = true;
        } else if (word == "deleted" && !line.deleted) {
            line.deleted = true;
        } else {
            return std::nullopt;
        }
    }
    return line;
}

std::string UsageText() {
    std::string text;
    AppendUsage(text, "Commands:", Commands());
    AppendUsage(text, "Expectations:", Expectations());
    AppendUsage(text, "Profile lines:", ProfileSettings());
    return text;
}

Scenario ParseScenario(const std::string& text) {
    Scenario scenario;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        auto words = SplitWords(line, number);
        if (words.empty())
            continue;
        Step step;
        step.line = number;
        step.text = line;
        if (!step.text.empty() && step.text.back() == '\r')
            step.text.pop_back();
        step.verb = words[0];
        step.words.assign(words.begin() + 1, words.end());
        if (step.verb == "profile") {
            ApplyProfileLine(scenario.profile, step);
            continue;
        }
        CheckCommand(step);
        scenario.steps.push_back(std::move(step));
    }
    return scenario;
}

}  // namespace olsim
