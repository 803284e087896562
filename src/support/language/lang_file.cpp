#include "support/language/lang_file.h"

#include "support/log/trace_scope.h"
#include "support/settings/settings.h"

#include <cwchar>

bool GetLangFileName(std::wstring& fileName) {
    CTraceScope trace("GetLangFileName");
    fileName.clear();
    std::wstring language;
    DWORD partner = 0;
    if (!CSettings::GetLanguage(language) || !CSettings::GetPartner(partner))
        return false;
    // The number is stored as a 32-bit value and shown signed; a form that
    // needs more than 9 characters is refused rather than cut.
    wchar_t number[10] = {};
    int written = std::swprintf(number, std::size(number), L"%d", static_cast<int>(partner));
    if (written < 0)
        return false;
    fileName = language + number + L".ini";
    return true;
}
