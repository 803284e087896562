// The rows of the command and expectation tables about Office's command bars
// in Outlook's explorers: the user's clicks on buttons and on the logo window,
// the user's moves of a bar, and what the bars show.
#pragma once

#include <string>
#include <vector>

#include "verbs.h"

namespace olsim {

void CheckClick(const Step& step);
std::string Click(RunContext& run, const Step& step);
void CheckMoveToolbar(const Step& step);
std::string MoveToolbar(RunContext& run, const Step& step);
void CheckLogoClick(const Step& step);
std::string LogoClick(RunContext& run, const Step& step);

void CheckBarExpectation(const Step& step, const std::vector<std::string>& words, bool negated);
std::string ExpectBar(RunContext& run, const std::vector<std::string>& words, bool negated);
void CheckControlExpectation(const Step& step, const std::vector<std::string>& words, bool negated);
std::string ExpectControl(RunContext& run, const std::vector<std::string>& words, bool negated);

}  // namespace olsim
