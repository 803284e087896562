#include "demo.h"

#include <platform/filesystem.h>
#include <platform/root.h>
#include <shlobj.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <sstream>
#include <system_error>

#include "command_bar_view.h"
#include "core_training.h"
#include "mail.h"
#include "mail_census.h"
#include "observations.h"
#include "outlook_process.h"
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
        : options_(options), out_(out), process_(Profile{}) {}

    int Run(bool& crashed) {
        const auto start = Clock::now();
        std::string problem;
        auto split = SplitCorpus(options_.corpus, options_.groups, problem);
        if (!split) {
            out_ << "olsim demo: " << problem << "\n" << options_.fetchHint;
            return 2;
        }
        out_ << "olsim demo: Outlook " << Narrow(process_.profile().version)
             << " with the add-in, one personal folders file, on virtual time, in the root "
             << platform::host::Root().string() << "\n"
             << "  corpus " << options_.corpus.string() << ": " << Describe(split->train)
             << " train, " << Describe(split->test) << " arrive as new mail\n\n"
             << std::flush;

        ForgetEarlierTraining();
        bool ok = Install() && Train(split->train) && Start();
        if (ok) {
            Deliver(split->test);
            ok = RunScenarioFile() && ok;
            ok = RunCommands() && ok;
            PrintToolbar();
        }
        if (process_.started() && !process_.crash()) {
            std::string message;
            ok = process_.Quit(message) && ok;
        }
        ok = Check() && ok;
        out_ << "\nTime taken: " << Seconds(SecondsSince(start)) << " (delivery "
             << Seconds(deliverySeconds_) << "); peak resident memory "
             << Megabytes(PeakResidentBytes()) << "\n";
        PrintWhereThingsAre();
        crashed = process_.crash().has_value();
        if (crashed)
            out_ << process_.crash()->Describe() << "\n";
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
        if (process_.Install(done, message)) {
            out_ << "Installed the add-in, the filter core and the safe-item library ("
                 << done.size() << " steps).\n"
                 << std::flush;
            return true;
        }
        out_ << "The installation failed: " << message << "\n";
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
        out_ << "Trained the filter core through \"Brevint.Filter\" (Vote): " << good << " good, "
             << spam << " spam, in " << Seconds(SecondsSince(start)) << "; its store takes "
             << Megabytes(FilterStoreBytes()) << " on disk.\n";
        if (!error.empty())
            out_ << "  Training stopped: " << error << "\n";
        out_ << std::flush;
        return error.empty();
    }

    bool Start() {
        std::string message;
        bool ok = process_.Start(message);
        out_ << "Started Outlook: " << (message.empty() ? "started" : message) << ".\n"
             << std::flush;
        if (ok && !process_.crash())
            process_.Advance(kAfterStartMs);
        return ok && !process_.crash();
    }

    void Deliver(const std::vector<CorpusMessage>& half) {
        const auto start = Clock::now();
        std::vector<ArrivingMessage> arriving;
        arriving.reserve(half.size());
        for (const auto& m : half) {
            mailstore::Bytes file;
            if (!ReadFileBytes(m.file, file)) {
                refusals_.push_back({NameOf(m), "cannot be read"});
                continue;
            }
            arriving.push_back({m, WithoutEnvelope(file), ArrivalTime(file)});
        }
        arriving = InArrivalOrder(std::move(arriving));
        out_ << "Delivering " << half.size()
             << " messages as new mail, one at a time, in the order the mail server received "
                "them...\n"
             << std::flush;

        auto inbox = DefaultInbox();
        size_t handed = 0;
        for (const auto& m : arriving) {
            if (process_.crash())
                break;
            // A run that is stopped half-way still shows how far it came.
            if (handed > 0 && handed % kProgressEvery == 0)
                out_ << "  " << handed << " of " << arriving.size() << " delivered\n" << std::flush;
            ++handed;
            std::string error;
            if (!process_.DeliverMail(inbox, m.bytes, error)) {
                refusals_.push_back({NameOf(m.message), error});
                continue;
            }
            ledger_.Record(m.bytes, m.message.spam, NameOf(m.message));
        }
        deliverySeconds_ = SecondsSince(start);
        PrintFigures(ledger_.Take(), half.size());
    }

    std::string SpamFolderPath() const {
        auto inbox = DefaultInbox();
        auto parent = inbox ? inbox->Parent() : nullptr;
        return (parent ? FolderPath(parent) : std::string("?")) + "/Brevint";
    }

    void PrintFigures(const Census& census, size_t arrived) {
        const std::string inboxPath = FolderPath(DefaultInbox());
        const std::string spamPath = SpamFolderPath();
        const FolderTally inbox = census.In(inboxPath);
        const FolderTally spamFolder = census.In(spamPath);
        size_t good = 0;
        for (const auto& f : census.folders)
            good += f.good;
        const size_t spam = census.found - good;
        out_ << "\nWhat happened to the " << arrived << " messages:\n";
        Figure(out_, "delivered", census.delivered);
        Figure(out_, "refused by the importer", refusals_.size());
        for (size_t i = 0; i < refusals_.size() && i < kRefusalsShown; ++i)
            out_ << "      " << refusals_[i].file << ": " << refusals_[i].reason << "\n";
        if (refusals_.size() > kRefusalsShown)
            out_ << "      ... and " << refusals_.size() - kRefusalsShown << " more\n";
        Figure(out_, "moved to the spam folder", spamFolder.total(),
               FindFolderByPath(spamPath) ? spamPath
                                          : spamPath + " (no such folder: nothing was moved)");
        Figure(out_, "left in the Inbox", inbox.total(), inboxPath);
        Figure(out_, "elsewhere", census.found - inbox.total() - spamFolder.total());
        Figure(out_, "false positives", spamFolder.good,
               "good mail in the spam folder, of " + std::to_string(good) + " good");
        Figure(out_, "false negatives", inbox.spam,
               "spam in the Inbox, of " + std::to_string(spam) + " spam");
    }

    bool RunScenarioFile() {
        if (options_.scenarioFile.empty() || process_.crash())
            return true;
        std::ifstream in(options_.scenarioFile);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            out_ << options_.scenarioFile << ": cannot be read\n";
            return false;
        }
        Scenario scenario;
        try {
            scenario = ParseScenario(text.str());
        } catch (const ParseError& error) {
            out_ << options_.scenarioFile << ":" << error.what() << "\n";
            return false;
        }
        out_ << "\nScenario " << options_.scenarioFile << ":\n";
        RunOptions runOptions;
        runOptions.directory = std::filesystem::path(options_.scenarioFile).parent_path().string();
        StepRunner runner(process_, runOptions, out_);
        bool ok = true;
        for (const auto& step : scenario.steps)
            ok = runner.Run(step) && ok;
        out_ << options_.scenarioFile << ": " << (ok ? "every expectation held" : "FAILED") << "\n";
        return ok;
    }

    // A person goes on: each line is a scenario line, carried out at once.
    bool RunCommands() {
        if (!options_.commands)
            return true;
        out_ << "\nGo on with scenario commands and expectations, one per line "
                "(docs/sim/scenarios.md); end with end of input.\n";
        RunOptions runOptions;
        StepRunner runner(process_, runOptions, out_);
        bool ok = true;
        int number = 0;
        for (std::string line;
             out_ << "olsim> " << std::flush, std::getline(*options_.commands, line);) {
            ++number;
            try {
                auto words = SplitWords(line, number);
                if (!words.empty() && words.front() == "profile") {
                    out_ << "  profile lines describe the machine before the start: ignored\n";
                    continue;
                }
                for (auto step : ParseScenario(line).steps) {
                    step.line = number;
                    bool held = runner.Run(step);
                    out_ << (held ? "  ok\n" : "");
                    ok = held && ok;
                }
            } catch (const ParseError& error) {
                // Each line is parsed alone: its own "line 1: " prefix would mislead.
                const std::string what = error.what();
                out_ << "  line " << number << what.substr(what.find(':')) << "\n";
            }
        }
        out_ << "\n";
        return ok;
    }

    // The add-in's bar in the active explorer (else the first one open), as
    // the user sees it after the run.
    void PrintToolbar() {
        if (process_.crash())
            return;
        std::optional<outlook::host::ExplorerInfo> shown;
        for (const auto& explorer : process_.Explorers()) {
            if (explorer.open && (!shown || explorer.active))
                shown = explorer;
        }
        if (!shown) {
            out_ << "\nNo explorer is open, so no \"Brevint toolbar\" is shown.\n";
            return;
        }
        const auto bars = process_.Bars(shown->id);
        const outlook::host::BarInfo* bar = FindBar(bars, L"Brevint toolbar");
        out_ << "\nThe \"Brevint toolbar\" of explorer " << shown->id << " (\""
             << Narrow(shown->caption) << "\") after the run:\n"
             << (bar ? BarOutline(*bar) : "  none: the add-in built no bar there\n");
    }

    bool Check() {
        const Census census = ledger_.Take();
        if (census.EveryMessageOnce()) {
            out_ << "\nNo mail lost: each of the " << census.delivered
                 << " delivered messages is in exactly one folder.\n";
            return true;
        }
        out_ << "\nMAIL LOST OR DUPLICATED: of " << census.delivered << " delivered messages, "
             << census.missing.size() << " are in no folder and " << census.duplicated.size()
             << " are in more than one.\n";
        for (const auto& name : census.missing)
            out_ << "  missing: " << name << "\n";
        for (const auto& name : census.duplicated)
            out_ << "  duplicated: " << name << "\n";
        for (const auto& folder : census.folders)
            out_ << "  " << folder.path << ": " << folder.total() << "\n";
        return false;
    }

    void PrintWhereThingsAre() {
        const auto statePath = platform::host::Root() / "demo-state.json";
        std::ofstream(statePath) << StateJson(process_);
        out_ << "The log: " << Narrow(LogFilePath()) << "\n    (on this machine "
             << platform::host::HostPathFromWindows(LogFilePath()).string() << ")\n"
             << "The state dump: " << statePath.string() << "\n";
    }

    const DemoOptions& options_;
    std::ostream& out_;
    OutlookProcess process_;
    DeliveryLedger ledger_;
    std::vector<Refusal> refusals_;
    double deliverySeconds_ = 0;
};

}  // namespace

int RunDemo(const DemoOptions& options, std::ostream& out, bool& crashed) {
    PrepareProcess(Profile{});
    return Demo(options, out).Run(crashed);
}

}  // namespace olsim
