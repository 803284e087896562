// Text in any code page the platform converts: any bytes, and any wide
// values (lone surrogates, values above U+10FFFF). Each conversion's size
// query gives exactly what the conversion then writes, a buffer one short is
// refused untouched, and UTF-8 read back from what it decoded to is the same.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr std::array<UINT, 20> kPages = {CP_ACP, 437,   866,   1251,  1252,  42,    932,
                                         936,    949,   950,   51932, 50220, 50225, 52936,
                                         54936,  65000, 65001, 20127, 28591, 10000};

std::wstring Decode(UINT page, const char* bytes, int size) {
    int need = MultiByteToWideChar(page, 0, bytes, size, nullptr, 0);
    if (need <= 0)
        return {};
    std::wstring wide(need, L'\0');
    if (MultiByteToWideChar(page, 0, bytes, size, wide.data(), need) != need)
        std::abort();  // the size asked for is not the size written
    if (need > 1) {
        std::wstring shorter(need - 1, L'\x5a5a');
        SetLastError(0);
        if (MultiByteToWideChar(page, 0, bytes, size, shorter.data(), need - 1) != 0 ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
            shorter != std::wstring(need - 1, L'\x5a5a'))
            std::abort();  // a short buffer was written to, or not refused
    }
    return wide;
}

std::string Encode(UINT page, const std::wstring& wide) {
    if (wide.empty())
        return {};
    int length = static_cast<int>(wide.size());
    int need = WideCharToMultiByte(page, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (need <= 0)
        return {};
    std::string bytes(need, '\0');
    if (WideCharToMultiByte(page, 0, wide.data(), length, bytes.data(), need, nullptr, nullptr) !=
        need)
        std::abort();  // the size asked for is not the size written
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    UINT page = kPages[data[0] % kPages.size()];
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    int length = static_cast<int>(size - 1);

    std::wstring wide = Decode(page, bytes, length);
    std::string encoded = Encode(page, wide);
    if (page == CP_UTF8) {
        // What UTF-8 decoding gives is valid text: it encodes and decodes back unchanged.
        if (Decode(page, encoded.data(), static_cast<int>(encoded.size())) != wide)
            std::abort();
    }

    // The input as wide values, four bytes each: anything a caller might hold.
    std::wstring raw;
    for (size_t i = 1; i + 4 <= size; i += 4)
        raw += static_cast<wchar_t>(data[i] | data[i + 1] << 8 | data[i + 2] << 16 |
                                    (data[i + 3] & 0x7f) << 24);
    (void)Encode(page, raw);
    return 0;
}
