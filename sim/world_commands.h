// The rows of the command table by which the world changes while Outlook
// runs: the registry, files, the user's folders and items.
#pragma once

#include <string>

#include "verbs.h"

namespace olsim {

void CheckRegistryChange(const Step& step);
std::string ChangeRegistry(RunContext& run, const Step& step);
void CheckFileChange(const Step& step);
std::string ChangeFile(RunContext& run, const Step& step);
void CheckItemChange(const Step& step);
std::string ChangeItem(RunContext& run, const Step& step);
void CheckFolderChange(const Step& step);
std::string ChangeFolder(RunContext& run, const Step& step);

}  // namespace olsim
