// Outlook's command bar file: the bars that are not temporary, with their
// controls that are not temporary, kept from one run of Outlook to the next
// as Outlook keeps its own file in the user's application data.
#pragma once

#include <outlook_host.h>

#include <filesystem>
#include <vector>

namespace outlook::objects {

// The file's host path: "<application data>\Microsoft\Outlook\outcmd.dat".
std::filesystem::path CommandBarFilePath();

// What of `bars` is kept: the custom bars that are not temporary, each with
// its controls that are not temporary.
std::vector<host::BarInfo> KeptBars(const std::vector<host::BarInfo>& bars);

// A file that cannot be read (missing or damaged) gives no bars, as Outlook
// starts afresh without its file.
std::vector<host::BarInfo> LoadCommandBars(const std::filesystem::path& file);
// False when the file could not be written.
bool SaveCommandBars(const std::filesystem::path& file, const std::vector<host::BarInfo>& bars);

}  // namespace outlook::objects
