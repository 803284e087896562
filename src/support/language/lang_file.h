// Which language file the add-in reads: the user's language followed by the
// installation's partner number, e.g. English3.ini.
#pragma once

#include <string>

// The file name without its folder; false when either registry value cannot be read.
bool GetLangFileName(std::wstring& fileName);
