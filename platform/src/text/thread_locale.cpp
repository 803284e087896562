// The thread locale: one per thread, starting as the user's default. The host
// has one locale, US English, for the user and the system alike.
#include <errhandlingapi.h>
#include <winerror.h>
#include <winnls.h>

namespace {

constexpr LCID kHostLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), SORT_DEFAULT);

thread_local LCID threadLocale = kHostLocale;

}  // namespace

LCID WINAPI GetUserDefaultLCID(void) {
    return kHostLocale;
}

LCID WINAPI GetSystemDefaultLCID(void) {
    return kHostLocale;
}

LCID WINAPI GetThreadLocale(void) {
    return threadLocale;
}

BOOL WINAPI SetThreadLocale(LCID Locale) {
    // The default locales are named by their neutral forms and stored as what
    // they stand for, so GetThreadLocale answers a real locale.
    if (Locale == LOCALE_SYSTEM_DEFAULT || Locale == LOCALE_USER_DEFAULT) {
        threadLocale = kHostLocale;
        return TRUE;
    }
    const WORD language = LANGIDFROMLCID(Locale);
    if (PRIMARYLANGID(language) == LANG_NEUTRAL || (Locale >> 16) > 0xF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    threadLocale = Locale;
    return TRUE;
}
