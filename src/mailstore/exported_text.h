// The RFC 822 text that the safe-item library exports is bytes of the ANSI
// code page; the filter core takes wide text. Counted by its length, never by
// a terminator: mail may hold NUL bytes, and what follows one is still mail.
#pragma once

#include <windows.h>

#include <memory>

// Converts `size` exported bytes, and a terminating zero after them, from the
// ANSI code page into `text`; `length` counts the characters written, that
// zero included (0 when the conversion failed). Answers that count, the
// conversion's own answer.
int WidenExportedText(const char* bytes, SIZE_T size, std::unique_ptr<wchar_t[]>& text,
                      DWORD& length);
