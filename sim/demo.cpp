#include "demo.h"

#include <platform/filesystem.h>
#include <platform/root.h>
#include <platform/threads.h>
#include <platform/windows.h>

#include <map>

#include "observations.h"
#include "outlook_process.h"
#include "registry_access.h"
#include "runner.h"
#include "text.h"

namespace olsim {
namespace {

const char kDefaultScenario[] = R"(# The demo's scenario: the default profile with one explorer.
install
start
advance 30s
quit
)";

// What the log gained since `from` lines: the traced operations by name and
// every line that is not an Enter or Exit.
void SummariseLog(std::ostream& out, const std::vector<LogLine>& log, size_t from) {
    std::map<std::string, int> entered;
    std::vector<std::string> others;
    for (size_t i = from; i < log.size(); ++i) {
        const std::string& text = log[i].text;
        if (text.rfind("----> ", 0) == 0)
            ++entered[text.substr(6, text.rfind(" - ") - 6)];
        else if (text.rfind("<---- ", 0) != 0)
            others.push_back(text);
    }
    out << "  " << (log.size() - from) << " log lines; operations entered:";
    for (const auto& [name, count] : entered)
        out << "\n    " << name << (count > 1 ? " (x" + std::to_string(count) + ")" : "");
    if (entered.empty())
        out << " none";
    out << "\n  other lines:";
    for (const auto& line : others)
        out << "\n    " << line;
    if (others.empty())
        out << " none";
    out << "\n";
}

void PrintWindowsAndThreads(std::ostream& out) {
    out << "  top-level windows:\n";
    for (const auto& w : platform::host::ListWindows())
        if (!w.parent)
            out << "    [" << Narrow(w.className) << "] \"" << Narrow(w.text) << "\""
                << ((w.style & WS_VISIBLE) ? "" : " (hidden)") << "\n";
    auto threads = platform::host::ListThreads();
    out << "  worker threads alive: " << threads.size() << "\n";
    for (const auto& t : threads) {
        out << "    thread " << t.id << (t.waiting ? " waiting on" : " running");
        for (const auto& name : t.waitingOn)
            out << " \"" << Narrow(name) << "\"";
        out << "\n";
    }
    for (const auto& box : platform::host::MessageBoxes())
        out << "  message box \"" << Narrow(box.caption) << "\": \"" << Narrow(box.text)
            << "\" (answered " << box.answer << ")\n";
}

void PrintRegistry(std::ostream& out) {
    for (const wchar_t* key : {L"HKLM\\Software\\Brevint", L"HKCU\\Software\\Brevint"})
        for (const auto& value : ReadRegistryTree(key))
            out << "    " << Narrow(value.key) << "  " << Narrow(value.name) << " = "
                << Narrow(value.Display()) << "\n";
}

}  // namespace

bool RunDemo(std::ostream& out, bool& crashed) {
    Scenario scenario = ParseScenario(kDefaultScenario);
    PrepareProcess(scenario.profile);
    out << "olsim demo: Outlook " << Narrow(scenario.profile.version) << " with "
        << scenario.profile.explorers.size() << " explorer, on virtual time, in the root "
        << platform::host::Root().string() << "\n\n";
    OutlookProcess process(scenario.profile);

    out << "Install:\n";
    std::vector<std::string> done;
    std::string message;
    bool installed = process.Install(done, message);
    for (const auto& line : done)
        out << "  " << line << "\n";
    if (!installed) {
        out << "  installation failed: " << message << "\n";
        return false;
    }

    size_t logBefore = ReadLog().size();
    out << "\nStart (OnConnection):\n";
    bool ok = process.Start(message);
    out << "  " << (message.empty() ? "started" : message) << "\n";
    SummariseLog(out, ReadLog(), logBefore);
    PrintWindowsAndThreads(out);

    logBefore = ReadLog().size();
    out << "\n30 seconds pass:\n";
    if (!process.crash())
        process.Advance(30000);
    SummariseLog(out, ReadLog(), logBefore);

    logBefore = ReadLog().size();
    out << "\nQuit (OnDisconnection):\n";
    if (!process.crash())
        ok = process.Quit(message) && ok;
    SummariseLog(out, ReadLog(), logBefore);
    PrintWindowsAndThreads(out);

    out << "\nRegistry under Software\\Brevint afterwards:\n";
    PrintRegistry(out);
    out << "\nThe log: " << Narrow(LogFilePath()) << "\n    (on this machine "
        << platform::host::HostPathFromWindows(LogFilePath()).string() << ")\n";
    crashed = process.crash().has_value();
    if (crashed) {
        out << process.crash()->Describe() << "\n";
        return false;
    }
    return ok;
}

}  // namespace olsim
