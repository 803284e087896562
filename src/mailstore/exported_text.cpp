#include "mailstore/exported_text.h"

#include <vector>

int WidenExportedText(const char* bytes, SIZE_T size, std::unique_ptr<wchar_t[]>& text,
                      DWORD& length) {
    // The text is handed on with its terminating zero, counted in the length.
    std::vector<char> narrow(bytes, bytes + size);
    narrow.push_back('\0');
    const int count = static_cast<int>(size + 1);
    text = std::make_unique<wchar_t[]>(size + 1);
    const int converted = MultiByteToWideChar(CP_ACP, 0, narrow.data(), count, text.get(), count);
    // In a double-byte page two bytes may make one character: the text is what
    // the conversion wrote, not one character a byte with zeros after it.
    length = static_cast<DWORD>(converted > 0 ? converted : 0);
    return converted;
}
