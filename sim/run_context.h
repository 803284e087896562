// What the rows of the command and expectation tables share while a
// scenario runs: Outlook's process, the run's options, where failures are
// reported, and the filter core's trainer.
#pragma once

#include <mailstore/model.h>

#include <ostream>
#include <string>

#include "core_training.h"
#include "mail_census.h"
#include "runner.h"

namespace olsim {

class OutlookProcess;

class RunContext {
  public:
    RunContext(OutlookProcess& process, const RunOptions& options, std::ostream& report)
        : process(process), options(options), report(report) {}
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    // Writes the JSON state to `file`: empty when done, else why not.
    std::string WriteState(const std::string& file);
    // A file a scenario names: looked for beside the scenario first, then
    // from the current folder. False with the reason in `message`.
    bool ReadScenarioFile(const std::string& file, mailstore::Bytes& bytes, std::string& message);

    OutlookProcess& process;
    const RunOptions options;
    std::ostream& report;
    // Released before Outlook's process goes, so the core can be unloaded.
    CoreTrainer trainer;
    // The messages this run delivered and did not delete itself.
    DeliveryLedger delivered;
};

}  // namespace olsim
