// The main job on an embedded default: install, start Outlook with one
// explorer, let time pass, quit; printed plainly from what was observed.
#pragma once

#include <ostream>

namespace olsim {

// True when every step could be carried out and Outlook did not crash;
// `crashed` tells whether it did.
bool RunDemo(std::ostream& out, bool& crashed);

}  // namespace olsim
