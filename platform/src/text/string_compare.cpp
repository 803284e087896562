// Ordinal comparison of wide strings, the one names of files, registry keys
// and dispatch members are compared by: no locale, case folded through the
// same upper-case table the file system uses.
#include <errhandlingapi.h>
#include <winerror.h>
#include <winnls.h>

#include "fs/case_fold.h"

#include <cwchar>
#include <string_view>

namespace {

std::wstring_view Counted(LPCWCH text, int count) {
    return count == -1 ? std::wstring_view(text)
                       : std::wstring_view(text, static_cast<size_t>(count));
}

}  // namespace

int WINAPI CompareStringOrdinal(LPCWCH lpString1, int cchCount1, LPCWCH lpString2, int cchCount2,
                                BOOL bIgnoreCase) {
    if (!lpString1 || !lpString2 || cchCount1 < -1 || cchCount2 < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::wstring_view a = Counted(lpString1, cchCount1);
    const std::wstring_view b = Counted(lpString2, cchCount2);
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const wchar_t x = bIgnoreCase ? platform::fs::UpperCaseForNames(a[i]) : a[i];
        const wchar_t y = bIgnoreCase ? platform::fs::UpperCaseForNames(b[i]) : b[i];
        if (x != y)
            return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    if (a.size() == b.size())
        return CSTR_EQUAL;
    return a.size() < b.size() ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}
