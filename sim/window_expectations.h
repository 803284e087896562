// The rows of the expectation table about the window system as the user and
// other programs see it: windows and their child windows (class, styles,
// place, the bitmap a button shows), and the clipboard's content.
#pragma once

#include <string>
#include <vector>

#include "verbs.h"

namespace olsim {

void CheckWindowExpectation(const Step& step, const std::vector<std::string>& words, bool negated);
std::string ExpectWindow(RunContext& run, const std::vector<std::string>& words, bool negated);
void CheckClipboardExpectation(const Step& step, const std::vector<std::string>& words,
                               bool negated);
std::string ExpectClipboard(RunContext& run, const std::vector<std::string>& words, bool negated);

}  // namespace olsim
