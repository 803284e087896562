// The state drawn as the Outlook window it simulates, one self-contained
// HTML page: each explorer with its caption and command bars (the add-in's
// buttons in order with their faces, enabled or not, and their pop-up
// menus), the folder pane with unread and hidden counts, the item list of
// the folder shown (and of any folder clicked), the progress window and the
// message boxes as they were, and the last lines of the log, nested by their
// Enter and Exit lines.
#pragma once

#include <string>

#include "state_view.h"

namespace olsim::view {

// How many of the log's last lines the page shows.
inline constexpr size_t kLogLinesShown = 200;

std::string StatePage(const StateView& state);

}  // namespace olsim::view
