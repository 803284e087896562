// The files an installation lays down beside the modules: the English
// language file and the toolbar images. The simulator's install step and the
// tests write them with these.
//
// Paths are Windows paths under the platform's root. Each function creates the
// folders it needs, replaces files that are there, and on failure returns
// false with a sentence saying what failed in `error`.
#pragma once

#include <string>

namespace installation {

// Writes the English language file (UTF-8, lines ended by CR LF) at
// windowsPath, e.g. "C:\Program Files\Brevint\Languages\English3.ini": a text
// for every section and key the add-in asks for.
bool WriteLanguageFile(const std::wstring& windowsPath, std::wstring& error);

// Writes the toolbar's images as bitmap files under installDirectory +
// "Graphics\Toolbar\": the logo LogoSmall.bmp (82 by 22 pixels, the size of
// the logo window) and the buttons' faces *.dib (16 by 16 pixels).
// installDirectory ends with a backslash, as the registry's Directory does.
bool WriteToolbarImages(const std::wstring& installDirectory, std::wstring& error);

}  // namespace installation
