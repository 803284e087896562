#include "addin/workers/message_string.h"

#include <cwchar>

WPARAM NewMessageString(const std::wstring& text) {
    auto* copy = new wchar_t[text.size() + 1];
    wmemcpy(copy, text.c_str(), text.size() + 1);
    return reinterpret_cast<WPARAM>(copy);
}

void FreeMessageString(wchar_t* text) {
    delete[] text;
}
