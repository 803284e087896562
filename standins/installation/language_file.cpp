// The English language file. Its texts live in English.ini beside this file,
// embedded at build time; the file keeps the repository's line ends, and the
// add-in's reader ends lines only at CR LF, so they are written as CR LF.
#include "installation_kit.h"
#include "kit_files.h"

#include <string>

extern const char kEnglishLanguageFile[];
extern const unsigned kEnglishLanguageFile_size;

namespace installation {
namespace {

std::string WithWindowsLineEnds(std::string_view text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            converted += '\r';
        converted += text[i];
    }
    return converted;
}

}  // namespace

bool WriteLanguageFile(const std::wstring& windowsPath, std::wstring& error) {
    return WriteWholeFile(
        windowsPath,
        WithWindowsLineEnds(std::string_view(kEnglishLanguageFile, kEnglishLanguageFile_size)),
        error);
}

}  // namespace installation
