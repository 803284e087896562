#include "demo.h"

#include <platform/filesystem.h>
#include <platform/root.h>
#include <shlobj.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <sstream>
#include <system_error>

#include "command_bar_view.h"
#include "core_training.h"
#include "demo_report.h"
#include "mail.h"
#include "mail_census.h"
#include "observations.h"
#include "outlook_process.h"
#include "registry_access.h"
#include "runner.h"
#include "text.h"

namespace olsim {
namespace {

using Clock = std::chrono::steady_clock;

// Virtual time after the start, before the first message: the add-in's
// start-up timers have run, as they would have before mail comes in.
constexpr unsigned long long kAfterStartMs = 10000;
constexpr size_t kRefusalsShown = 5;
constexpr size_t kProgressEvery = 500;

// "group/file" for reports.
std::string NameOf(const CorpusMessage& message) {
    return message.file.parent_path().filename().string() + "/" + message.file.filename().string();
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Seconds(double seconds) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << seconds << " s";
    return text.str();
}

std::string Megabytes(std::uintmax_t bytes) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << static_cast<double>(bytes) / (1024.0 * 1024.0)
         << " MB";
    return text.str();
}

// The most memory the process has held at once (Linux counts it in KiB).
std::uintmax_t PeakResidentBytes() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return static_cast<std::uintmax_t>(usage.ru_maxrss) * 1024;
}

struct Refusal {
    std::string file;
    std::string reason;
};

// One line of the figures, the count aligned.
void Figure(std::ostream& out, const std::string& label, size_t count,
            const std::string& note = "") {
    out << "  " << std::left << std::setw(28) << label << std::right << std::setw(6) << count
        << (note.empty() ? "" : "  " + note) << "\n";
}

class Demo {
  public:
    Demo(const DemoOptions& options, std::ostream& out)
        : m_options(options), m_out(out), m_process(Profile{}) {}

    int Run(bool& crashed) {
        const auto start = Clock::now();
        std::string problem;
        auto split = SplitCorpus(m_options.corpus, m_options.groups, problem);
        if (!split) {
            m_out << "olsim demo: " << problem << "\n" << m_options.fetchHint;
            return 2;
        }
        m_out << "olsim demo: Outlook " << Narrow(m_process.profile().version)
              << " with the add-in, one personal folders file, on virtual time, in the root "
              << platform::host::Root().string() << "\n"
              << "  corpus " << m_options.corpus.string() << ": " << Describe(split->train)
              << " train, " << Describe(split->test) << " arrive as new mail\n\n"
              << std::flush;

        ForgetEarlierTraining();
        bool ok = Install() && Train(split->train) && Start();
        if (ok) {
            Deliver(split->test);
            if (!m_options.reportFile.empty())
                ScoreArrivals();
            ok = RunScenarioFile() && ok;
            ok = RunCommands() && ok;
            PrintToolbar();
        }
        if (m_process.started() && !m_process.crash()) {
            std::string message;
            ok = m_process.Quit(message) && ok;
        }
        ok = Check() && ok;
        m_out << "\nTime taken: " << Seconds(SecondsSince(start)) << " (delivery "
              << Seconds(m_deliverySeconds) << "); peak resident memory "
              << Megabytes(PeakResidentBytes()) << "\n";
        PrintWhereThingsAre();
        if (!m_options.reportFile.empty())
            ok = WriteReport() && ok;
        crashed = m_process.crash().has_value();
        if (crashed)
            m_out << m_process.crash()->Describe() << "\n";
        return ok && !crashed ? 0 : 1;
    }

  private:
    static std::string Describe(const std::vector<CorpusMessage>& messages) {
        size_t spam = 0;
        for (const auto& m : messages)
            spam += m.spam;
        return std::to_string(messages.size()) + " (" + std::to_string(messages.size() - spam) +
               " good, " + std::to_string(spam) + " spam)";
    }

