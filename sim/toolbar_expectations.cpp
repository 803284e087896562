#include "toolbar_expectations.h"

#include <outlook_host.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "command_bar_view.h"
#include "outlook_process.h"
#include "property_words.h"
#include "run_context.h"
#include "text.h"

namespace olsim {

using outlook::host::BarInfo;
using outlook::host::ControlInfo;
using Words = std::vector<std::string>;

namespace {

constexpr PropertyForm kControlProperties[] = {
    {"enabled", 0},  {"disabled", 0}, {"visible", 0}, {"hidden", 0}, {"type", 1},
    {"caption", 1},  {"tooltip", 1},  {"tag", 1},     {"style", 1},  {"width", 1},
    {"priority", 1}, {"group", 1},    {"image", 1},
};
constexpr PropertyForm kBarProperties[] = {
    {"visible", 0}, {"hidden", 0},     {"position", 1}, {"row", 1},
    {"left", 1},    {"protection", 1}, {"top", 1},
};

// The forms of an expectation, as its row of the table gives them.
std::string Forms(const char* name) {
    return std::string("expected: ") + FindExpectation(name)->usage;
}

void ExplorerWord(const Step& step, const std::string& word) {
    if (!words::ParseNumber(word))
        throw ParseError(step.line, "'" + word + "' is not the explorer's number");
}

// The words each property takes are of its kind.
void CheckValues(const Step& step, const std::vector<Property>& properties) {
    for (const Property& p : properties) {
        if (p.values.empty())
            continue;
        const std::string& value = p.values.front();
        const bool textual =
            p.name == "caption" || p.name == "tooltip" || p.name == "tag" || p.name == "image";
        const bool fits = textual || (p.name == "group" && ParseYesNo(value)) ||
                          (p.name == "type" && (value == "button" || value == "popup")) ||
                          (p.name != "group" && p.name != "type" && ParseInteger(value));
        if (!fits)
            throw ParseError(step.line, "'" + value + "' does not fit '" + p.name + "'");
    }
}

std::string Quoted(const std::wstring& text) {
    return "\"" + Narrow(text) + "\"";
}

std::optional<std::string> Differs(const std::string& what, const std::wstring& found,
                                   const std::string& wanted) {
    if (found == Widen(wanted))
        return std::nullopt;
    return what + " is " + Quoted(found);
}

std::optional<std::string> Differs(const std::string& what, long long found,
                                   const std::string& wanted) {
    if (ParseInteger(wanted) == found)
        return std::nullopt;
    return what + " is " + std::to_string(found);
}

std::optional<std::string> State(bool holds, const char* otherwise) {
    return holds ? std::nullopt : std::optional<std::string>(otherwise);
}

// Why the control does not show the property; nothing when it does.
std::optional<std::string> ControlMismatch(const ControlInfo& c, const Property& p) {
    const std::string value = p.values.empty() ? "" : p.values.front();
    if (p.name == "enabled")
        return State(c.enabled, "it is disabled");
    if (p.name == "disabled")
        return State(!c.enabled, "it is enabled");
    if (p.name == "visible")
        return State(c.visible, "it is hidden");
    if (p.name == "hidden")
        return State(!c.visible, "it is visible");
    if (p.name == "type")
        return State((value == "popup") == (c.type == Office::msoControlPopup),
                     c.type == Office::msoControlPopup ? "it is a popup" : "it is a button");
    if (p.name == "caption")
        return Differs("its caption", c.caption, value);
    if (p.name == "tooltip")
        return Differs("its tooltip", c.tooltip, value);
    if (p.name == "tag")
        return Differs("its tag", c.tag, value);
    if (p.name == "style")
        return Differs("its style", c.style, value);
    if (p.name == "width")
        return Differs("its width", c.width, value);
    if (p.name == "priority")
        return Differs("its priority", c.priority, value);
    if (p.name == "group")
        return State(*ParseYesNo(value) == c.beginGroup,
                     c.beginGroup ? "it begins a group" : "it begins no group");
    // image: the file its face came from, or none
    if (value == "none")
        return c.image.empty() ? std::nullopt
                               : std::optional<std::string>("its image is " + Quoted(c.image));
    if (c.image.empty())
        return "it has no image";
    return SameName(c.image, Widen(value))
               ? std::nullopt
               : std::optional<std::string>("its image is " + Quoted(c.image));
}

std::optional<std::string> BarMismatch(const BarInfo& bar, const Property& p) {
    const std::string value = p.values.empty() ? "" : p.values.front();
    if (p.name == "visible")
        return State(bar.visible, "it is hidden");
    if (p.name == "hidden")
        return State(!bar.visible, "it is visible");
    if (p.name == "position")
        return Differs("its position", bar.position, value);
    if (p.name == "row")
        return Differs("its row", bar.rowIndex, value);
    if (p.name == "left")
        return Differs("its left", bar.left, value);
    if (p.name == "top")
        return Differs("its top", bar.top, value);
    return Differs("its protection", bar.protection, value);
}

// Every property that does not hold, joined; empty when all hold.
template <class Thing, class Mismatch>
std::string Mismatches(const Thing& thing, const std::vector<Property>& properties,
                       Mismatch mismatch) {
    std::string found;
    for (const Property& p : properties) {
        if (auto why = mismatch(thing, p))
            found += (found.empty() ? "" : "; ") + *why;
    }
    return found;
}

// Holds when the thing is there with every property (or, negated, when it is
// not, or some property does not hold).
template <class Thing, class Mismatch>
std::string Judge(const Thing* thing, const std::string& name,
                  const std::vector<Property>& properties, bool negated, Mismatch mismatch,
                  const std::function<std::string()>& whatThereIs,
                  const std::function<std::string(const Thing&)>& describe) {
    if (!thing)
        return negated ? "" : "no " + name + "; " + whatThereIs();
    const std::string differences = Mismatches(*thing, properties, mismatch);
    if (negated)
        return differences.empty() ? name + " is there: " + describe(*thing) : "";
    return differences.empty() ? "" : differences + " (" + describe(*thing) + ")";
}

std::string BarNames(const std::vector<BarInfo>& bars) {
    std::string names;
    for (const auto& bar : bars)
        names += (names.empty() ? "" : ", ") + Narrow(bar.name);
    return names.empty() ? "none" : names;
}

int Explorer(const Words& words) {
    return static_cast<int>(*words::ParseNumber(words[1]));
}

// The controls of the bar or menu that `path` names; null when there is none.
const std::vector<ControlInfo>* ControlsAt(const std::vector<BarInfo>& bars,
                                           const std::vector<std::wstring>& path) {
    const BarInfo* bar = path.empty() ? nullptr : FindBar(bars, path.front());
    if (!bar)
        return nullptr;
    if (path.size() == 1)
        return &bar->controls;
    const ControlInfo* menu = FindControl(bar->controls, path, 1);
    return menu ? &menu->controls : nullptr;
}

}  // namespace

void CheckBarExpectation(const Step& step, const Words& words, bool) {
    if (words.size() < 3)
        throw ParseError(step.line, Forms("bar"));
    ExplorerWord(step, words[1]);
    CheckValues(step, SplitProperties(step, words, 2, kBarProperties).properties);
}

std::string ExpectBar(RunContext& run, const Words& words, bool negated) {
    static const Step noStep;
    const Described described = SplitProperties(noStep, words, 2, kBarProperties);
    const std::wstring name = Widen(JoinWords(described.subject));
    const auto bars = run.process.Bars(Explorer(words));
    return Judge<BarInfo>(
        FindBar(bars, name), "bar " + Narrow(name), described.properties, negated, BarMismatch,
        [&] { return "explorer " + words[1] + " has the bars: " + BarNames(bars); }, DescribeBar);
}

void CheckBarsExpectation(const Step& step, const Words& words, bool negated) {
    if (negated || words.size() != 3 || !words::ParseNumber(words[2]))
        throw ParseError(step.line, Forms("bars"));
    ExplorerWord(step, words[1]);
}

std::string ExpectBars(RunContext& run, const Words& words, bool) {
    const auto bars = run.process.Bars(Explorer(words));
    if (std::to_string(bars.size()) == words[2])
        return "";
    return "explorer " + words[1] + " has " + std::to_string(bars.size()) +
           " bar(s): " + BarNames(bars);
}

void CheckControlExpectation(const Step& step, const Words& words, bool) {
    if (words.size() < 3)
        throw ParseError(step.line, Forms("control"));
    ExplorerWord(step, words[1]);
    CheckValues(step, SplitProperties(step, words, 2, kControlProperties).properties);
}

std::string ExpectControl(RunContext& run, const Words& words, bool negated) {
    static const Step noStep;
    const Described described = SplitProperties(noStep, words, 2, kControlProperties);
    const std::string target = JoinWords(described.subject);
    const std::vector<std::wstring> path = ControlPath(target);
    const auto bars = run.process.Bars(Explorer(words));
    const BarInfo* bar = FindBar(bars, path.front());
    const ControlInfo* control =
        bar && path.size() > 1 ? FindControl(bar->controls, path, 1) : nullptr;
    return Judge<ControlInfo>(
        control, "control " + target, described.properties, negated, ControlMismatch,
        [&] {
            if (!bar)
                return "explorer " + words[1] + " has the bars: " + BarNames(bars);
            // Where the path stops: the controls of the last bar or menu found.
            std::vector<std::wstring> known(path.begin(), path.begin() + 1);
            while (known.size() < path.size()) {
                auto longer = known;
                longer.push_back(path[known.size()]);
                if (!ControlsAt(bars, longer))
                    break;
                known = longer;
            }
            return Narrow(known.back()) + " holds " + CaptionList(*ControlsAt(bars, known));
        },
        DescribeControl);
}

void CheckControlsExpectation(const Step& step, const Words& words, bool negated) {
    if (negated || words.size() < 4)
        throw ParseError(step.line, Forms("controls"));
    ExplorerWord(step, words[1]);
    const auto keyword = std::find_if(words.begin() + 3, words.end(), [](const std::string& w) {
        return w == "order" || w == "count";
    });
    if (keyword == words.end() || (*keyword == "count" && (keyword + 2 != words.end() ||
                                                           !words::ParseNumber(*(keyword + 1)))))
        throw ParseError(step.line, Forms("controls"));
}

// The controls of a bar or menu, all of them (hidden ones too), by caption in
// their order, or how many there are.
std::string ExpectControls(RunContext& run, const Words& words, bool) {
    const auto keyword = std::find_if(words.begin() + 3, words.end(), [](const std::string& w) {
        return w == "order" || w == "count";
    });
    const std::string target = JoinWords(Words(words.begin() + 2, keyword));
    const auto bars = run.process.Bars(Explorer(words));
    const std::vector<ControlInfo>* controls = ControlsAt(bars, ControlPath(target));
    if (!controls)
        return "no bar or menu " + target + "; explorer " + words[1] +
               " has the bars: " + BarNames(bars);
    if (*keyword == "count")
        return std::to_string(controls->size()) == *(keyword + 1)
                   ? ""
                   : target + " holds " + std::to_string(controls->size()) +
                         " control(s): " + CaptionList(*controls);
    const Words wanted(keyword + 1, words.end());
    const bool same = std::equal(wanted.begin(), wanted.end(), controls->begin(), controls->end(),
                                 [](const std::string& caption, const ControlInfo& c) {
                                     return c.caption == Widen(caption);
                                 });
    return same ? "" : target + " holds " + CaptionList(*controls);
}

}  // namespace olsim
