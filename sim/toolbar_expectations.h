// The rows of the expectation table about Office's command bars in Outlook's
// explorers: what a bar, its controls and their order show, as the user sees
// them (the stand-in's view of its bars, never the add-in's memory).
#pragma once

#include <string>
#include <vector>

#include "verbs.h"

namespace olsim {

void CheckBarExpectation(const Step& step, const std::vector<std::string>& words, bool negated);
std::string ExpectBar(RunContext& run, const std::vector<std::string>& words, bool negated);
void CheckBarsExpectation(const Step& step, const std::vector<std::string>& words, bool negated);
std::string ExpectBars(RunContext& run, const std::vector<std::string>& words, bool negated);
void CheckControlExpectation(const Step& step, const std::vector<std::string>& words, bool negated);
std::string ExpectControl(RunContext& run, const std::vector<std::string>& words, bool negated);
void CheckControlsExpectation(const Step& step, const std::vector<std::string>& words,
                              bool negated);
std::string ExpectControls(RunContext& run, const std::vector<std::string>& words, bool negated);

}  // namespace olsim
