#include "command_bar_view.h"

#include <algorithm>
#include <optional>

#include "text.h"

namespace olsim {

using outlook::host::BarInfo;
using outlook::host::ControlInfo;

namespace {

std::string Quoted(const std::wstring& text) {
    return "\"" + Narrow(text) + "\"";
}

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

// "#3": the third control, whatever its caption.
std::optional<size_t> Position(const std::wstring& part) {
    if (part.size() < 2 || part[0] != L'#' ||
        !std::all_of(part.begin() + 1, part.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return std::nullopt;
    return std::stoul(part.substr(1));
}

}  // namespace

std::vector<std::wstring> ControlPath(const std::string& text) {
    // Every part counts, an empty one too: "Brevint toolbar/" names the
    // bar's control without a caption.
    std::vector<std::wstring> path;
    size_t from = 0;
    for (size_t slash; (slash = text.find('/', from)) != std::string::npos; from = slash + 1)
        path.push_back(Widen(text.substr(from, slash - from)));
    path.push_back(Widen(text.substr(from)));
    return path;
}

const BarInfo* FindBar(const std::vector<BarInfo>& bars, const std::wstring& name) {
    for (const auto& bar : bars) {
        if (SameName(bar.name, name))
            return &bar;
    }
    return nullptr;
}

const ControlInfo* FindControl(const std::vector<ControlInfo>& controls,
                               const std::vector<std::wstring>& path, size_t from) {
    if (from >= path.size())
        return nullptr;
    auto found = [&](const ControlInfo& control) {
        return from + 1 == path.size() ? &control : FindControl(control.controls, path, from + 1);
    };
    if (const auto position = Position(path[from]))
        return *position >= 1 && *position <= controls.size() ? found(controls[*position - 1])
                                                              : nullptr;
    for (const auto& control : controls) {
        if (SameName(control.caption, path[from]))
            return found(control);
    }
    return nullptr;
}

std::string DescribeControl(const ControlInfo& control) {
    std::string text = control.type == Office::msoControlPopup ? "popup" : "button";
    text += std::string(" ") + (control.enabled ? "enabled" : "disabled") + " " +
            (control.visible ? "visible" : "hidden") + " caption " + Quoted(control.caption) +
            " tooltip " + Quoted(control.tooltip) + " tag " + Quoted(control.tag);
    if (control.type != Office::msoControlPopup)
        text += " style " + std::to_string(control.style);
    text += " width " + std::to_string(control.width) + " priority " +
            std::to_string(control.priority) + " group " + YesNo(control.beginGroup) + " image " +
            (control.image.empty() ? std::string("none") : Quoted(control.image));
    return text;
}

std::string DescribeBar(const BarInfo& bar) {
    return Quoted(bar.name) + " position " + std::to_string(bar.position) + " row " +
           std::to_string(bar.rowIndex) + " left " + std::to_string(bar.left) + " top " +
           std::to_string(bar.top) + " protection " + std::to_string(bar.protection) + " " +
           (bar.visible ? "visible" : "hidden");
}

namespace {

void Outline(const std::vector<ControlInfo>& controls, size_t depth, std::string& out) {
    constexpr size_t kColumn = 40;
    for (const auto& control : controls) {
        std::string line(2 + 2 * depth, ' ');
        line += control.caption.empty() ? "(no caption)" : Narrow(control.caption);
        line.resize(std::max(kColumn, line.size() + 1), ' ');
        line += control.type == Office::msoControlPopup ? "menu, " : "";
        line += control.enabled ? "enabled" : "disabled";
        line += control.visible ? "" : ", hidden";
        out += line + "\n";
        Outline(control.controls, depth + 1, out);
    }
}

}  // namespace

std::string BarOutline(const BarInfo& bar) {
    std::string out;
    Outline(bar.controls, 0, out);
    return out;
}

std::string CaptionList(const std::vector<ControlInfo>& controls) {
    std::string list;
    for (const auto& control : controls)
        list += (list.empty() ? "" : " ") + Quoted(control.caption);
    return list.empty() ? "no controls" : list;
}

}  // namespace olsim
