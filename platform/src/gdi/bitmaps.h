// Bitmap objects: their size and pixel format, and the file they came from.
// GDI handles are a table of their own, apart from kernel handles.
#pragma once

#include <windef.h>

#include <memory>
#include <string>
#include <vector>

namespace platform::gdi {

struct Bitmap {
    LONG width = 0;
    LONG height = 0;
    WORD bitsPerPixel = 0;
    bool dibSection = false;
    std::vector<BYTE> bits;  // the pixel rows as the file holds them
    std::wstring source;     // the file it was loaded from
};

// A bitmap file: the file header, an information header (core or newer),
// and pixel rows at the offset the file header gives. Null when malformed.
std::shared_ptr<Bitmap> ParseBitmapFile(const std::vector<BYTE>& data);

HBITMAP InsertBitmap(std::shared_ptr<Bitmap> bitmap);
std::shared_ptr<Bitmap> LookupBitmap(HGDIOBJ handle);
bool RemoveBitmap(HGDIOBJ handle);

}  // namespace platform::gdi
