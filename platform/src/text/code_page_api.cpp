// GetCPInfo, IsValidCodePage, GetACP and GetOEMCP over the code page table.
#include "text/code_page_table.h"

#include <errhandlingapi.h>
#include <winerror.h>
#include <winnls.h>

#include <algorithm>

using platform::text::CodePageInfo;
using platform::text::FindCodePage;
using platform::text::ResolveCodePage;

extern "C" BOOL WINAPI GetCPInfo(UINT CodePage, LPCPINFO lpCPInfo) {
    const CodePageInfo* info = FindCodePage(ResolveCodePage(CodePage));
    if (info == nullptr || lpCPInfo == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    lpCPInfo->MaxCharSize = info->maxCharSize;
    lpCPInfo->DefaultChar[0] = '?';
    lpCPInfo->DefaultChar[1] = 0;
    std::copy(info->leadBytes.begin(), info->leadBytes.end(), lpCPInfo->LeadByte);
    return TRUE;
}

// Windows answers only for real page numbers: CP_ACP and the other pseudo
// pages are not valid here.
extern "C" BOOL WINAPI IsValidCodePage(UINT CodePage) {
    return FindCodePage(CodePage) != nullptr;
}

extern "C" UINT WINAPI GetACP(void) {
    return ResolveCodePage(CP_ACP);
}

extern "C" UINT WINAPI GetOEMCP(void) {
    return ResolveCodePage(CP_OEMCP);
}
