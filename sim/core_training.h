// Teaches the filter core the training half of a corpus through the core's
// own COM object, as any client of Core.dll would: "Brevint.Filter", Vote 100
// for spam and -100 for good mail. The core keeps one store per process, in
// the user's application-data folder, so the add-in loaded in this process
// later scores with what was learned here.
#pragma once

#include <mailstore/entry_id.h>

#include <string>
#include <vector>

namespace olsim {

struct TrainingMessage {
    mailstore::Bytes bytes;
    bool spam = false;
};

struct TrainingResult {
    size_t good = 0;  // votes the core accepted
    size_t spam = 0;
    std::string error;  // why training stopped; empty when every vote was taken
};

// Needs COM initialised on this thread and Core.dll registered.
TrainingResult TrainFilterCore(const std::vector<TrainingMessage>& messages);

}  // namespace olsim
