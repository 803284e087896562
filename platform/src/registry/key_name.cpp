#include "registry/key_name.h"

#include <winerror.h>

#include <cwctype>
#include <locale.h>

namespace platform::registry {
namespace {

// The "C" locale upper-cases ASCII only; key names in other scripts need the
// Unicode tables of a UTF-8 locale. The locale object lives for the process.
locale_t UnicodeLocale() {
    static locale_t locale = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return made ? made : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return locale;
}

}  // namespace

std::wstring FoldName(std::wstring_view name) {
    locale_t locale = UnicodeLocale();
    std::wstring folded(name);
    for (wchar_t& c : folded)
        c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), locale));
    return folded;
}

LSTATUS SplitKeyPath(const wchar_t* path, std::vector<std::wstring>& components) {
    components.clear();
    if (path == nullptr || *path == L'\0')
        return ERROR_SUCCESS;
    std::wstring_view rest(path);
    // Windows refuses an absolute path relative to a key.
    if (rest.front() == L'\\')
        return ERROR_BAD_PATHNAME;
    if (rest.back() == L'\\')
        rest.remove_suffix(1);
    while (true) {
        size_t cut = rest.find(L'\\');
        std::wstring_view part = rest.substr(0, cut);
        if (part.empty())
            return ERROR_BAD_PATHNAME;
        if (part.size() > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        components.emplace_back(part);
        if (cut == std::wstring_view::npos)
            return ERROR_SUCCESS;
        rest.remove_prefix(cut + 1);
    }
}

}  // namespace platform::registry
