#include "runner.h"

#include <platform/clock.h>
#include <platform/filesystem.h>
#include <platform/threads.h>
#include <platform/windows.h>

#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "core_training.h"
#include "mail.h"
#include "observations.h"
#include "outlook_process.h"
#include "registry_access.h"
#include "text.h"

namespace olsim {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

std::set<std::string> Words(const std::string& text) {
    std::set<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.insert(word);
    return words;
}

// The log lines that share the most words with `text`, for a report.
std::string NearestLogLines(const std::vector<LogLine>& log, const std::string& text) {
    if (log.empty())
        return "the log is empty (" + Narrow(LogFilePath()) + ")";
    auto wanted = Words(text);
    std::vector<std::pair<size_t, size_t>> scored;  // shared words, index
    for (size_t i = 0; i < log.size(); ++i) {
        size_t shared = 0;
        for (const auto& word : Words(log[i].text))
            shared += wanted.count(word);
        if (shared > 0)
            scored.emplace_back(shared, i);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::string nearest = "nearest log lines:";
    for (size_t k = 0; k < std::min<size_t>(scored.size(), 3); ++k)
        nearest += "\n      " + log[scored[k].second].line;
    if (scored.empty())
        nearest += " none shares a word; the last is\n      " + log.back().line;
    return nearest;
}

int AnswerCode(const std::string& answer) {
    static const std::map<std::string, int> answers{
        {"ok", IDOK},         {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
        {"ignore", IDIGNORE}, {"yes", IDYES},       {"no", IDNO}};
    auto found = answers.find(answer);
    if (found != answers.end())
        return found->second;
    return std::atoi(answer.c_str());
}

class ScenarioSteps {
  public:
    ScenarioSteps(OutlookProcess& process, const RunOptions& options, std::ostream& report)
        : options_(options), report_(report), process_(process) {}

    // True when the step held.
    bool RunStep(const Step& step) {
        if (options_.verbose)
            report_ << "line " << step.line << ": " << step.text << "\n";
        std::string problem = step.verb == "expect" ? Expect(step) : Command(step);
        if (!problem.empty())
            Fail(step, problem);
        return problem.empty();
    }

    RunResult Finish() {
        if (process_.crash())
            report_ << process_.crash()->Describe() << "\n";
        if (!options_.stateFile.empty())
            WriteState(options_.stateFile);
        return {failures_ == 0, process_.crash().has_value()};
    }

  private:
    void Fail(const Step& step, const std::string& problem) {
        ++failures_;
        report_ << "line " << step.line << ": " << step.text << "\n    " << problem << "\n";
    }

    std::string WriteState(const std::string& file) {
        std::ofstream out(file);
        out << StateJson(process_);
        return out ? "" : "could not write the state to " + file;
    }

    std::string Command(const Step& step) {
        const std::string& verb = step.verb;
        const auto& words = step.words;
        std::string message;
        if (verb == "state")
            return WriteState(words[0]);
        if (verb == "answer") {
            platform::host::QueueMessageBoxAnswer(AnswerCode(words[0]));
            return "";
        }
        if (verb == "service")
            return ServiceCommand(words);
        if (verb == "picker")
            return PickerCommand(words);
        if (verb == "install") {
            std::vector<std::string> done;
            return process_.Install(done, message) ? "" : "installation failed: " + message;
        }
        if (process_.crash()) {
            report_ << "line " << step.line << ": skipped after the crash: " << step.text << "\n";
            return "";
        }
        bool ok = true;
        if (verb == "start")
            ok = process_.Start(message);
        else if (verb == "quit")
            ok = process_.Quit(message);
        else if (verb == "open")
            ok = process_.OpenExplorer(
                words.empty() ? L"Inbox - Microsoft Outlook" : Widen(words[0]), message);
        else if (verb == "activate")
            ok = process_.ActivateExplorer(std::stoi(words[0]), message);
        else if (verb == "select")
            ok = process_.ChangeSelection(std::stoi(words[0]), message);
        else if (verb == "close")
            ok = process_.CloseExplorer(std::stoi(words[0]), message);
        else if (verb == "fault")
            process_.FaultOnNextCall(Widen(words[0]));
        else if (verb == "advance")
            process_.Advance(*ParseDuration(words[0]));
        else if (verb == "deliver")
            ok = Deliver(words, message);
        else if (verb == "train")
            ok = Train(words, message);
        else if (verb == "folder")
            ok = words[0] == "create" ? CreateFolder(words[1], message)
                                      : DeleteFolder(words[1], message);
        else if (verb == "mailprofile")
            ok = SwitchMailProfile(Widen(words[0]), message);
        if (process_.crash())
            return "";  // a crash is an outcome to expect, not a broken command
        if (verb == "start" && ok && process_.addinCount() == 0)
            report_ << "line " << step.line << ": note: " << message << "\n";
        return ok ? "" : message;
    }

    // The user's answer to the next folder pickers; a folder is chosen by path.
    std::string PickerCommand(const std::vector<std::string>& words) {
        if (words[0] == "cancel") {
            outlook::host::SetFolderPickerChoice(std::nullopt);
            return "";
        }
        const mailstore::FolderPtr folder = FindFolderByPath(words[1]);
        if (!folder)
            return "no folder " + words[1];
        outlook::host::SetFolderPickerChoice(folder->Id());
        return "";
    }

    // The service's controls work before and after the start; they need the
    // service that the installation starts.
    std::string ServiceCommand(const std::vector<std::string>& words) {
        SimService* service = process_.service();
        if (!service)
            return "the filter service starts with the installation: 'install' first";
        bool done = false;
        if (words[0] == "down" && words.size() == 3)
            done = service->NetworkDownAfterNextLogOn();
        else if (words[0] == "down" || words[0] == "up")
            done = service->SetNetworkDown(words[0] == "down");
        else if (words[0] == "delay")
            done = service->SetDelay(std::chrono::milliseconds(*ParseDuration(words[1])));
        else if (words[0] == "value")
            done = service->SetValue(words[1], words[2]);
        else if (words[0] == "remove")
            done = service->SetValue(words[1], std::nullopt);
        else if (words[0] == "page")
            done =
                service->SetPage(words[1], std::stoi(words[2]), words.size() > 3 ? words[3] : "");
        return done ? "" : "the run has no filter service (profile service absent)";
    }

    std::string ExpectServiceRequests(const std::vector<std::string>& words) {
        SimService* service = process_.service();
        const size_t count = service ? service->CountOf(words[2]) : 0;
        if (std::to_string(count) == words[3])
            return "";
        return "found " + std::to_string(count) + " request(s) for " + words[2] + "; " +
               (service ? service->ServedPaths() : "no service was started");
    }

    std::string Expect(const Step& step) {
        std::vector<std::string> words = step.words;
        bool negated = words[0] == "no";
        if (negated)
            words.erase(words.begin());
        const std::string& what = words[0];
        if (what == "log")
            return ExpectLog(words, negated);
        if (what == "registry")
            return ExpectRegistry(words, negated);
        if (what == "window")
            return ExpectWindow(words, negated);
        if (what == "messagebox")
            return ExpectMessageBox(words, negated);
        if (what == "thread" || what == "threads")
            return ExpectThreads(words, negated);
        if (what == "file")
            return ExpectFile(words, negated);
        if (what == "folder")
            return ExpectFolder(words);
        if (what == "item")
            return ExpectItem(words, negated);
        if (what == "service")
            return ExpectServiceRequests(words);
        // crashed / no crash
        if (negated)
            return process_.crash() ? process_.crash()->Describe() : "";
        return process_.crash() ? "" : "Outlook did not crash";
    }

    std::string ExpectLog(const std::vector<std::string>& words, bool negated) {
        auto log = ReadLog();
        if (words[1] == "order" && !negated) {
            size_t from = 0;
            for (size_t k = 2; k < words.size(); ++k) {
                auto found = std::find_if(log.begin() + from, log.end(), [&](const LogLine& l) {
                    return Contains(l.text, words[k]);
                });
                if (found == log.end())
                    return "'" + words[k] + "' not found" +
                           (k > 2 ? " after '" + words[k - 1] + "' (log line " +
                                        std::to_string(from) + ")"
                                  : std::string()) +
                           "; " + NearestLogLines(log, words[k]);
                from = static_cast<size_t>(found - log.begin()) + 1;
            }
            return "";
        }
        if (words.size() == 2 && words[1] == "nested" && !negated)
            return ExpectNestedTraces(log);
        if (words[1] == "count" && !negated) {
            auto count = std::count_if(log.begin(), log.end(), [&](const LogLine& l) {
                return Contains(l.text, words[2]);
            });
            if (std::to_string(count) == words[3])
                return "";
            return "found " + std::to_string(count) + " lines with '" + words[2] + "'";
        }
        std::vector<std::string> matches;
        for (const auto& l : log)
            if (Contains(l.text, words[1]))
                matches.push_back(l.line);
        if (!negated)
            return matches.empty() ? "no log line holds it; " + NearestLogLines(log, words[1]) : "";
        if (matches.empty())
            return "";
        std::string found = std::to_string(matches.size()) + " log line(s) hold it:";
        for (size_t k = 0; k < std::min<size_t>(matches.size(), 3); ++k)
            found += "\n      " + matches[k];
        return found;
    }

    std::string ExpectRegistry(const std::vector<std::string>& words, bool negated) {
        auto value = ReadRegistryValue(Widen(words[1]), Widen(words[2]));
        if (negated)
            return value ? "the value is there: " + Narrow(value->Display()) : "";
        if (!value)
            return "the value is missing";
        const std::string& type = words[3];
        if (type == "exists")
            return "";
        if (type == "dword") {
            if (value->type != REG_DWORD)
                return "the value is of type " + std::to_string(value->type) + ", not REG_DWORD (" +
                       Narrow(value->Display()) + ")";
            return Narrow(value->Display()) == words[4] ? "" : "found " + Narrow(value->Display());
        }
        if (type == "date")
            return ExpectDate(*value, words[4]);
        if (value->type != REG_SZ)
            return "the value is of type " + std::to_string(value->type) + ", not REG_SZ";
        return Narrow(value->Display()) == words[4] ? ""
                                                    : "found \"" + Narrow(value->Display()) + "\"";
    }

    // A date as the add-in stores one: the 8 bytes of an OLE automation date,
    // compared to the second as "YYYY-MM-DD HH:MM:SS".
    static std::string ExpectDate(const RegistryValue& value, const std::string& wanted) {
        DATE date = 0;
        if (value.type != REG_BINARY || value.data.size() != sizeof date)
            return "the value is not an 8-byte date (" + Narrow(value.Display()) + ")";
        std::memcpy(&date, value.data.data(), sizeof date);
        SYSTEMTIME time{};
        if (!VariantTimeToSystemTime(date, &time))
            return "the value is not a valid date";
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth,
                      time.wDay, time.wHour, time.wMinute, time.wSecond);
        return wanted == text ? "" : std::string("found ") + text;
    }

    // Every Enter line is closed by the Exit line of the same operation, the
    // innermost first. Lines of other threads would interleave: meaningful
    // while only Outlook's thread writes traces.
    static std::string ExpectNestedTraces(const std::vector<LogLine>& log) {
        static const std::string kEnter = "----> ", kEnterEnd = " - Enter";
        static const std::string kExit = "<---- ", kExitEnd = " - Exit";
        auto nameIn = [](const std::string& text, const std::string& head,
                         const std::string& tail) -> std::optional<std::string> {
            if (text.rfind(head, 0) != 0 || text.size() < head.size() + tail.size() ||
                text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
                return std::nullopt;
            return text.substr(head.size(), text.size() - head.size() - tail.size());
        };
        std::vector<std::string> open;
        for (size_t k = 0; k < log.size(); ++k) {
            if (auto entered = nameIn(log[k].text, kEnter, kEnterEnd)) {
                open.push_back(*entered);
            } else if (auto left = nameIn(log[k].text, kExit, kExitEnd)) {
                if (open.empty() || open.back() != *left)
                    return "log line " + std::to_string(k + 1) + " leaves " + *left +
                           (open.empty() ? " with nothing entered"
                                         : " while " + open.back() + " is the innermost entered");
                open.pop_back();
            }
        }
        return open.empty() ? "" : open.back() + " was entered and never left";
    }

    std::string ExpectWindow(const std::vector<std::string>& words, bool negated) {
        std::wstring title = Widen(words[1]);
        std::wstring className = words.size() == 4 ? Widen(words[3]) : L"";
        auto windows = platform::host::ListWindows();
        bool found = std::any_of(windows.begin(), windows.end(), [&](const auto& w) {
            return w.text == title && (className.empty() || w.className == className);
        });
        if (found != negated)
            return "";
        if (negated)
            return "the window exists";
        std::string seen = "no such window; top-level windows:";
        for (const auto& w : windows)
            if (!w.parent)
                seen += "\n      [" + Narrow(w.className) + "] \"" + Narrow(w.text) + "\"";
        return seen;
    }

    std::string ExpectMessageBox(const std::vector<std::string>& words, bool negated) {
        auto boxes = platform::host::MessageBoxes();
        if (words[1] == "count")
            return std::to_string(boxes.size()) == words[2]
                       ? ""
                       : std::to_string(boxes.size()) + " message box(es) were shown";
        std::wstring text = Widen(words[1]);
        std::wstring caption = words.size() == 4 ? Widen(words[3]) : L"";
        bool found = std::any_of(boxes.begin(), boxes.end(), [&](const auto& b) {
            return Contains(b.text, text) && (words.size() != 4 || b.caption == caption);
        });
        if (found != negated)
            return "";
        std::string seen = negated ? "such a box was shown" : "no such box; the boxes shown:";
        for (const auto& b : boxes)
            seen += "\n      \"" + Narrow(b.caption) + "\": \"" + Narrow(b.text) + "\"";
        return boxes.empty() && !negated ? "no message box was shown" : seen;
    }

    std::string ExpectThreads(const std::vector<std::string>& words, bool negated) {
        auto threads = platform::host::ListThreads();
        if (words[0] == "threads")
            return std::to_string(threads.size()) == words[1]
                       ? ""
                       : std::to_string(threads.size()) + " thread(s) are alive";
        std::wstring name = Widen(words[2]);
        bool found = std::any_of(threads.begin(), threads.end(), [&](const auto& t) {
            return std::find(t.waitingOn.begin(), t.waitingOn.end(), name) != t.waitingOn.end();
        });
        if (found != negated)
            return "";
        std::string seen = negated ? "a thread waits on it" : "no thread waits on it;";
        seen += " " + std::to_string(threads.size()) + " thread(s) alive";
        for (const auto& t : threads) {
            seen +=
                "\n      thread " + std::to_string(t.id) + (t.waiting ? " waiting on" : " running");
            for (const auto& n : t.waitingOn)
                seen += " \"" + Narrow(n) + "\"";
        }
        return seen;
    }

    std::string ExpectFile(const std::vector<std::string>& words, bool negated) {
        auto files = MatchFiles(Widen(words[1]));
        if (files.empty() != negated)
            return negated ? "found " + Narrow(files.front()) : "no such file";
        return "";
    }

    // A mail file named by a scenario: looked for beside the scenario, then
    // from the current folder.
    bool ReadMailFile(const std::string& file, mailstore::Bytes& bytes, std::string& message) {
        std::filesystem::path path = file;
        if (path.is_relative() && !options_.directory.empty() &&
            std::filesystem::exists(options_.directory / path))
            path = options_.directory / path;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            message = file + " cannot be read";
            return false;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return true;
    }

    // train spam|good FILE...: the user's votes, taught to the filter core.
    bool Train(const std::vector<std::string>& words, std::string& message) {
        const LONG vote = words[0] == "spam" ? kSpamVote : kGoodVote;
        for (auto file = words.begin() + 1; file != words.end(); ++file) {
            mailstore::Bytes bytes;
            if (!ReadMailFile(*file, bytes, message))
                return false;
            std::string error;
            if (!trainer_.Vote(bytes, vote, error)) {
                message = *file + ": " + error;
                return false;
            }
        }
        return true;
    }

    // deliver FILE... [to FOLDER-PATH] [size N] [burst] [deleted]
    bool Deliver(const std::vector<std::string>& words, std::string& message) {
        const DeliverLine line = *ParseDeliverLine(words);
        auto folder = line.folder ? FindFolderByPath(*line.folder) : DefaultInbox();
        if (!folder) {
            message = line.folder ? "no folder " + *line.folder
                                  : "the profile has no store with an Inbox";
            return false;
        }
        DeliveryOptions options;
        options.pump = !line.burst;
        options.deleteBeforePump = line.deleted;
        for (const std::string& file : line.files) {
            mailstore::Bytes bytes;
            if (!ReadMailFile(file, bytes, message))
                return false;
            if (line.size && !PadMessage(bytes, *line.size, message)) {
                message = file + ": " + message;
                return false;
            }
            std::string error;
            if (!process_.DeliverMail(folder, bytes, error, options)) {
                message = file + " was refused: " + error;
                return false;
            }
            if (process_.crash())
                return true;
        }
        if (line.burst)
            process_.Guarded("deliver", [&] { process_.Pump(); });
        return true;
    }

    // folder create|delete FOLDER-PATH: the user's own folders.
    bool CreateFolder(const std::string& path, std::string& message) {
        const auto slash = path.rfind('/');
        auto parent = slash == std::string::npos ? DefaultTopFolder()
                                                 : FindFolderByPath(path.substr(0, slash));
        if (!parent) {
            message = "no folder to create " + path + " in";
            return false;
        }
        try {
            parent->CreateSubfolder(Widen(path.substr(slash == std::string::npos ? 0 : slash + 1)));
        } catch (const mailstore::StoreError& error) {
            message = error.what();
            return false;
        }
        process_.Pump();
        return true;
    }

    // Deleted for good, as with Shift+Delete: not kept in Deleted Items.
    bool DeleteFolder(const std::string& path, std::string& message) {
        auto folder = FindFolderByPath(path);
        if (!folder || !folder->Parent()) {
            message = "no folder " + path + " to delete";
            return false;
        }
        folder->Delete();
        process_.Pump();
        return true;
    }

    // mailprofile NAME: the profile Outlook logs on to from the next start.
    bool SwitchMailProfile(const std::wstring& name, std::string& message) {
        if (process_.started()) {
            message = "Outlook is running: 'quit' first";
            return false;
        }
        UseMailProfile(name);
        if (!WriteRegistryString(kMailProfilesKey, L"DefaultProfile", name)) {
            message = "could not write the default mail profile";
            return false;
        }
        return true;
    }

    std::string ExpectFolder(const std::vector<std::string>& words) {
        auto folder = FindFolderByPath(words[1]);
        const std::string& test = words[2];
        if (test == "absent")
            return folder ? "the folder exists" : "";
        if (!folder)
            return "no such folder; " + FolderList();
        if (test == "exists")
            return "";
        size_t count =
            test == "count" ? folder->Messages().size() : folder->HiddenMessages().size();
        return std::to_string(count) == words[3]
                   ? ""
                   : "the folder holds " + std::to_string(count) +
                         (test == "count" ? " item(s)" : " hidden item(s)");
    }

    std::string ExpectItem(const std::vector<std::string>& words, bool negated) {
        auto folder = FindFolderByPath(words[1]);
        if (!folder)
            return "no such folder; " + FolderList();
        mailstore::MessagePtr item;
        std::string subjects;
        for (const auto& candidate : folder->Messages()) {
            if (Narrow(candidate->Subject()) == words[2] && !item)
                item = candidate;
            subjects +=
                "\n      \"" + Narrow(candidate->Subject()) + "\" (" + candidate->Class() + ")";
        }
        if (negated)
            return item ? "the folder holds it" : "";
        if (!item)
            return "no item with that subject; the folder holds:" +
                   (subjects.empty() ? std::string(" nothing") : subjects);
        if (words.size() == 3)
            return "";
        const std::string& test = words[3];
        if (test == "class")
            return item->Class() == words[4] ? "" : "its class is " + item->Class();
        if (test == "read" || test == "unread")
            return item->IsRead() == (test == "read")
                       ? ""
                       : std::string("the item is ") + (item->IsRead() ? "read" : "unread");
        auto value = item->Get(*ParsePropTag(words[4]));
        if (!value)
            return "the item has no property " + words[4];
        std::string text = PropertyText(*value);
        return text == words[5] ? "" : "found \"" + text + "\"";
    }

    // Every folder of every store, for a report.
    static std::string FolderList() {
        std::string list = "the folders are:";
        auto profile = mailstore::Model::Process().CurrentProfile();
        std::function<void(const mailstore::FolderPtr&, const std::string&)> walk =
            [&](const mailstore::FolderPtr& folder, const std::string& path) {
                list += "\n      " + path;
                for (const auto& child : folder->Subfolders())
                    walk(child, path + "/" + Narrow(child->Name()));
            };
        for (const auto& store : profile ? profile->Stores() : std::vector<mailstore::StorePtr>{})
            walk(store->IpmSubtree(), Narrow(store->DisplayName()));
        return list;
    }

    const RunOptions options_;
    std::ostream& report_;
    OutlookProcess& process_;
    // Released before Outlook's process goes, so the core can be unloaded.
    CoreTrainer trainer_;
    int failures_ = 0;
};

}  // namespace

class StepRunner::Steps : public ScenarioSteps {
  public:
    using ScenarioSteps::ScenarioSteps;
};

StepRunner::StepRunner(OutlookProcess& process, const RunOptions& options, std::ostream& report)
    : steps_(std::make_unique<Steps>(process, options, report)) {}

StepRunner::~StepRunner() = default;

bool StepRunner::Run(const Step& step) {
    return steps_->RunStep(step);
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
    ScenarioSteps run(process, options, report);
    for (const auto& step : scenario.steps)
        run.RunStep(step);
    return run.Finish();
}

}  // namespace olsim