    // Where the filter core keeps what it learnt, on this machine; empty when
    // the user has no application-data folder.
    static std::filesystem::path FilterStoreFolder() {
        wchar_t appData[MAX_PATH] = {};
        if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE))
            return {};
        return platform::host::HostPathFromWindows(std::wstring(appData) + L"\\Brevint\\Filter");
    }

    // Each run starts from a filter core that has learnt nothing, so its
    // figures are those of this split alone: what an earlier run taught the
    // core in this root (or a store an older core wrote) is removed.
    void ForgetEarlierTraining() {
        const std::filesystem::path folder = FilterStoreFolder();
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }

    // The bytes of the files of the filter's store.
    static std::uintmax_t FilterStoreBytes() {
        const std::filesystem::path folder = FilterStoreFolder();
        std::uintmax_t bytes = 0;
        std::error_code error;
        if (folder.empty() || !std::filesystem::is_directory(folder, error))
            return 0;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            std::error_code sizeError;
            if (it->is_regular_file(sizeError))
                bytes += it->file_size(sizeError);
        }
        return bytes;
    }

    bool Install() {
        std::vector<std::string> done;
        std::string message;
        if (m_process.Install(done, message)) {
            m_out << "Installed the add-in, the filter core and the safe-item library ("
                  << done.size() << " steps).\n"
                  << std::flush;
            return true;
        }
        m_out << "The installation failed: " << message << "\n";
        return false;
    }

    bool Train(const std::vector<CorpusMessage>& half) {
        const auto start = Clock::now();
        size_t good = 0, spam = 0;
        std::string error;
        {
            CoreTrainer trainer;  // let go before Outlook starts
            for (const auto& m : half) {
                mailstore::Bytes bytes;
                if (!ReadFileBytes(m.file, bytes)) {
                    error = NameOf(m) + " cannot be read";
                    break;
                }
                if (!trainer.Vote(WithoutEnvelope(bytes), m.spam ? kSpamVote : kGoodVote, error)) {
                    error = NameOf(m) + ": " + error;
                    break;
                }
                ++(m.spam ? spam : good);
            }
        }
        m_out << "Trained the filter core through \"Brevint.Filter\" (Vote): " << good << " good, "
              << spam << " spam, in " << Seconds(SecondsSince(start)) << "; its store takes "
              << Megabytes(FilterStoreBytes()) << " on disk.\n";
        if (!error.empty())
            m_out << "  Training stopped: " << error << "\n";
        m_out << std::flush;
        return error.empty();
    }

    bool Start() {
        std::string message;
        bool ok = m_process.Start(message);
        m_out << "Started Outlook: " << (message.empty() ? "started" : message) << ".\n"
              << std::flush;
        if (ok && !m_process.crash())
            m_process.Advance(kAfterStartMs);
        return ok && !m_process.crash();
    }

    void Deliver(const std::vector<CorpusMessage>& half) {
        const auto start = Clock::now();
        std::vector<ArrivingMessage> arriving;
        arriving.reserve(half.size());
        for (const auto& m : half) {
            mailstore::Bytes file;
            if (!ReadFileBytes(m.file, file)) {
                m_refusals.push_back({NameOf(m), "cannot be read"});
                continue;
            }
            arriving.push_back({m, WithoutEnvelope(file), ArrivalTime(file)});
        }
        arriving = InArrivalOrder(std::move(arriving));
        m_out << "Delivering " << half.size()
              << " messages as new mail, one at a time, in the order the mail server received "
                 "them...\n"
              << std::flush;

        auto inbox = DefaultInbox();
        size_t handed = 0;
        for (const auto& m : arriving) {
            if (m_process.crash())
                break;
            // A run that is stopped half-way still shows how far it came.
            if (handed > 0 && handed % kProgressEvery == 0)
                m_out << "  " << handed << " of " << arriving.size() << " delivered\n"
                      << std::flush;
            ++handed;
            std::string error;
            const size_t spamBefore = SpamFolderCount();
            const auto delivering = Clock::now();
            if (!m_process.DeliverMail(inbox, m.bytes, error)) {
                m_refusals.push_back({NameOf(m.message), error});
                continue;
            }
            const double latencyMs = SecondsSince(delivering) * 1000;
            m_ledger.Record(m.bytes, m.message.spam, NameOf(m.message));
            m_arrivals.push_back({m.message.spam, SpamFolderCount() > spamBefore, -1, latencyMs});
            if (!m_options.reportFile.empty())
                m_arrivedBytes.push_back(m.bytes);
        }
        m_deliverySeconds = SecondsSince(start);
        PrintFigures(m_ledger.Take(), half.size());
    }

    size_t SpamFolderCount() const {
        auto folder = FindFolderByPath(SpamFolderPath());
        return folder ? folder->Messages().size() : 0;
    }

    // The core's score of each arrived message, asked after the delivery so
    // that the delivery's times are the add-in's alone. The core learns
    // nothing while mail arrives, so these are the scores the add-in got.
    void ScoreArrivals() {
        CoreTrainer core;  // let go before Outlook quits
        for (size_t i = 0; i < m_arrivals.size(); ++i)
            m_arrivals[i].score = static_cast<int>(core.Score(m_arrivedBytes[i]).value_or(-1));
        m_arrivedBytes.clear();
    }

    bool WriteReport() {
        view::DemoReport report;
        report.arrivals = m_arrivals;
        for (const auto& folder : m_finalFolders)
            report.folders.push_back({folder.path, folder.good, folder.spam});
        const auto threshold = ReadRegistryValue(L"HKCU\\Software\\Brevint\\Thresholds", L"Filter");
        if (threshold && threshold->type == REG_DWORD && threshold->data.size() == sizeof(DWORD)) {
            DWORD value = 0;
            std::memcpy(&value, threshold->data.data(), sizeof value);
            report.threshold = static_cast<int>(value);
        }
        report.figures = m_figures;
        std::ofstream out(m_options.reportFile, std::ios::binary);
        out << view::DemoReportPage(report);
        if (!out.flush()) {
            m_out << "The report could not be written to " << m_options.reportFile << "\n";
            return false;
        }
        m_out << "The report: " << m_options.reportFile << "\n";
        return true;
    }

    std::string SpamFolderPath() const {
        auto inbox = DefaultInbox();
        auto parent = inbox ? inbox->Parent() : nullptr;
        return (parent ? FolderPath(parent) : std::string("?")) + "/Brevint";
    }

    void PrintFigures(const Census& census, size_t arrived) {
        std::ostringstream figures;
        WriteFigures(figures, census, arrived);
        m_figures = figures.str();
        m_finalFolders = census.folders;
        m_out << m_figures << std::flush;
    }

    void WriteFigures(std::ostream& out, const Census& census, size_t arrived) {
        const std::string inboxPath = FolderPath(DefaultInbox());
        const std::string spamPath = SpamFolderPath();
        const FolderTally inbox = census.In(inboxPath);
        const FolderTally spamFolder = census.In(spamPath);
        size_t good = 0;
        for (const auto& f : census.folders)
            good += f.good;
        const size_t spam = census.found - good;
        out << "\nWhat happened to the " << arrived << " messages:\n";
        Figure(out, "delivered", census.delivered);
        Figure(out, "refused by the importer", m_refusals.size());
        for (size_t i = 0; i < m_refusals.size() && i < kRefusalsShown; ++i)
            out << "      " << m_refusals[i].file << ": " << m_refusals[i].reason << "\n";
        if (m_refusals.size() > kRefusalsShown)
            out << "      ... and " << m_refusals.size() - kRefusalsShown << " more\n";
        Figure(out, "moved to the spam folder", spamFolder.total(),
               FindFolderByPath(spamPath) ? spamPath
                                          : spamPath + " (no such folder: nothing was moved)");
        Figure(out, "left in the Inbox", inbox.total(), inboxPath);
        Figure(out, "elsewhere", census.found - inbox.total() - spamFolder.total());
        Figure(out, "false positives", spamFolder.good,
               "good mail in the spam folder, of " + std::to_string(good) + " good");
        Figure(out, "false negatives", inbox.spam,
               "spam in the Inbox, of " + std::to_string(spam) + " spam");
    }

    bool RunScenarioFile() {
        if (m_options.scenarioFile.empty() || m_process.crash())
            return true;
        std::ifstream in(m_options.scenarioFile);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            m_out << m_options.scenarioFile << ": cannot be read\n";
            return false;
        }
        Scenario scenario;
        try {
            scenario = ParseScenario(text.str());
        } catch (const ParseError& error) {
            m_out << m_options.scenarioFile << ":" << error.what() << "\n";
            return false;
        }
        m_out << "\nScenario " << m_options.scenarioFile << ":\n";
        RunOptions runOptions;
        runOptions.directory = std::filesystem::path(m_options.scenarioFile).parent_path().string();
        StepRunner runner(m_process, runOptions, m_out);
        bool ok = true;
        for (const auto& step : scenario.steps)
            ok = runner.Run(step) && ok;
        m_out << m_options.scenarioFile << ": " << (ok ? "every expectation held" : "FAILED")
              << "\n";
        return ok;
    }

    // A person goes on: each line is a scenario line, carried out at once.
    bool RunCommands() {
        if (!m_options.commands)
            return true;
        m_out << "\nGo on with scenario commands and expectations, one per line "
                 "(docs/sim/scenarios.md); end with end of input.\n";
        RunOptions runOptions;
        StepRunner runner(m_process, runOptions, m_out);
        bool ok = true;
        int number = 0;
        for (std::string line;
             m_out << "olsim> " << std::flush, std::getline(*m_options.commands, line);) {
            ++number;
            try {
                auto words = SplitWords(line, number);
                if (!words.empty() && words.front() == "profile") {
                    m_out << "  profile lines describe the machine before the start: ignored\n";
                    continue;
                }
                for (auto step : ParseScenario(line).steps) {
                    step.line = number;
                    bool held = runner.Run(step);
                    m_out << (held ? "  ok\n" : "");
                    ok = held && ok;
                }
            } catch (const ParseError& error) {
                // Each line is parsed alone: its own "line 1: " prefix would mislead.
                const std::string what = error.what();
                m_out << "  line " << number << what.substr(what.find(':')) << "\n";
            }
        }
        m_out << "\n";
        return ok;
    }

    // The add-in's bar in the active explorer (else the first one open), as
    // the user sees it after the run.
    void PrintToolbar() {
        if (m_process.crash())
            return;
        std::optional<outlook::host::ExplorerInfo> shown;
        for (const auto& explorer : m_process.Explorers()) {
            if (explorer.open && (!shown || explorer.active))
                shown = explorer;
        }
        if (!shown) {
            m_out << "\nNo explorer is open, so no \"Brevint toolbar\" is shown.\n";
            return;
        }
        const auto bars = m_process.Bars(shown->id);
        const outlook::host::BarInfo* bar = FindBar(bars, L"Brevint toolbar");
        m_out << "\nThe \"Brevint toolbar\" of explorer " << shown->id << " (\""
              << Narrow(shown->caption) << "\") after the run:\n"
              << (bar ? BarOutline(*bar) : "  none: the add-in built no bar there\n");
    }

    bool Check() {
        const Census census = m_ledger.Take();
        if (census.EveryMessageOnce()) {
            m_out << "\nNo mail lost: each of the " << census.delivered
                  << " delivered messages is in exactly one folder.\n";
            return true;
        }
        m_out << "\nMAIL LOST OR DUPLICATED: of " << census.delivered << " delivered messages, "
              << census.missing.size() << " are in no folder and " << census.duplicated.size()
              << " are in more than one.\n";
        for (const auto& name : census.missing)
            m_out << "  missing: " << name << "\n";
        for (const auto& name : census.duplicated)
            m_out << "  duplicated: " << name << "\n";
        for (const auto& folder : census.folders)
            m_out << "  " << folder.path << ": " << folder.total() << "\n";
        return false;
    }

    void PrintWhereThingsAre() {
        const auto statePath = platform::host::Root() / "demo-state.json";
        std::ofstream(statePath) << StateJson(m_process);
        m_out << "The log: " << Narrow(LogFilePath()) << "\n    (on this machine "
              << platform::host::HostPathFromWindows(LogFilePath()).string() << ")\n"
              << "The state dump: " << statePath.string() << "\n";
    }

    const DemoOptions& m_options;
    std::ostream& m_out;
    OutlookProcess m_process;
    DeliveryLedger m_ledger;
    std::vector<Refusal> m_refusals;
    double m_deliverySeconds = 0;
    // For the report: each arrival in order, the figures as printed, and the
    // folders that held delivered mail at the end of the delivery.
    std::vector<view::DemoArrival> m_arrivals;
    std::vector<mailstore::Bytes> m_arrivedBytes;
    std::string m_figures;
    std::vector<FolderTally> m_finalFolders;
};

}  // namespace

int RunDemo(const DemoOptions& options, std::ostream& out, bool& crashed) {
    PrepareProcess(Profile{});
    return Demo(options, out).Run(crashed);
}

}  // namespace olsim
