// The main job on real mail: the filter core trained on one half of the
// public spam corpus, Outlook started with the add-in, the other half
// delivered as new mail one message at a time, and what became of it.
#pragma once

#include <filesystem>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "corpus.h"

namespace olsim {

struct DemoOptions {
    std::filesystem::path corpus;  // the folder holding the corpus's groups
    std::vector<CorpusGroup> groups = SpamCorpusGroups();
    std::string scenarioFile;          // run after the delivery when given
    std::istream* commands = nullptr;  // read line by line after the delivery when given
    std::string fetchHint;             // how to fetch the corpus, said when it is absent
    std::string reportFile;            // the figures as a page with plots, when given
};

// The exit status: 0 when every step was carried out, every delivered
// message is in exactly one folder and every expectation held; 1 otherwise;
// 2 when there is no corpus. `crashed` tells whether Outlook crashed.
int RunDemo(const DemoOptions& options, std::ostream& out, bool& crashed);

}  // namespace olsim
