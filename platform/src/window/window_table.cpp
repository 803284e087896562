// The window and class tables.
#include "window/window_table.h"

#include "fs/case_fold.h"
#include "window/system_classes.h"

#include <winerror.h>

#include <algorithm>
#include <map>

namespace platform::window {
namespace {

struct Table {
    std::recursive_mutex lock;
    std::map<HWND, std::shared_ptr<Window>> windows;
    std::vector<HWND> desktop;      // top-level windows, first on top
    std::vector<HWND> messageOnly;  // message-only windows
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM nextAtom = 0xC000;  // registered classes' atoms, as Windows numbers them
    uintptr_t nextHandle = 0x10010;
};

Table& TheTable() {
    static auto* table = new Table;  // outlives every thread's exit
    return *table;
}

Window* Find(Table& table, HWND hwnd) {
    auto it = table.windows.find(hwnd);
    return it == table.windows.end() ? nullptr : it->second.get();
}

std::vector<HWND>& SiblingList(Table& table, const Window& window) {
    switch (window.realm) {
        case Realm::Desktop:
            return table.desktop;
        case Realm::MessageOnly:
            return table.messageOnly;
        case Realm::Child:
            break;
    }
    Window* parent = Find(table, window.parent);
    static std::vector<HWND> orphans;  // a parent that went first leaves none
    return parent ? parent->children : orphans;
}

bool MatchesName(const WindowClass& windowClass, LPCWSTR name) {
    if (IS_INTRESOURCE(name))
        return windowClass.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    return ClassNamesEqual(windowClass.name, name);
}

}  // namespace

bool ClassNamesEqual(const std::wstring& a, const std::wstring& b) {
    return fs::NamesEqualIgnoringCase(a, b);
}

bool WithWindow(HWND hwnd, const std::function<void(Window&)>& f) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    Window* window = Find(table, hwnd);
    if (!window)
        return false;
    f(*window);
    return true;
}

std::optional<Window> Snapshot(HWND hwnd) {
    std::optional<Window> copy;
    WithWindow(hwnd, [&](Window& window) { copy = window; });
    return copy;
}

bool Exists(HWND hwnd) {
    return WithWindow(hwnd, [](Window&) {});
}

bool IsDescendant(HWND hwnd, HWND ancestor) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    for (Window* window = Find(table, hwnd); window && window->realm == Realm::Child;) {
        if (window->parent == ancestor)
            return true;
        window = Find(table, window->parent);
    }
    return false;
}

std::vector<HWND> WindowsUnder(HWND parent) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    if (!parent)
        return table.desktop;
    if (parent == HWND_MESSAGE)
        return table.messageOnly;
    Window* window = Find(table, parent);
    return window ? window->children : std::vector<HWND>{};
}

std::shared_ptr<WindowClass> FindClass(LPCWSTR name, HINSTANCE instance) {
    EnsureSystemClasses();
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    std::shared_ptr<WindowClass> global;
    std::shared_ptr<WindowClass> system;
    for (auto& windowClass : table.classes) {
        if (!MatchesName(*windowClass, name))
            continue;
        if (windowClass->system)
            system = windowClass;
        else if (windowClass->instance == instance)
            return windowClass;
        else if (windowClass->style & CS_GLOBALCLASS)
            global = windowClass;
    }
    return global ? global : system;
}

ATOM AddClass(WindowClass windowClass, DWORD& error) {
    EnsureSystemClasses();
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    for (auto& existing : table.classes) {
        if (existing->system || !ClassNamesEqual(existing->name, windowClass.name))
            continue;
        if (existing->instance == windowClass.instance ||
            ((existing->style & CS_GLOBALCLASS) && (windowClass.style & CS_GLOBALCLASS))) {
            error = ERROR_CLASS_ALREADY_EXISTS;
            return 0;
        }
    }
    windowClass.atom = table.nextAtom++;
    table.classes.push_back(std::make_shared<WindowClass>(std::move(windowClass)));
    return table.classes.back()->atom;
}

DWORD RemoveClass(LPCWSTR name, HINSTANCE instance) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    auto it = std::find_if(table.classes.begin(), table.classes.end(), [&](const auto& entry) {
        return !entry->system && entry->instance == instance && MatchesName(*entry, name);
    });
    if (it == table.classes.end())
        return ERROR_CLASS_DOES_NOT_EXIST;
    if ((*it)->windows > 0)
        return ERROR_CLASS_HAS_WINDOWS;
    table.classes.erase(it);
    return ERROR_SUCCESS;
}

void AddSystemClass(const WindowClass& windowClass) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    auto entry = std::make_shared<WindowClass>(windowClass);
    entry->system = true;
    table.classes.push_back(std::move(entry));
}

HWND Insert(std::shared_ptr<Window> window) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    // Handles are never reused, so a stale handle stays invalid.
    window->handle = reinterpret_cast<HWND>(table.nextHandle);
    table.nextHandle += 2;
    ++window->windowClass->windows;
    // A new window goes to the bottom of its siblings: a dialog's first
    // control is its first child.
    SiblingList(table, *window).push_back(window->handle);
    HWND handle = window->handle;
    table.windows.emplace(handle, std::move(window));
    return handle;
}

void Remove(HWND hwnd) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    Window* window = Find(table, hwnd);
    if (!window)
        return;
    std::erase(SiblingList(table, *window), hwnd);
    --window->windowClass->windows;
    table.windows.erase(hwnd);
}

void ForgetWindowsOfThread(DWORD threadId) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    std::vector<HWND> gone;
    for (auto& [hwnd, window] : table.windows) {
        if (window->threadId == threadId)
            gone.push_back(hwnd);
    }
    // Children first, so that each parent is still there when its child leaves.
    while (!gone.empty()) {
        size_t before = gone.size();
        std::erase_if(gone, [&](HWND hwnd) {
            Window* window = Find(table, hwnd);
            if (!window)
                return true;
            if (!window->children.empty())
                return false;
            Remove(hwnd);
            return true;
        });
        if (gone.size() == before) {
            // Children of other threads remain: they lose their parent.
            Remove(gone.front());
            gone.erase(gone.begin());
        }
    }
}

WNDPROC ProcOf(HWND hwnd) {
    WNDPROC proc = nullptr;
    WithWindow(hwnd, [&](Window& window) { proc = window.proc; });
    return proc;
}

}  // namespace platform::window
