// Runs a scenario in the current root on the virtual clock and checks its
// expectations where they stand.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "scenario.h"

namespace olsim {

struct RunOptions {
    std::string stateFile;  // written at the end when not empty
    bool verbose = false;   // a line per step
    std::string directory;  // where files named by the scenario are looked for first
};

struct RunResult {
    bool ok = false;       // every expectation held and every command was carried out
    bool crashed = false;  // Outlook crashed during the run
};

// Prints a report of every expectation that did not hold (and every command
// that could not be carried out) to `report`.
RunResult RunScenario(const Scenario& scenario, const RunOptions& options, std::ostream& report);

class OutlookProcess;

// Runs steps one by one on a process that is already running (the demo's
// scenario and its interactive mode), reporting each failure as a run does.
class StepRunner {
  public:
    StepRunner(OutlookProcess& process, const RunOptions& options, std::ostream& report);
    ~StepRunner();
    // True when the step held (a command was carried out, an expectation held).
    bool Run(const Step& step);
    // Reports a crash, writes the state when asked, and sums the run up.
    RunResult Finish();

  private:
    class Steps;
    std::unique_ptr<Steps> m_steps;
};

// Starts the process's clock and host settings the way every run has them.
void PrepareProcess(const Profile& profile);

}  // namespace olsim
