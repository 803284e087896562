#include "command_bar_view.h"

#include <sstream>

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

}  // namespace

std::vector<std::wstring> ControlPath(const std::string& text) {
    std::vector<std::wstring> path;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, '/'))
        path.push_back(Widen(part));
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
    for (const auto& control : controls) {
        if (!SameName(control.caption, path[from]))
            continue;
        return from + 1 == path.size() ? &control : FindControl(control.controls, path, from + 1);
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

std::string CaptionList(const std::vector<ControlInfo>& controls) {
    std::string list;
    for (const auto& control : controls)
        list += (list.empty() ? "" : " ") + Quoted(control.caption);
    return list.empty() ? "no controls" : list;
}

}  // namespace olsim
