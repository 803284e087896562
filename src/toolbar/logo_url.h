// The process-wide logo URL that the logo window opens when clicked. Filled
// from the data worker's message and from the Exchange module; read and
// written on the user-interface thread only.
#pragma once

#include <string>

void SetProcessLogoUrl(const std::wstring& url);
const std::wstring& ProcessLogoUrl();
