// BSTR allocation. A BSTR points at its first character; the 32-bit byte
// length is stored just before it, and a null character follows the text.
// The block starts 8 bytes before the text, so the text stays 8-byte aligned
// as on 64-bit Windows.
#include <oleauto.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kLengthOffset = kHeaderBytes - sizeof(UINT);

char* BlockOf(BSTR bstr) {
    return reinterpret_cast<char*>(bstr) - kHeaderBytes;
}

// Allocates room for `bytes` bytes of text plus the terminating null
// character, stores the length and terminates; the text itself is zeroed.
BSTR AllocateBytes(UINT bytes) {
    // The length must fit the 32-bit prefix with room for the terminator.
    if (bytes > UINT_MAX - kHeaderBytes - 2 * sizeof(OLECHAR))
        return nullptr;
    const size_t total = kHeaderBytes + bytes + sizeof(OLECHAR);
    char* block = static_cast<char*>(std::calloc(1, total));
    if (block == nullptr)
        return nullptr;
    std::memcpy(block + kLengthOffset, &bytes, sizeof bytes);
    return reinterpret_cast<BSTR>(block + kHeaderBytes);
}

bool CharsFitPrefix(UINT chars) {
    return chars <= (UINT_MAX - kHeaderBytes) / sizeof(OLECHAR) - 2;
}

}  // namespace

extern "C" BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    if (!CharsFitPrefix(ui))
        return nullptr;
    BSTR bstr = AllocateBytes(ui * sizeof(OLECHAR));
    if (bstr != nullptr && strIn != nullptr)
        std::memcpy(bstr, strIn, ui * sizeof(OLECHAR));
    return bstr;
}

extern "C" BSTR WINAPI SysAllocString(const OLECHAR* psz) {
    if (psz == nullptr)
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz)));
}

extern "C" BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len) {
    BSTR bstr = AllocateBytes(len);
    if (bstr != nullptr && psz != nullptr)
        std::memcpy(bstr, psz, len);
    return bstr;
}

extern "C" INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
    if (pbstr == nullptr)
        return FALSE;
    // The source may lie inside the old string: copy before freeing.
    BSTR fresh = SysAllocStringLen(psz, len);
    if (fresh == nullptr)
        return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

extern "C" INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (pbstr == nullptr)
        return FALSE;
    if (psz == nullptr) {
        // No source text gives no string, as SysAllocString(NULL) does.
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(std::wcslen(psz)));
}

extern "C" void WINAPI SysFreeString(BSTR bstrString) {
    if (bstrString != nullptr)
        std::free(BlockOf(bstrString));
}

extern "C" UINT WINAPI SysStringByteLen(BSTR bstr) {
    if (bstr == nullptr)
        return 0;
    UINT bytes;
    std::memcpy(&bytes, BlockOf(bstr) + kLengthOffset, sizeof bytes);
    return bytes;
}

extern "C" UINT WINAPI SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}
