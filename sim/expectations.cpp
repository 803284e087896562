// The expectations of the scenario language: what a scenario can look at in
// Outlook's process (the log, the registry, windows, message boxes, threads,
// files, folders and items, the service's requests, a crash), one row each.
// Each says what it found when it does not hold.
#include <platform/call_faults.h>
#include <platform/threads.h>
#include <platform/windows.h>

#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <sstream>

#include "mail.h"
#include "observations.h"
#include "outlook_process.h"
#include "progress_window.h"
#include "registry_access.h"
#include "run_context.h"
#include "text.h"
#include "toolbar_expectations.h"
#include "verbs.h"
#include "window_expectations.h"

namespace olsim {
namespace {

using words::ParseNumber;
using Words = std::vector<std::string>;

// --- Checks ------------------------------------------------------------------

void Need(const Step& step, const Words& words, size_t least, size_t most,
          const std::string& form) {
    if (words.size() < least || words.size() > most)
        throw ParseError(step.line, "expected: expect " + form);
}

void CheckLog(const Step& step, const Words& words, bool negated) {
    if (words.size() >= 2 && words[1] == "order" && !negated) {
        Need(step, words, 4, 1000, "log order TEXT TEXT ...");
    } else if (words.size() == 2 && words[1] == "nested" && !negated) {
        Need(step, words, 2, 2, "log nested");
    } else if (words.size() >= 2 && words[1] == "count" && !negated) {
        Need(step, words, 4, 4, "log count TEXT N");
        if (!ParseNumber(words[3]))
            throw ParseError(step.line, "log count needs a number");
    } else {
        Need(step, words, 2, 2, "[no] log TEXT");
    }
}

void CheckRegistry(const Step& step, const Words& words, bool negated) {
    if (negated) {
        Need(step, words, 3, 3, "no registry KEY NAME");
        return;
    }
    Need(step, words, 4, 5, "registry KEY NAME dword N | sz TEXT | date TIME | exists");
    const std::string& type = words[3];
    if (type == "exists")
        Need(step, words, 4, 4, "registry KEY NAME exists");
    else if (type == "dword" && words.size() == 5 && ParseNumber(words[4]))
        ;
    else if ((type != "sz" && type != "date") || words.size() != 5)
        throw ParseError(step.line,
                         "registry expectation must end in 'dword N', 'sz TEXT', 'date TIME' or "
                         "'exists'");
}

void CheckMessageBox(const Step& step, const Words& words, bool) {
    if (words.size() >= 2 && words[1] == "count") {
        Need(step, words, 3, 3, "messagebox count N");
        if (!ParseNumber(words[2]))
            throw ParseError(step.line, "messagebox count needs a number");
        return;
    }
    Need(step, words, 2, 4, "[no] messagebox TEXT [caption CAPTION]");
    if (words.size() != 2 && (words.size() != 4 || words[2] != "caption"))
        throw ParseError(step.line, "expected: expect messagebox TEXT [caption CAPTION]");
}

void CheckThread(const Step& step, const Words& words, bool) {
    Need(step, words, 3, 3, "[no] thread waiting NAME");
    if (words[1] != "waiting")
        throw ParseError(step.line, "expected: expect [no] thread waiting NAME");
}

void CheckThreads(const Step& step, const Words& words, bool negated) {
    Need(step, words, 2, 2, "threads N");
    if (negated || !ParseNumber(words[1]))
        throw ParseError(step.line, "expected: expect threads N");
}

void CheckFile(const Step& step, const Words& words, bool) {
    Need(step, words, 2, 2, "[no] file PATH");
}

void CheckFolder(const Step& step, const Words& words, bool negated) {
    if (negated)
        throw ParseError(step.line, "expected: expect folder PATH exists|absent");
    Need(step, words, 3, 4, "folder PATH count N | hidden N | exists | absent");
    const std::string& test = words[2];
    if ((test == "count" || test == "hidden") && words.size() == 4 && ParseNumber(words[3]))
        return;
    if ((test != "exists" && test != "absent") || words.size() != 3)
        throw ParseError(step.line,
                         "expected: expect folder PATH count N | hidden N | exists | absent");
}

void CheckItem(const Step& step, const Words& words, bool negated) {
    Need(step, words, 3, 6, "[no] item PATH SUBJECT [class C | read | unread | prop 0xTAG VALUE]");
    const std::string test = words.size() > 3 ? words[3] : "";
    const bool fits = (words.size() == 3) || (words.size() == 5 && test == "class") ||
                      (words.size() == 4 && (test == "read" || test == "unread")) ||
                      (words.size() == 6 && test == "prop" && ParsePropTag(words[4]));
    if (!fits || (negated && words.size() != 3))
        throw ParseError(step.line,
                         "expected: expect item PATH SUBJECT [class C | read | unread | prop "
                         "0xTAG VALUE], or expect no item PATH SUBJECT");
}

void CheckService(const Step& step, const Words& words, bool negated) {
    Need(step, words, 4, 4, "service requests PATH N");
    if (negated || words[1] != "requests" || !ParseNumber(words[3]))
        throw ParseError(step.line, "expected: expect service requests PATH N");
}

void CheckDelivered(const Step& step, const Words& words, bool negated) {
    if (negated || words.size() != 2 || words[1] != "once")
        throw ParseError(step.line, "expected: expect delivered once");
}

void CheckCalls(const Step& step, const Words& words, bool negated) {
    if (negated || words.size() != 3 || !ParseNumber(words[2]))
        throw ParseError(step.line, "expected: expect calls OBJECT.MEMBER N");
}

void CheckCrash(const Step& step, const Words& words, bool) {
    Need(step, words, 1, 1, "crashed | expect no crash");
}

// --- Evaluation ----------------------------------------------------------------

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

std::set<std::string> WordSet(const std::string& text) {
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
    auto wanted = WordSet(text);
    std::vector<std::pair<size_t, size_t>> scored;  // shared words, index
    for (size_t i = 0; i < log.size(); ++i) {
        size_t shared = 0;
        for (const auto& word : WordSet(log[i].text))
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

std::string LogInOrder(const std::vector<LogLine>& log, const Words& words) {
    size_t from = 0;
    for (size_t k = 2; k < words.size(); ++k) {
        auto found = std::find_if(log.begin() + from, log.end(),
                                  [&](const LogLine& l) { return Contains(l.text, words[k]); });
        if (found == log.end())
            return "'" + words[k] + "' not found" +
                   (k > 2 ? " after '" + words[k - 1] + "' (log line " + std::to_string(from) + ")"
                          : std::string()) +
                   "; " + NearestLogLines(log, words[k]);
        from = static_cast<size_t>(found - log.begin()) + 1;
    }
    return "";
}

// Every Enter line is closed by the Exit line of the same operation, the
// innermost first. Lines of other threads would interleave: meaningful
// while only Outlook's thread writes traces.
std::string NestedTraces(const std::vector<LogLine>& log) {
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

std::string ExpectLog(RunContext&, const Words& words, bool negated) {
    const auto log = ReadLog();
    if (words[1] == "order" && !negated)
        return LogInOrder(log, words);
    if (words.size() == 2 && words[1] == "nested" && !negated)
        return NestedTraces(log);
    if (words[1] == "count" && !negated) {
        auto count = std::count_if(log.begin(), log.end(),
                                   [&](const LogLine& l) { return Contains(l.text, words[2]); });
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

// A date as the add-in stores one: the 8 bytes of an OLE automation date,
// compared to the second as "YYYY-MM-DD HH:MM:SS".
std::string ExpectDate(const RegistryValue& value, const std::string& wanted) {
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

std::string ExpectRegistry(RunContext&, const Words& words, bool negated) {
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
    return Narrow(value->Display()) == words[4] ? "" : "found \"" + Narrow(value->Display()) + "\"";
}

std::string ExpectMessageBox(RunContext&, const Words& words, bool negated) {
    auto boxes = platform::host::MessageBoxes();
    if (words[1] == "count")
        return std::to_string(boxes.size()) == words[2]
                   ? ""
                   : std::to_string(boxes.size()) + " message box(es) were shown";
    const std::wstring text = Widen(words[1]);
    const std::wstring caption = words.size() == 4 ? Widen(words[3]) : L"";
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

std::string ExpectThreadCount(RunContext&, const Words& words, bool) {
    const auto threads = platform::host::ListThreads();
    return std::to_string(threads.size()) == words[1]
               ? ""
               : std::to_string(threads.size()) + " thread(s) are alive";
}

std::string ExpectThreadWaiting(RunContext&, const Words& words, bool negated) {
    const auto threads = platform::host::ListThreads();
    const std::wstring name = Widen(words[2]);
    bool found = std::any_of(threads.begin(), threads.end(), [&](const auto& t) {
        return std::find(t.waitingOn.begin(), t.waitingOn.end(), name) != t.waitingOn.end();
    });
    if (found != negated)
        return "";
    std::string seen = negated ? "a thread waits on it" : "no thread waits on it;";
    seen += " " + std::to_string(threads.size()) + " thread(s) alive";
    for (const auto& t : threads) {
        seen += "\n      thread " + std::to_string(t.id) + (t.waiting ? " waiting on" : " running");
        for (const auto& n : t.waitingOn)
            seen += " \"" + Narrow(n) + "\"";
    }
    return seen;
}

std::string ExpectFile(RunContext&, const Words& words, bool negated) {
    auto files = MatchFiles(Widen(words[1]));
    if (files.empty() != negated)
        return negated ? "found " + Narrow(files.front()) : "no such file";
    return "";
}

// Every folder of every store, for a report.
std::string FolderList() {
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

std::string ExpectFolder(RunContext&, const Words& words, bool) {
    auto folder = FindFolderByPath(words[1]);
    const std::string& test = words[2];
    if (test == "absent")
        return folder ? "the folder exists" : "";
    if (!folder)
        return "no such folder; " + FolderList();
    if (test == "exists")
        return "";
    size_t count = test == "count" ? folder->Messages().size() : folder->HiddenMessages().size();
    return std::to_string(count) == words[3]
               ? ""
               : "the folder holds " + std::to_string(count) +
                     (test == "count" ? " item(s)" : " hidden item(s)");
}

std::string ExpectItem(RunContext&, const Words& words, bool negated) {
    auto folder = FindFolderByPath(words[1]);
    if (!folder)
        return "no such folder; " + FolderList();
    mailstore::MessagePtr item;
    std::string subjects;
    for (const auto& candidate : folder->Messages()) {
        if (Narrow(candidate->Subject()) == words[2] && !item)
            item = candidate;
        subjects += "\n      \"" + Narrow(candidate->Subject()) + "\" (" + candidate->Class() + ")";
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

std::string ExpectServiceRequests(RunContext& run, const Words& words, bool) {
    SimService* service = run.process.service();
    const size_t count = service ? service->CountOf(words[2]) : 0;
    if (std::to_string(count) == words[3])
        return "";
    return "found " + std::to_string(count) + " request(s) for " + words[2] + "; " +
           (service ? service->ServedPaths() : "no service was started");
}

// No mail lost, none doubled: each message the run delivered (and did not
// delete itself) is in exactly one folder, wherever the add-in put it.
std::string ExpectDeliveredOnce(RunContext& run, const Words&, bool) {
    const Census census = run.delivered.Take();
    if (census.EveryMessageOnce())
        return "";
    std::string found = "of " + std::to_string(census.delivered) + " delivered messages";
    for (const auto& name : census.missing)
        found += "\n      missing: " + name;
    for (const auto& name : census.duplicated)
        found += "\n      more than once: " + name;
    return found;
}

// How often the add-in called a member of the world since Outlook started
// (made-to-fail calls included).
std::string ExpectCalls(RunContext&, const Words& words, bool) {
    const std::wstring member = Widen(words[1]);
    std::uint64_t calls = 0;
    for (const auto& counted : platform::calls::Census()) {
        if (SameName(counted.member, member))
            calls = counted.calls;
    }
    return std::to_string(calls) == words[2]
               ? ""
               : words[1] + " was called " + std::to_string(calls) + " time(s)";
}

std::string ExpectCrash(RunContext& run, const Words&, bool negated) {
    const auto& crash = run.process.crash();
    if (negated)
        return crash ? crash->Describe() : "";
    return crash ? "" : "Outlook did not crash";
}

const Expectation kExpectations[] = {
    {"bar",
     "expect [no] bar N NAME [visible|hidden] [position P] [row R] [left X] [top Y] "
     "[protection P]",
     CheckBarExpectation, ExpectBar},
    {"bars", "expect bars N COUNT", CheckBarsExpectation, ExpectBars},
    {"control",
     "expect [no] control N BAR/CAPTION/... [enabled|disabled|visible|hidden] [type button|popup]"
     " [caption TEXT] [tooltip TEXT] [tag TEXT] [style N] [width N] [priority N] [group yes|no]"
     " [image FILE|none]",
     CheckControlExpectation, ExpectControl},
    {"controls",
     "expect controls N BAR/CAPTION/... order CAPTION...\n"
     "expect controls N BAR/CAPTION/... count N",
     CheckControlsExpectation, ExpectControls},
    {"log",
     "expect [no] log TEXT\n"
     "expect log order TEXT TEXT ...\n"
     "expect log count TEXT N\n"
     "expect log nested",
     CheckLog, ExpectLog},
    {"registry",
     "expect registry KEY NAME dword N | sz TEXT | date TIME | exists\n"
     "expect no registry KEY NAME",
     CheckRegistry, ExpectRegistry},
    {"window",
     "expect [no] window TITLE [class CLASS]\n"
     "expect [no] window child PARENT-TITLE CLASS [explorer N] [count N] [visible|hidden] "
     "[title TEXT] [style HEX] [exstyle HEX] [at X Y] [size W H] [bitmap FILE|none]",
     CheckWindowExpectation, ExpectWindow},
    {"clipboard",
     "expect clipboard empty\n"
     "expect [no] clipboard bitmap [FILE]",
     CheckClipboardExpectation, ExpectClipboard},
    {"progress",
     "expect [no] progress\n"
     "expect progress shown|hidden\n"
     "expect progress title TEXT\n"
     "expect progress text ID TEXT\n"
     "expect progress counts FOLDER LEFT SPAM\n"
     "expect progress range LOW HIGH\n"
     "expect progress position N\n"
     "expect progress stop enabled|disabled",
     CheckProgressExpectation, ExpectProgress},
    {"messagebox",
     "expect messagebox count N\n"
     "expect [no] messagebox TEXT [caption CAPTION]",
     CheckMessageBox, ExpectMessageBox},
    {"thread", "expect [no] thread waiting NAME", CheckThread, ExpectThreadWaiting},
    {"threads", "expect threads N", CheckThreads, ExpectThreadCount},
    {"file", "expect [no] file PATH", CheckFile, ExpectFile},
    {"folder", "expect folder PATH count N | hidden N | exists | absent", CheckFolder,
     ExpectFolder},
    {"item",
     "expect item PATH SUBJECT [class C | read | unread | prop 0xTAG VALUE]\n"
     "expect no item PATH SUBJECT",
     CheckItem, ExpectItem},
    {"service", "expect service requests PATH N", CheckService, ExpectServiceRequests},
    {"delivered", "expect delivered once", CheckDelivered, ExpectDeliveredOnce},
    {"calls", "expect calls OBJECT.MEMBER N", CheckCalls, ExpectCalls},
    {"crashed", "expect crashed", CheckCrash, ExpectCrash},
    {"crash", "expect no crash", CheckCrash, ExpectCrash},
};

}  // namespace

std::span<const Expectation> Expectations() {
    return kExpectations;
}

}  // namespace olsim
