// Writing one whole file at a Windows path, with the folders leading to it.
#pragma once

#include <string>
#include <string_view>

namespace installation {

// Creates the missing folders of the path's parent, then writes the bytes,
// replacing the file. False with a sentence in error when that fails.
bool WriteWholeFile(const std::wstring& windowsPath, std::string_view bytes, std::wstring& error);

}  // namespace installation
