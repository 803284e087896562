// Bitmap objects, LoadImageW for bitmap files, GetObjectW and DeleteObject.
#include "gdi/bitmaps.h"

#include <errhandlingapi.h>
#include <fileapi.h>
#include <handleapi.h>
#include <wingdi.h>
#include <winerror.h>
#include <winuser.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

namespace platform::gdi {
namespace {

struct Table {
    std::mutex lock;
    std::map<HGDIOBJ, std::shared_ptr<Bitmap>> bitmaps;
    uintptr_t next = 0x05050010;  // GDI handles look unlike kernel handles
};

Table& TheTable() {
    static auto* table = new Table;
    return *table;
}

std::vector<BYTE> ReadWholeFile(LPCWSTR path, DWORD& error) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return {};
    }
    std::vector<BYTE> data(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!data.empty() &&
        !ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr)) {
        error = GetLastError();
        data.clear();
    }
    CloseHandle(file);
    data.resize(read);
    return data;
}

template <class T>
T At(const std::vector<BYTE>& data, size_t offset) {
    T value;
    std::memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

// The row length in bytes GetObjectW reports: DWORD-aligned rows for a DIB
// section, WORD-aligned rows of the screen's 32 bits for a device bitmap.
LONG WidthBytes(const Bitmap& bitmap) {
    const int64_t bits = bitmap.dibSection ? bitmap.bitsPerPixel : 32;
    const int64_t align = bitmap.dibSection ? 32 : 16;
    return static_cast<LONG>(((bitmap.width * bits + align - 1) / align) * (align / 8));
}

}  // namespace

std::shared_ptr<Bitmap> ParseBitmapFile(const std::vector<BYTE>& data) {
    constexpr size_t kFileHeader = sizeof(BITMAPFILEHEADER);
    if (data.size() < kFileHeader + sizeof(DWORD) || At<WORD>(data, 0) != 0x4D42)  // "BM"
        return nullptr;
    auto bitmap = std::make_shared<Bitmap>();
    DWORD infoSize = At<DWORD>(data, kFileHeader);
    if (infoSize == sizeof(BITMAPCOREHEADER) && data.size() >= kFileHeader + infoSize) {
        auto core = At<BITMAPCOREHEADER>(data, kFileHeader);
        bitmap->width = core.bcWidth;
        bitmap->height = core.bcHeight;
        bitmap->bitsPerPixel = core.bcBitCount;
    } else if (infoSize >= sizeof(BITMAPINFOHEADER) && data.size() >= kFileHeader + infoSize) {
        auto info = At<BITMAPINFOHEADER>(data, kFileHeader);
        if (info.biPlanes != 1)
            return nullptr;
        if (info.biHeight == std::numeric_limits<LONG>::min())
            return nullptr;  // a top-down height with no positive counterpart
        bitmap->width = info.biWidth;
        bitmap->height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
        bitmap->bitsPerPixel = info.biBitCount;
    } else {
        return nullptr;
    }
    switch (bitmap->bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return nullptr;
    }
    // The rows as the screen's 32-bit pixels must still have a length GetObjectW
    // can report.
    if (bitmap->width <= 0 || bitmap->height <= 0 ||
        bitmap->width > std::numeric_limits<LONG>::max() / 4)
        return nullptr;
    size_t stride = ((static_cast<size_t>(bitmap->width) * bitmap->bitsPerPixel + 31) / 32) * 4;
    size_t offset = At<DWORD>(data, 10);
    size_t size = stride * static_cast<size_t>(bitmap->height);
    if (offset > data.size() || data.size() - offset < size)
        return nullptr;  // the pixel rows are cut short
    bitmap->bits.assign(data.begin() + static_cast<std::ptrdiff_t>(offset),
                        data.begin() + static_cast<std::ptrdiff_t>(offset + size));
    return bitmap;
}

HBITMAP InsertBitmap(std::shared_ptr<Bitmap> bitmap) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    auto handle = reinterpret_cast<HBITMAP>(table.next);
    table.next += 4;
    table.bitmaps.emplace(handle, std::move(bitmap));
    return handle;
}

std::shared_ptr<Bitmap> LookupBitmap(HGDIOBJ handle) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    auto it = table.bitmaps.find(handle);
    return it == table.bitmaps.end() ? nullptr : it->second;
}

bool RemoveBitmap(HGDIOBJ handle) {
    auto& table = TheTable();
    std::lock_guard guard(table.lock);
    return table.bitmaps.erase(handle) > 0;
}

}  // namespace platform::gdi

using namespace platform::gdi;

// Bitmaps from files only; the pixel format is kept as the file has it for a
// DIB section, and reported as the screen's (32 bits) otherwise. The size
// arguments do not scale: the file's size is the bitmap's.
extern "C" HANDLE WINAPI LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int, int, UINT fuLoad) {
    if (type != IMAGE_BITMAP || !(fuLoad & LR_LOADFROMFILE) || !name || IS_INTRESOURCE(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    std::vector<BYTE> data = ReadWholeFile(name, error);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    auto bitmap = ParseBitmapFile(data);
    if (!bitmap) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    bitmap->dibSection = fuLoad & LR_CREATEDIBSECTION;
    bitmap->source = name;
    return InsertBitmap(std::move(bitmap));
}

extern "C" BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    if (RemoveBitmap(ho))
        return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

extern "C" DWORD WINAPI GetObjectType(HGDIOBJ h) {
    if (LookupBitmap(h))
        return OBJ_BITMAP;
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

// With a null buffer the size of the object's description is returned.
extern "C" int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv) {
    auto bitmap = LookupBitmap(h);
    if (!bitmap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!pv)
        return sizeof(BITMAP);
    if (c < static_cast<int>(sizeof(BITMAP)))
        return 0;
    BITMAP description{0,
                       bitmap->width,
                       bitmap->height,
                       WidthBytes(*bitmap),
                       1,
                       static_cast<WORD>(bitmap->dibSection ? bitmap->bitsPerPixel : 32),
                       bitmap->dibSection ? bitmap->bits.data() : nullptr};
    std::memcpy(pv, &description, sizeof description);
    return sizeof(BITMAP);
}
