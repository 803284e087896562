// Reading a dialog template (DLGTEMPLATE or DLGTEMPLATEEX and their items)
// from memory.
#pragma once

#include <winuser.h>

#include <optional>
#include <string>
#include <vector>

namespace platform::window {

// A name field of a template: nothing, an ordinal or text.
struct NameOrOrdinal {
    WORD ordinal = 0;  // nonzero: the field was an ordinal
    std::wstring text;
    bool empty() const { return ordinal == 0 && text.empty(); }
};

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal title;
    const BYTE* creationData = nullptr;  // null when the item has none
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring font;
    std::vector<DialogItem> items;
};

// The template at `data`; trusting its layout as Windows does.
DialogTemplate ParseDialogTemplate(const void* data);

}  // namespace platform::window
