#include "runner.h"

#include <platform/clock.h>
#include <platform/filesystem.h>

#include <filesystem>
#include <fstream>

#include "observations.h"
#include "outlook_process.h"
#include "page_files.h"
#include "state_page.h"
#include "run_context.h"
#include "verbs.h"

namespace olsim {

std::string RunContext::WriteState(const std::string& file) {
    const auto state = StateDocument(process);
    std::ofstream out(file, std::ios::binary);
    try {
        out << (view::IsPageFile(file) ? view::StatePage(view::ReadState(state))
                                       : StateText(state));
    } catch (const view::StateError& error) {
        return "could not draw the state of " + file + ": " + error.what();
    }
    return out.flush() ? "" : "could not write the state to " + file;
}

bool RunContext::ReadScenarioFile(const std::string& file, mailstore::Bytes& bytes,
                                  std::string& message) {
    std::filesystem::path path = file;
    if (path.is_relative() && !options.directory.empty() &&
        std::filesystem::exists(options.directory / path))
        path = options.directory / path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        message = file + " cannot be read";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

class StepRunner::Steps {
  public:
    Steps(OutlookProcess& process, const RunOptions& options, std::ostream& report)
        : m_run(process, options, report) {}

    // True when the step held: a command was carried out, an expectation held.
    bool RunStep(const Step& step) {
        if (m_run.options.verbose)
            m_run.report << "line " << step.line << ": " << step.text << "\n";
        const std::string problem = Carry(step);
        if (problem.empty())
            return true;
        ++m_failures;
        m_run.report << "line " << step.line << ": " << step.text << "\n    " << problem << "\n";
        return false;
    }

    RunResult Finish() {
        if (m_run.process.crash())
            m_run.report << m_run.process.crash()->Describe() << "\n";
        if (!m_run.options.stateFile.empty())
            m_run.WriteState(m_run.options.stateFile);
        return {m_failures == 0, m_run.process.crash().has_value()};
    }

  private:
    // Once Outlook has crashed nothing more runs in it; a crash during a
    // command is an outcome to expect, not a command that failed.
    std::string Carry(const Step& step) {
        const Command* command = FindCommand(step.verb);
        if (!command)
            return "unknown command '" + step.verb + "'";
        if (command->runsOutlook && m_run.process.crash()) {
            m_run.report << "line " << step.line << ": skipped after the crash: " << step.text
                         << "\n";
            return "";
        }
        std::string problem = command->run(m_run, step);
        if (command->runsOutlook && m_run.process.crash())
            return "";
        return problem;
    }

    RunContext m_run;
    int m_failures = 0;
};

StepRunner::StepRunner(OutlookProcess& process, const RunOptions& options, std::ostream& report)
    : m_steps(std::make_unique<Steps>(process, options, report)) {}

StepRunner::~StepRunner() = default;

bool StepRunner::Run(const Step& step) {
    return m_steps->RunStep(step);
}

RunResult StepRunner::Finish() {
    return m_steps->Finish();
}

void PrepareProcess(const Profile& profile) {
    // 5 December 2026, 09:00 UTC: runs are repeatable.
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 9, 0, 0, 0});
    std::wstring major = profile.version.substr(0, profile.version.find(L'.'));
    platform::host::SetProcessImagePath(L"C:\\Program Files\\Microsoft Office\\OFFICE" + major +
                                        L"\\OUTLOOK.EXE");
}

RunResult RunScenario(const Scenario& scenario, const RunOptions& options, std::ostream& report) {
    PrepareProcess(scenario.profile);
    OutlookProcess process(scenario.profile);
    StepRunner run(process, options, report);
    for (const auto& step : scenario.steps)
        run.Run(step);
    return run.Finish();
}

}  // namespace olsim
