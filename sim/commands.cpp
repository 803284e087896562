// The commands of the scenario language: what the user, the mail server and
// the network do to Outlook's process, one row each.
#include <outlook_host.h>
#include <platform/windows.h>

#include <chrono>
#include <cstdlib>
#include <map>

#include "mail.h"
#include "outlook_process.h"
#include "progress_window.h"
#include "registry_access.h"
#include "run_context.h"
#include "text.h"
#include "call_commands.h"
#include "toolbar_commands.h"
#include "verbs.h"
#include "world_commands.h"

namespace olsim {
namespace {

using words::Count;
using words::Expected;
using words::Number;
using words::ParseNumber;

// --- Checks ------------------------------------------------------------------

void NoWords(const Step& step) {
    Count(step, 0, 0, step.verb);
}

void ExplorerNumber(const Step& step) {
    Count(step, 1, 1, step.verb + " N");
    Number(step, 0, "the explorer's number");
}

void CheckOpen(const Step& step) {
    Count(step, 0, 2, "open [CAPTION [noactivate]]");
    if (step.words.size() == 2 && step.words[1] != "noactivate")
        Expected(step, "open [CAPTION [noactivate]]");
}

void CheckAnswer(const Step& step) {
    Count(step, 1, 1, "answer ok|cancel|yes|no|retry|ignore|abort|N");
}

void CheckState(const Step& step) {
    Count(step, 1, 1, "state FILE");
}

void CheckAdvance(const Step& step) {
    Count(step, 1, 1, "advance DURATION");
    if (!ParseDuration(step.words[0]))
        throw ParseError(step.line,
                         "bad duration '" + step.words[0] + "' (use e.g. 500ms, 10s, 30m, 2h)");
}

void CheckDeliver(const Step& step) {
    if (!ParseDeliverLine(step.words))
        Expected(step, "deliver FILE... [to FOLDER-PATH] [size N] [burst] [deleted]");
}

void CheckMailProfile(const Step& step) {
    Count(step, 1, 1, "mailprofile NAME");
}

void CheckTrain(const Step& step) {
    if (step.words.size() < 2 || (step.words[0] != "spam" && step.words[0] != "good"))
        Expected(step, "train spam|good FILE...");
}

bool IsHttpStatus(const std::string& text) {
    const auto status = ParseNumber(text);
    return status && *status >= 100 && *status <= 599;
}

void CheckService(const Step& step) {
    const auto& w = step.words;
    const bool valid = (w.size() == 1 && (w[0] == "down" || w[0] == "up")) ||
                       (w.size() == 3 && w[0] == "down" && w[1] == "after" && w[2] == "logon") ||
                       (w.size() == 2 && w[0] == "delay" && ParseDuration(w[1])) ||
                       (w.size() == 3 && w[0] == "value") || (w.size() == 2 && w[0] == "remove") ||
                       ((w.size() == 3 || w.size() == 4) && w[0] == "page" && !w[1].empty() &&
                        w[1][0] == '/' && IsHttpStatus(w[2]));
    if (!valid)
        Expected(step,
                 "service down | up | down after logon | delay DURATION | value KEY TEXT | "
                 "remove KEY | page /PATH STATUS [TEXT]");
}

void CheckPicker(const Step& step) {
    const auto& w = step.words;
    if (!((w.size() == 2 && w[0] == "choose") || (w.size() == 1 && w[0] == "cancel")))
        Expected(step, "picker choose FOLDER-PATH | picker cancel");
}

void CheckExpect(const Step& step) {
    std::vector<std::string> words = step.words;
    const bool negated = !words.empty() && words[0] == "no";
    if (negated)
        words.erase(words.begin());
    if (words.empty())
        throw ParseError(step.line, "'expect' needs what to expect");
    const Expectation* expectation = FindExpectation(words[0]);
    if (!expectation)
        throw ParseError(step.line, "unknown expectation '" + words[0] + "'");
    expectation->check(step, words, negated);
}

// --- Carrying out --------------------------------------------------------------

int AnswerCode(const std::string& answer) {
    static const std::map<std::string, int> answers{
        {"ok", IDOK},         {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
        {"ignore", IDIGNORE}, {"yes", IDYES},       {"no", IDNO}};
    auto found = answers.find(answer);
    return found != answers.end() ? found->second : std::atoi(answer.c_str());
}

// A message when `ok` is false, else empty.
std::string Outcome(bool ok, const std::string& message) {
    return ok ? "" : message;
}

std::string Install(RunContext& run, const Step&) {
    std::vector<std::string> done;
    std::string message;
    return Outcome(run.process.Install(done, message), "installation failed: " + message);
}

std::string Start(RunContext& run, const Step& step) {
    std::string message;
    const bool ok = run.process.Start(message);
    if (ok && !run.process.crash() && run.process.addinCount() == 0)
        run.report << "line " << step.line << ": note: " << message << "\n";
    return Outcome(ok, message);
}

std::string Quit(RunContext& run, const Step&) {
    std::string message;
    return Outcome(run.process.Quit(message), message);
}

std::string Open(RunContext& run, const Step& step) {
    std::string message;
    const std::wstring caption =
        step.words.empty() ? L"Inbox - Microsoft Outlook" : Widen(step.words[0]);
    const bool activate = step.words.size() < 2;
    return Outcome(run.process.OpenExplorer(caption, message, activate), message);
}

std::string Activate(RunContext& run, const Step& step) {
    std::string message;
    return Outcome(run.process.ActivateExplorer(std::stoi(step.words[0]), message), message);
}

std::string Select(RunContext& run, const Step& step) {
    std::string message;
    return Outcome(run.process.ChangeSelection(std::stoi(step.words[0]), message), message);
}

std::string Close(RunContext& run, const Step& step) {
    std::string message;
    return Outcome(run.process.CloseExplorer(std::stoi(step.words[0]), message), message);
}

std::string Answer(RunContext&, const Step& step) {
    platform::host::QueueMessageBoxAnswer(AnswerCode(step.words[0]));
    return "";
}

std::string Advance(RunContext& run, const Step& step) {
    run.process.Advance(*ParseDuration(step.words[0]));
    return "";
}

std::string State(RunContext& run, const Step& step) {
    return run.WriteState(step.words[0]);
}

// deliver FILE... [to FOLDER-PATH] [size N] [burst] [deleted]
std::string Deliver(RunContext& run, const Step& step) {
    const DeliverLine line = *ParseDeliverLine(step.words);
    auto folder = line.folder ? FindFolderByPath(*line.folder) : DefaultInbox();
    if (!folder)
        return line.folder ? "no folder " + *line.folder : "the profile has no store with an Inbox";
    DeliveryOptions options;
    options.pump = !line.burst;
    options.deleteBeforePump = line.deleted;
    for (const std::string& file : line.files) {
        mailstore::Bytes bytes;
        std::string message;
        if (!run.ReadScenarioFile(file, bytes, message))
            return message;
        if (line.size && !PadMessage(bytes, *line.size, message))
            return file + ": " + message;
        std::string error;
        if (!run.process.DeliverMail(folder, bytes, error, options))
            return file + " was refused: " + error;
        if (!line.deleted)
            run.delivered.Record(bytes, false, file);
        if (run.process.crash())
            return "";
    }
    if (line.burst)
        run.process.Guarded("deliver", [&] { run.process.Pump(); });
    return "";
}

// train spam|good FILE...: the user's votes, taught to the filter core.
std::string Train(RunContext& run, const Step& step) {
    const LONG vote = step.words[0] == "spam" ? kSpamVote : kGoodVote;
    for (auto file = step.words.begin() + 1; file != step.words.end(); ++file) {
        mailstore::Bytes bytes;
        std::string message;
        if (!run.ReadScenarioFile(*file, bytes, message))
            return message;
        std::string error;
        if (!run.trainer.Vote(bytes, vote, error))
            return *file + ": " + error;
    }
    return "";
}

// mailprofile NAME: the profile Outlook logs on to from the next start.
std::string MailProfile(RunContext& run, const Step& step) {
    if (run.process.started())
        return "Outlook is running: 'quit' first";
    const std::wstring name = Widen(step.words[0]);
    UseMailProfile(name);
    if (!WriteRegistryString(kMailProfilesKey, L"DefaultProfile", name))
        return "could not write the default mail profile";
    return "";
}

// The service's controls work before and after the start; they need the
// service that the installation starts.
std::string Service(RunContext& run, const Step& step) {
    SimService* service = run.process.service();
    if (!service)
        return "the filter service starts with the installation: 'install' first";
    const auto& w = step.words;
    bool done = false;
    if (w[0] == "down" && w.size() == 3)
        done = service->NetworkDownAfterNextLogOn();
    else if (w[0] == "down" || w[0] == "up")
        done = service->SetNetworkDown(w[0] == "down");
    else if (w[0] == "delay")
        done = service->SetDelay(std::chrono::milliseconds(*ParseDuration(w[1])));
    else if (w[0] == "value")
        done = service->SetValue(w[1], w[2]);
    else if (w[0] == "remove")
        done = service->SetValue(w[1], std::nullopt);
    else if (w[0] == "page")
        done = service->SetPage(w[1], std::stoi(w[2]), w.size() > 3 ? w[3] : "");
    return Outcome(done, "the run has no filter service (profile service absent)");
}

// The user's answer to the next folder pickers; a folder is chosen by path.
std::string Picker(RunContext&, const Step& step) {
    if (step.words[0] == "cancel") {
        outlook::host::SetFolderPickerChoice(std::nullopt);
        return "";
    }
    const mailstore::FolderPtr folder = FindFolderByPath(step.words[1]);
    if (!folder)
        return "no folder " + step.words[1];
    outlook::host::SetFolderPickerChoice(folder->Id());
    return "";
}

std::string Expect(RunContext& run, const Step& step) {
    std::vector<std::string> words = step.words;
    const bool negated = words[0] == "no";
    if (negated)
        words.erase(words.begin());
    return FindExpectation(words[0])->evaluate(run, words, negated);
}

const Command kCommands[] = {
    {"install", "install", NoWords, Install, false},
    {"start", "start", NoWords, Start, true},
    {"quit", "quit", NoWords, Quit, true},
    {"open", "open [CAPTION [noactivate]]", CheckOpen, Open, true},
    {"activate", "activate N", ExplorerNumber, Activate, true},
    {"select", "select N", ExplorerNumber, Select, true},
    {"close", "close N", ExplorerNumber, Close, true},
    {"click", "click N BAR/CAPTION/... | click N tag:TEXT", CheckClick, Click, true},
    {"move", "move toolbar N [bar NAME] row R left X top Y", CheckMoveToolbar, MoveToolbar, true},
    {"logo", "logo click N", CheckLogoClick, LogoClick, true},
    {"answer", "answer ok|cancel|abort|retry|ignore|yes|no|N", CheckAnswer, Answer, false},
    {"fail", "fail OBJECT.MEMBER [HRESULT] [times N|always] [after N]", CheckFail, Fail, false},
    {"fault", "fault OBJECT.MEMBER [after N]", CheckFault, Fault, false},
    {"advance", "advance DURATION", CheckAdvance, Advance, true},
    {"state", "state FILE", CheckState, State, false},
    {"deliver", "deliver FILE... [to FOLDER-PATH] [size N] [burst] [deleted]", CheckDeliver,
     Deliver, true},
    {"train", "train spam|good FILE...", CheckTrain, Train, true},
    {"folder",
     "folder create|delete FOLDER-PATH\nfolder rename FOLDER-PATH NAME\n"
     "folder move FOLDER-PATH TO-FOLDER-PATH",
     CheckFolderChange, ChangeFolder, true},
    {"item",
     "item delete|read|unread FOLDER-PATH SUBJECT\nitem move FOLDER-PATH SUBJECT TO-FOLDER-PATH",
     CheckItemChange, ChangeItem, true},
    {"registry",
     "registry set KEY NAME dword N | sz TEXT | multi TEXT... | binary HEX | date TIME\n"
     "registry delete KEY [NAME]",
     CheckRegistryChange, ChangeRegistry, false},
    {"file", "file write PATH TEXT | file write PATH from FILE\nfile delete PATH", CheckFileChange,
     ChangeFile, false},
    {"mailprofile", "mailprofile NAME", CheckMailProfile, MailProfile, true},
    {"service",
     "service down | up | down after logon\n"
     "service delay DURATION\n"
     "service value KEY TEXT | remove KEY\n"
     "service page /PATH STATUS [TEXT]",
     CheckService, Service, false},
    {"picker", "picker choose FOLDER-PATH | picker cancel", CheckPicker, Picker, false},
    {"progress", "progress stop|close", CheckProgressCommand, PressProgressButton, true},
    {"expect", "expect [no] WHAT ... (see the expectations)", CheckExpect, Expect, false},
};

}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

}  // namespace olsim
