#include "command_bar_file.h"

#include <platform/filesystem.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>
#include <string>

namespace outlook::objects {

namespace {

// The file is UTF-8 text, a line per bar ("bar") or control ("control" and
// its depth, 1 on the bar), fields separated by tabs; a tab, a line break or
// a backslash inside a text is escaped with a backslash.
std::string Escape(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'\\')
            escaped += L"\\\\";
        else if (c == L'\t')
            escaped += L"\\t";
        else if (c == L'\n')
            escaped += L"\\n";
        else
            escaped += c;
    }
    std::string narrow;
    for (wchar_t c : escaped) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code < 0x80) {
            narrow += static_cast<char>(code);
        } else if (code < 0x800) {
            narrow += static_cast<char>(0xC0 | (code >> 6));
            narrow += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            narrow += static_cast<char>(0xE0 | ((code >> 12) & 0x0F));
            narrow += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return narrow;
}

std::wstring Unescape(const std::string& narrow) {
    std::wstring wide;
    for (std::size_t i = 0; i < narrow.size();) {
        const auto byte = static_cast<unsigned char>(narrow[i]);
        if (byte < 0x80) {
            wide += static_cast<wchar_t>(byte);
            i += 1;
        } else if ((byte & 0xE0) == 0xC0 && i + 1 < narrow.size()) {
            wide += static_cast<wchar_t>(((byte & 0x1F) << 6) | (narrow[i + 1] & 0x3F));
            i += 2;
        } else if (i + 2 < narrow.size()) {
            wide += static_cast<wchar_t>(((byte & 0x0F) << 12) | ((narrow[i + 1] & 0x3F) << 6) |
                                         (narrow[i + 2] & 0x3F));
            i += 3;
        } else {
            break;
        }
    }
    std::wstring text;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] != L'\\' || i + 1 == wide.size()) {
            text += wide[i];
            continue;
        }
        const wchar_t next = wide[++i];
        text += next == L't' ? L'\t' : next == L'n' ? L'\n' : next;
    }
    return text;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    if (!line.empty() && line.back() == '\t')
        fields.emplace_back();
    return fields;
}

void WriteControls(std::ostream& out, const std::vector<host::ControlInfo>& controls, int depth) {
    for (const host::ControlInfo& c : controls) {
        out << "control\t" << depth << '\t' << c.type << '\t' << Escape(c.caption) << '\t'
            << Escape(c.tooltip) << '\t' << Escape(c.tag) << '\t' << c.enabled << '\t' << c.visible
            << '\t' << c.beginGroup << '\t' << c.width << '\t' << c.priority << '\t' << c.style
            << '\t' << Escape(c.image) << '\n';
        WriteControls(out, c.controls, depth + 1);
    }
}

std::vector<host::ControlInfo> KeptControls(const std::vector<host::ControlInfo>& controls) {
    std::vector<host::ControlInfo> kept;
    for (const host::ControlInfo& control : controls) {
        if (control.temporary)
            continue;
        kept.push_back(control);
        kept.back().controls = KeptControls(control.controls);
    }
    return kept;
}

// Pop-up menus nest a few levels deep; a file that claims more is damaged,
// and refusing it keeps the reading and the recursion over the bars bounded.
constexpr int kDeepestMenu = 16;

// The control list at `depth` (1: the bar's) of the last bar read.
std::vector<host::ControlInfo>* ListAt(host::BarInfo& bar, int depth) {
    if (depth < 1 || depth > kDeepestMenu)
        return nullptr;
    std::vector<host::ControlInfo>* list = &bar.controls;
    for (int level = 1; level < depth; ++level) {
        if (list->empty())
            return nullptr;
        list = &list->back().controls;
    }
    return list;
}

}  // namespace

std::filesystem::path CommandBarFilePath() {
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData)))
        return {};
    return platform::host::HostPathFromWindows(std::wstring(appData) +
                                               L"\\Microsoft\\Outlook\\outcmd.dat");
}

std::vector<host::BarInfo> KeptBars(const std::vector<host::BarInfo>& bars) {
    std::vector<host::BarInfo> kept;
    for (const host::BarInfo& bar : bars) {
        if (bar.temporary || bar.builtIn)
            continue;
        kept.push_back(bar);
        kept.back().window = nullptr;
        kept.back().controls = KeptControls(bar.controls);
    }
    return kept;
}

std::vector<host::BarInfo> LoadCommandBars(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<host::BarInfo> bars;
    std::string line;
    try {
        while (std::getline(in, line)) {
            const std::vector<std::string> f = Fields(line);
            if (f.size() == 8 && f[0] == "bar") {
                host::BarInfo bar;
                bar.name = Unescape(f[1]);
                bar.position = std::stoi(f[2]);
                bar.rowIndex = std::stoi(f[3]);
                bar.left = std::stoi(f[4]);
                bar.top = std::stoi(f[5]);
                bar.protection = std::stoi(f[6]);
                bar.visible = f[7] == "1";
                bars.push_back(std::move(bar));
            } else if (f.size() == 13 && f[0] == "control" && !bars.empty()) {
                std::vector<host::ControlInfo>* list = ListAt(bars.back(), std::stoi(f[1]));
                if (!list)
                    return {};
                host::ControlInfo c;
                c.type = std::stoi(f[2]);
                c.caption = Unescape(f[3]);
                c.tooltip = Unescape(f[4]);
                c.tag = Unescape(f[5]);
                c.enabled = f[6] == "1";
                c.visible = f[7] == "1";
                c.beginGroup = f[8] == "1";
                c.width = std::stoi(f[9]);
                c.priority = std::stoi(f[10]);
                c.style = std::stoi(f[11]);
                c.image = Unescape(f[12]);
                list->push_back(std::move(c));
            } else {
                return {};
            }
        }
    } catch (const std::exception&) {
        return {};  // a number that is none: a damaged file
    }
    return bars;
}

bool SaveCommandBars(const std::filesystem::path& file, const std::vector<host::BarInfo>& bars) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const host::BarInfo& bar : bars) {
        out << "bar\t" << Escape(bar.name) << '\t' << bar.position << '\t' << bar.rowIndex << '\t'
            << bar.left << '\t' << bar.top << '\t' << bar.protection << '\t' << bar.visible << '\n';
        WriteControls(out, bar.controls, 1);
    }
    return static_cast<bool>(out);
}

}  // namespace outlook::objects
