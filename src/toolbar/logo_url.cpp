#include "toolbar/logo_url.h"

namespace {
std::wstring& LogoUrl() {
    static std::wstring url;
    return url;
}
}  // namespace

void SetProcessLogoUrl(const std::wstring& url) {
    LogoUrl() = url;
}

const std::wstring& ProcessLogoUrl() {
    return LogoUrl();
}
