// Entry identifiers as text: two upper-case hexadecimal digits per byte, no
// separators, the form Outlook's GetItemFromID accepts.
#pragma once

#include <cstddef>
#include <string>

std::wstring EntryIdToText(const void* bytes, size_t size);
