// The rows of the command table about Office's command bars in Outlook's
// explorers: the user's clicks on buttons and on the logo window, and the
// user's moves of a bar.
#pragma once

#include <string>

#include "verbs.h"

namespace olsim {

void CheckClick(const Step& step);
std::string Click(RunContext& run, const Step& step);
void CheckMoveToolbar(const Step& step);
std::string MoveToolbar(RunContext& run, const Step& step);
void CheckLogoClick(const Step& step);
std::string LogoClick(RunContext& run, const Step& step);

}  // namespace olsim
