#include "window_expectations.h"

#include <platform/windows.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "observations.h"
#include "outlook_process.h"
#include "property_words.h"
#include "run_context.h"
#include "text.h"

namespace olsim {

using platform::host::WindowInfo;
using Words = std::vector<std::string>;

namespace {

constexpr PropertyForm kChildProperties[] = {
    {"explorer", 1}, {"count", 1},   {"visible", 0}, {"hidden", 0}, {"title", 1},
    {"style", 1},    {"exstyle", 1}, {"at", 2},      {"size", 2},   {"bitmap", 1},
};

bool IsChildForm(const Words& words) {
    return words.size() >= 4 && words[1] == "child" && words[2] != "class";
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

// The bitmap a button shows (BM_GETIMAGE), by the file it came from; asked
// only of windows of this thread, whose procedures run here.
std::optional<std::wstring> ButtonBitmap(const WindowInfo& window) {
    if (window.threadId != GetCurrentThreadId())
        return std::nullopt;
    const auto bitmap =
        reinterpret_cast<HBITMAP>(SendMessageW(window.hwnd, BM_GETIMAGE, IMAGE_BITMAP, 0));
    if (!bitmap)
        return std::wstring();
    const std::wstring source = platform::host::BitmapSource(bitmap);
    return source.empty() ? L"a bitmap from no file" : source;
}

std::string DescribeChild(const WindowInfo& w) {
    const auto bitmap = ButtonBitmap(w);
    return "[" + Narrow(w.className) + "] \"" + Narrow(w.text) + "\" " +
           ((w.style & WS_VISIBLE) ? "visible" : "hidden") + " style " + Hex(w.style) +
           " exstyle " + Hex(w.exStyle) + " at " + std::to_string(w.rect.left) + " " +
           std::to_string(w.rect.top) + " size " + std::to_string(w.rect.right - w.rect.left) +
           " " + std::to_string(w.rect.bottom - w.rect.top) + " bitmap " +
           (!bitmap           ? "unknown (another thread's window)"
            : bitmap->empty() ? "none"
                              : "\"" + Narrow(*bitmap) + "\"");
}

bool Holds(const WindowInfo& w, const Property& p) {
    auto number = [&](size_t i) { return ParseInteger(p.values[i]).value_or(-1); };
    if (p.name == "visible" || p.name == "hidden")
        return ((w.style & WS_VISIBLE) != 0) == (p.name == "visible");
    if (p.name == "title")
        return w.text == Widen(p.values[0]);
    if (p.name == "style")
        return w.style == static_cast<DWORD>(number(0));
    if (p.name == "exstyle")
        return w.exStyle == static_cast<DWORD>(number(0));
    if (p.name == "at")
        return w.rect.left == number(0) && w.rect.top == number(1);
    if (p.name == "size")
        return w.rect.right - w.rect.left == number(0) && w.rect.bottom - w.rect.top == number(1);
    if (p.name == "bitmap") {
        const auto bitmap = ButtonBitmap(w);
        return bitmap &&
               (p.values[0] == "none" ? bitmap->empty() : SameName(*bitmap, Widen(p.values[0])));
    }
    return true;  // explorer and count choose and count the windows
}

const Property* Find(const std::vector<Property>& properties, const std::string& name) {
    auto found = std::find_if(properties.begin(), properties.end(),
                              [&](const Property& p) { return p.name == name; });
    return found == properties.end() ? nullptr : &*found;
}

// Whether `window` lies inside `ancestor`.
bool Inside(HWND window, HWND ancestor, const std::map<HWND, const WindowInfo*>& byHandle) {
    for (auto at = byHandle.find(window); at != byHandle.end();
         at = byHandle.find(at->second->parent)) {
        if (at->second->parent == ancestor)
            return true;
    }
    return false;
}

// The child windows of CLASS under the windows titled PARENT (inside
// explorer N's frame when named) that have every property; how many when
// `count` is given, else whether there is one.
std::string ExpectChild(RunContext& run, const Words& words, bool negated) {
    static const Step noStep;
    const Described described = SplitProperties(noStep, words, 2, kChildProperties);
    const std::wstring parentTitle = Widen(described.subject[0]);
    const std::wstring className = Widen(described.subject[1]);
    const auto windows = platform::host::ListWindows();
    std::map<HWND, const WindowInfo*> byHandle;
    for (const auto& w : windows)
        byHandle[w.hwnd] = &w;

    HWND frame = nullptr;
    if (const Property* explorer = Find(described.properties, "explorer")) {
        for (const auto& e : run.process.Explorers()) {
            if (std::to_string(e.id) == explorer->values[0])
                frame = e.frame;
        }
        if (!frame)
            return "explorer " + explorer->values[0] + " has no window";
    }
    std::vector<const WindowInfo*> children, matching;
    for (const auto& w : windows) {
        const auto parent = byHandle.find(w.parent);
        if (!w.parent || parent == byHandle.end() || parent->second->text != parentTitle ||
            !SameName(w.className, className) || (frame && !Inside(w.hwnd, frame, byHandle)))
            continue;
        children.push_back(&w);
        if (std::all_of(described.properties.begin(), described.properties.end(),
                        [&](const Property& p) { return Holds(w, p); }))
            matching.push_back(&w);
    }
    const Property* count = Find(described.properties, "count");
    const bool holds =
        count ? std::to_string(matching.size()) == count->values[0] : !matching.empty();
    if (holds != negated)
        return "";
    std::string found = std::to_string(matching.size()) + " of " + std::to_string(children.size()) +
                        " such child window(s) fit";
    for (const WindowInfo* child : children)
        found += "\n      " + DescribeChild(*child);
    return found;
}

std::string ExpectTitled(const Words& words, bool negated) {
    const std::wstring title = Widen(words[1]);
    const std::wstring className = words.size() == 4 ? Widen(words[3]) : L"";
    auto windows = platform::host::ListWindows();
    bool found = std::any_of(windows.begin(), windows.end(), [&](const auto& w) {
        return w.text == title && (className.empty() || w.className == className);
    });
    if (found != negated)
        return "";
    if (negated)
        return "the window exists";
    std::string seen = "no such window; top-level windows:";
    for (const auto& w : windows)
        if (!w.parent)
            seen += "\n      [" + Narrow(w.className) + "] \"" + Narrow(w.text) + "\"";
    return seen;
}

}  // namespace

void CheckWindowExpectation(const Step& step, const Words& words, bool) {
    if (IsChildForm(words)) {
        const Described described = SplitProperties(step, words, 2, kChildProperties);
        if (described.subject.size() != 2)
            throw ParseError(step.line,
                             std::string("expected: ") + FindExpectation("window")->usage);
        for (const Property& p : described.properties) {
            const bool textual = p.name == "title" || p.name == "bitmap";
            if (!textual && !std::all_of(p.values.begin(), p.values.end(),
                                         [](const std::string& v) { return ParseInteger(v); }))
                throw ParseError(step.line, "'" + p.name + "' needs a number");
        }
        return;
    }
    if (words.size() != 2 && (words.size() != 4 || words[2] != "class"))
        throw ParseError(step.line, std::string("expected: ") + FindExpectation("window")->usage);
}

std::string ExpectWindow(RunContext& run, const Words& words, bool negated) {
    return IsChildForm(words) ? ExpectChild(run, words, negated) : ExpectTitled(words, negated);
}

void CheckClipboardExpectation(const Step& step, const Words& words, bool negated) {
    const bool fits = (words.size() == 2 && words[1] == "empty" && !negated) ||
                      ((words.size() == 2 || words.size() == 3) && words[1] == "bitmap");
    if (!fits)
        throw ParseError(step.line,
                         "expected: expect clipboard empty | expect [no] clipboard "
                         "bitmap [FILE]");
}

// What another program would find on the clipboard: nothing, or a bitmap and
// the file it was loaded from.
std::string ExpectClipboard(RunContext&, const Words& words, bool negated) {
    const ClipboardContent clipboard = ReadClipboard();
    if (clipboard.heldOpen)
        return "the clipboard is held open by another thread";
    const std::string held =
        clipboard.formats == 0 ? "the clipboard is empty"
        : clipboard.bitmap
            ? "the clipboard holds a bitmap from " +
                  (clipboard.bitmapFile.empty() ? std::string("no file")
                                                : "\"" + Narrow(clipboard.bitmapFile) + "\"")
            : "the clipboard holds " + std::to_string(clipboard.formats) + " format(s), no bitmap";
    if (words[1] == "empty")
        return clipboard.formats == 0 ? "" : held;
    const bool holds =
        clipboard.bitmap && (words.size() == 2 || SameName(clipboard.bitmapFile, Widen(words[2])));
    return holds != negated ? "" : held;
}

}  // namespace olsim
