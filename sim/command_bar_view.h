// Office's command bars as the scenarios name and show them: a bar by its
// name, a control by its captions from the bar down
// ("Brevint toolbar/Brevint/Options"), both ignoring letter case as Office
// does; and one line of text for what a bar or a control shows.
#pragma once

#include <outlook_host.h>

#include <string>
#include <vector>

namespace olsim {

// "Brevint toolbar/Brevint/Options" as its captions.
std::vector<std::wstring> ControlPath(const std::string& text);

const outlook::host::BarInfo* FindBar(const std::vector<outlook::host::BarInfo>& bars,
                                      const std::wstring& name);
// The control that `path` names from `from` on among `controls`: the first of
// that caption, or for "#N" the N-th control (from 1), for captions that hold
// a slash or are not unique; null when none.
const outlook::host::ControlInfo* FindControl(
    const std::vector<outlook::host::ControlInfo>& controls, const std::vector<std::wstring>& path,
    size_t from = 0);

// What the user sees of it, in the words the expectations use for it:
// `caption "Block" tooltip "..." tag "Tag Block" style 3 width 70 ...`.
std::string DescribeControl(const outlook::host::ControlInfo& control);
std::string DescribeBar(const outlook::host::BarInfo& bar);
// The bar's controls as a person reads them, a line each, a menu's controls
// indented under it: the caption ("(no caption)" for none), then whether it
// is enabled, and "hidden" for a hidden one.
std::string BarOutline(const outlook::host::BarInfo& bar);
// The captions of the controls, quoted, in order.
std::string CaptionList(const std::vector<outlook::host::ControlInfo>& controls);

}  // namespace olsim
