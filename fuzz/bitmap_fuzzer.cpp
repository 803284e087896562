// A bitmap file as an installation may hold it, damaged or not: any bytes.
// A bitmap read has a positive size, a pixel format the loader knows, and
// exactly the pixel rows its size asks for, taken from the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "gdi/bitmaps.h"

using platform::gdi::ParseBitmapFile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<BYTE> file(data, data + size);
    const auto bitmap = ParseBitmapFile(file);
    if (!bitmap)
        return 0;
    if (bitmap->width <= 0 || bitmap->height <= 0)
        std::abort();
    constexpr WORD kKnownFormats[] = {1, 4, 8, 16, 24, 32};
    if (std::find(std::begin(kKnownFormats), std::end(kKnownFormats), bitmap->bitsPerPixel) ==
        std::end(kKnownFormats))
        std::abort();
    const size_t stride = (static_cast<size_t>(bitmap->width) * bitmap->bitsPerPixel + 31) / 32 * 4;
    if (bitmap->bits.size() != stride * static_cast<size_t>(bitmap->height))
        std::abort();  // more or fewer rows than the header says
    uint32_t offset = 0;
    std::memcpy(&offset, data + 10, sizeof offset);
    if (offset > size || size - offset < bitmap->bits.size() ||
        (!bitmap->bits.empty() &&
         std::memcmp(bitmap->bits.data(), data + offset, bitmap->bits.size()) != 0))
        std::abort();  // the rows are not the file's
    return 0;
}
