// The add-in's progress window as the user sees it: found among Outlook's
// windows by its bar, read control by control, and its two buttons pressed
// as a user presses them. The rows of the scenario tables for it, and what
// the JSON state shows of it.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "verbs.h"

namespace olsim {

struct ProgressWindowView {
    HWND window = nullptr;
    bool shown = false;
    std::wstring title;
    std::map<int, std::wstring> texts;  // the buttons, labels and counts: 202 to 209
    int rangeLow = 0;
    int rangeHigh = 0;
    int position = 0;
    bool stopEnabled = false;
};

// The dialog that holds a progress bar with the identifier 201, shown or not;
// nothing when the add-in has none.
std::optional<ProgressWindowView> FindProgressWindow();

// `progress stop|close`
void CheckProgressCommand(const Step& step);
std::string PressProgressButton(RunContext& run, const Step& step);

// `expect [no] progress ...`
void CheckProgressExpectation(const Step& step, const std::vector<std::string>& words,
                              bool negated);
std::string ExpectProgress(RunContext& run, const std::vector<std::string>& words, bool negated);

}  // namespace olsim
