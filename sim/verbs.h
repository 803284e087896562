// The scenario language as tables: each command, each expectation and each
// profile setting is one row (its name, its usage, the check of its words and
// what carrying it out does), read by the parser, the runner and `olsim help`
// alike. A new verb is one row and its two functions.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scenario.h"

namespace olsim {

class RunContext;

// A command of a scenario: `install`, `deliver FILE...`, ...
struct Command {
    const char* name;
    const char* usage;  // one line per form
    // Throws ParseError naming the line when the words do not fit.
    void (*check)(const Step& step);
    // Carries the command out: empty when done, else why it could not be.
    std::string (*run)(RunContext& run, const Step& step);
    // Calls into Outlook's code, so it is skipped once Outlook has crashed.
    bool runsOutlook;
};

// What `expect [no] NAME ...` looks at.
struct Expectation {
    const char* name;
    const char* usage;  // one line per form, "expect ..." included
    // `words` start with the expectation's name; `no` is taken off first.
    void (*check)(const Step& step, const std::vector<std::string>& words, bool negated);
    // Empty when it holds, else what was found instead.
    std::string (*evaluate)(RunContext& run, const std::vector<std::string>& words, bool negated);
};

// A `profile NAME ...` line: what the machine and Outlook are like.
struct ProfileSetting {
    const char* name;
    const char* usage;
    // Applies the line to the profile; throws ParseError when it does not fit.
    void (*apply)(Profile& profile, const Step& step);
};

std::span<const Command> Commands();
std::span<const Expectation> Expectations();
std::span<const ProfileSetting> ProfileSettings();

// The row of that name in one of the tables; null when there is none.
template <class Row>
const Row* FindRow(std::span<const Row> rows, std::string_view name) {
    for (const Row& row : rows) {
        if (name == row.name)
            return &row;
    }
    return nullptr;
}
inline const Command* FindCommand(std::string_view name) {
    return FindRow(Commands(), name);
}
inline const Expectation* FindExpectation(std::string_view name) {
    return FindRow(Expectations(), name);
}
inline const ProfileSetting* FindProfileSetting(std::string_view name) {
    return FindRow(ProfileSettings(), name);
}

// Every usage line of the three tables, under a heading each: `olsim help`.
std::string UsageText();

// Helpers for the checks of the tables' rows.
namespace words {

// A decimal number of at most 32 bits; nothing for anything else.
std::optional<DWORD> ParseNumber(const std::string& text);
// Word `index` as a number, or a ParseError that says `what` is needed.
DWORD Number(const Step& step, size_t index, const std::string& what);
// Between `least` and `most` words, or a ParseError showing `form`.
void Count(const Step& step, size_t least, size_t most, const std::string& form);
[[noreturn]] void Expected(const Step& step, const std::string& form);

}  // namespace words

}  // namespace olsim
