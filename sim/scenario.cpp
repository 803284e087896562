#include "scenario.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "text.h"

namespace olsim {
namespace {

std::optional<DWORD> ParseNumber(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 10)
        return std::nullopt;
    unsigned long long value = std::stoull(text);
    if (value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<DWORD>(value);
}

DWORD Number(const Step& step, size_t index, const std::string& what) {
    auto number = index < step.words.size() ? ParseNumber(step.words[index]) : std::nullopt;
    if (!number)
        throw ParseError(step.line, "'" + step.verb + "' needs " + what + " (a number)");
    return *number;
}

void Count(const Step& step, size_t least, size_t most, const std::string& form) {
    if (step.words.size() < least || step.words.size() > most)
        throw ParseError(step.line, "expected: " + form);
}

// "none" leaves a value out of the installation.
std::optional<DWORD> NumberOrNone(const Step& step, const std::string& what) {
    if (step.words.size() == 2 && step.words[1] == "none")
        return std::nullopt;
    return Number(step, 1, what);
}

// store exchange|pst|public|archive NAME [org ORG] [user ADDRESS] [noinbox] [cached]
StoreLine ParseStoreLine(const Step& step) {
    const std::string form =
        "profile store exchange|pst|public|archive NAME [org ORG] [user ADDRESS] [noinbox] "
        "[cached]";
    if (step.words.size() < 3)
        throw ParseError(step.line, "expected: " + form);
    StoreLine store;
    const std::string& kind = step.words[1];
    if (kind == "exchange")
        store.kind = StoreLine::Kind::Exchange;
    else if (kind == "public")
        store.kind = StoreLine::Kind::Public;
    else if (kind == "archive")
        store.inbox = false;
    else if (kind != "pst")
        throw ParseError(step.line, "unknown kind of store '" + kind + "'; expected: " + form);
    store.name = Widen(step.words[2]);
    for (size_t i = 3; i < step.words.size(); ++i) {
        const std::string& option = step.words[i];
        if ((option == "org" || option == "user") && i + 1 < step.words.size()) {
            if (option == "org")
                store.organisation = Widen(step.words[++i]);
            else
                store.user = step.words[++i];
        } else if (option == "noinbox") {
            store.inbox = false;
        } else if (option == "cached") {
            store.cached = true;
        } else {
            throw ParseError(step.line, "unknown store option '" + option + "'; expected: " + form);
        }
    }
    if (store.kind == StoreLine::Kind::Public)
        store.inbox = false;
    return store;
}

// `profile service ...`: the service's presence and its account values.
void ApplyServiceLine(ServiceProfile& service, const Step& step) {
    const std::vector<std::string> words(step.words.begin() + 1, step.words.end());
    const std::string what = words.empty() ? "" : words[0];
    auto value = [&](const std::string& key, std::optional<std::string> text) {
        service.values.emplace_back(key, std::move(text));
    };
    if (words.size() == 1 && (what == "approved" || what == "pending")) {
        value("Login.Access", what == "approved" ? "Approved" : "Pending");
    } else if (words.size() == 1 && what == "absent") {
        service.absent = true;
    } else if (words.size() == 2 && what == "disabled") {
        value("Login.Disabled", words[1]);
    } else if (words.size() == 2 && what == "mailtag") {
        value("Parameters.Mailtag", words[1]);
    } else if (words.size() == 3 && what == "value") {
        value(words[1], words[2]);
    } else if (words.size() == 2 && what == "remove") {
        value(words[1], std::nullopt);
    } else {
        throw ParseError(step.line,
                         "expected: profile service approved|pending|absent | disabled N | "
                         "mailtag N | value KEY TEXT | remove KEY");
    }
}

void ApplyProfileLine(Profile& profile, const Step& step) {
    if (step.words.empty())
        throw ParseError(step.line, "'profile' needs a setting");
    const std::string& setting = step.words[0];
    auto text = [&] {
        Count(step, 2, 2, "profile " + setting + " TEXT");
        return Widen(step.words[1]);
    };
    if (setting == "version") {
        profile.version = text();
    } else if (setting == "mailsupport") {
        Count(step, 2, 2, "profile mailsupport N|none");
        profile.mailSupport = NumberOrNone(step, "the MailSupport value");
    } else if (setting == "mailprofile") {
        if (step.words.size() == 2 && step.words[1] == "none")
            profile.mailProfile.reset();
        else
            profile.mailProfile = text();
    } else if (setting == "explorers") {
        Count(step, 2, 2, "profile explorers N");
        profile.explorers.assign(Number(step, 1, "a count of explorers"),
                                 L"Inbox - Microsoft Outlook");
    } else if (setting == "explorer") {
        profile.explorers.push_back(text());
    } else if (setting == "directory") {
        if (step.words.size() == 2 && step.words[1] == "none")
            profile.directory.reset();
        else
            profile.directory = text();
    } else if (setting == "language") {
        if (step.words.size() == 2 && step.words[1] == "none")
            profile.language.reset();
        else
            profile.language = text();
    } else if (setting == "partner") {
        Count(step, 2, 2, "profile partner N|none");
        profile.partner = NumberOrNone(step, "the partner number");
    } else if (setting == "exchange") {
        Count(step, 2, 2, "profile exchange N|none");
        profile.exchange = NumberOrNone(step, "the Exchange value");
    } else if (setting == "threshold") {
        Count(step, 2, 2, "profile threshold N|none");
        profile.threshold = NumberOrNone(step, "the filter threshold");
    } else if (setting == "store") {
        profile.stores.push_back(ParseStoreLine(step));
    } else if (setting == "service") {
        ApplyServiceLine(profile.service, step);
    } else if (setting == "omit") {
        profile.omittedFiles.push_back(text());
    } else if (setting == "registry") {
        Count(step, 5, 5, "profile registry KEY NAME dword|sz VALUE");
        RegistryLine line;
        line.key = Widen(step.words[1]);
        line.name = Widen(step.words[2]);
        if (step.words[3] == "dword") {
            line.isDword = true;
            line.number = Number(step, 4, "the value");
        } else if (step.words[3] == "sz") {
            line.text = Widen(step.words[4]);
        } else {
            throw ParseError(step.line, "registry type must be dword or sz");
        }
        profile.registry.push_back(line);
    } else {
        throw ParseError(step.line, "unknown profile setting '" + setting + "'");
    }
}

void CheckExpectation(const Step& step) {
    std::vector<std::string> words = step.words;
    if (!words.empty() && words[0] == "no")
        words.erase(words.begin());
    bool negated = words.size() != step.words.size();
    if (words.empty())
        throw ParseError(step.line, "'expect' needs what to expect");
    const std::string& what = words[0];
    auto need = [&](size_t least, size_t most, const std::string& form) {
        if (words.size() < least || words.size() > most)
            throw ParseError(step.line, "expected: expect " + form);
    };
    if (what == "log") {
        if (words.size() >= 2 && words[1] == "order" && !negated)
            need(4, 1000, "log order TEXT TEXT ...");
        else if (words.size() == 2 && words[1] == "nested" && !negated)
            need(2, 2, "log nested");
        else if (words.size() >= 2 && words[1] == "count" && !negated) {
            need(4, 4, "log count TEXT N");
            if (!ParseNumber(words[3]))
                throw ParseError(step.line, "log count needs a number");
        } else
            need(2, 2, "[no] log TEXT");
    } else if (what == "registry") {
        if (negated) {
            need(3, 3, "no registry KEY NAME");
        } else {
            need(4, 5, "registry KEY NAME dword N | sz TEXT | date TIME | exists");
            const std::string& type = words[3];
            if (type == "exists")
                need(4, 4, "registry KEY NAME exists");
            else if (type == "dword" && words.size() == 5 && ParseNumber(words[4]))
                ;
            else if ((type != "sz" && type != "date") || words.size() != 5)
                throw ParseError(step.line,
                                 "registry expectation must end in 'dword N', "
                                 "'sz TEXT', 'date TIME' or 'exists'");
        }
    } else if (what == "window") {
        need(2, 4, "[no] window TITLE [class CLASS]");
        if (words.size() != 2 && (words.size() != 4 || words[2] != "class"))
            throw ParseError(step.line, "expected: expect [no] window TITLE [class CLASS]");
    } else if (what == "messagebox") {
        if (words.size() >= 2 && words[1] == "count") {
            need(3, 3, "messagebox count N");
            if (!ParseNumber(words[2]))
                throw ParseError(step.line, "messagebox count needs a number");
        } else {
            need(2, 4, "[no] messagebox TEXT [caption CAPTION]");
            if (words.size() != 2 && (words.size() != 4 || words[2] != "caption"))
                throw ParseError(step.line, "expected: expect messagebox TEXT [caption CAPTION]");
        }
    } else if (what == "thread") {
        need(3, 3, "[no] thread waiting NAME");
        if (words[1] != "waiting")
            throw ParseError(step.line, "expected: expect [no] thread waiting NAME");
    } else if (what == "threads") {
        need(2, 2, "threads N");
        if (negated || !ParseNumber(words[1]))
            throw ParseError(step.line, "expected: expect threads N");
    } else if (what == "file") {
        need(2, 2, "[no] file PATH");
    } else if (what == "folder") {
        if (negated)
            throw ParseError(step.line, "expected: expect folder PATH exists|absent");
        need(3, 4, "folder PATH count N | hidden N | exists | absent");
        const std::string& test = words[2];
        if ((test == "count" || test == "hidden") && words.size() == 4 && ParseNumber(words[3]))
            ;
        else if ((test != "exists" && test != "absent") || words.size() != 3)
            throw ParseError(step.line,
                             "expected: expect folder PATH count N | hidden N | exists | absent");
    } else if (what == "item") {
        need(3, 6, "[no] item PATH SUBJECT [class C | read | unread | prop 0xTAG VALUE]");
        const std::string test = words.size() > 3 ? words[3] : "";
        const bool fits = (words.size() == 3) || (words.size() == 5 && test == "class") ||
                          (words.size() == 4 && (test == "read" || test == "unread")) ||
                          (words.size() == 6 && test == "prop" && ParsePropTag(words[4]));
        if (!fits || (negated && words.size() != 3))
            throw ParseError(step.line,
                             "expected: expect item PATH SUBJECT [class C | read | unread | prop "
                             "0xTAG VALUE], or expect no item PATH SUBJECT");
    } else if (what == "service") {
        need(4, 4, "service requests PATH N");
        if (negated || words[1] != "requests" || !ParseNumber(words[3]))
            throw ParseError(step.line, "expected: expect service requests PATH N");
    } else if (what == "crashed" || what == "crash") {
        need(1, 1, "crashed | expect no crash");
    } else {
        throw ParseError(step.line, "unknown expectation '" + what + "'");
    }
}

void CheckCommand(const Step& step) {
    const std::string& verb = step.verb;
    if (verb == "install" || verb == "start" || verb == "quit") {
        Count(step, 0, 0, verb);
    } else if (verb == "open") {
        Count(step, 0, 1, "open [CAPTION]");
    } else if (verb == "activate" || verb == "select" || verb == "close") {
        Count(step, 1, 1, verb + " N");
        Number(step, 0, "the explorer's number");
    } else if (verb == "answer") {
        Count(step, 1, 1, "answer ok|cancel|yes|no|retry|ignore|abort|N");
    } else if (verb == "fault" || verb == "state") {
        Count(step, 1, 1, verb == "fault" ? "fault MEMBER" : "state FILE");
    } else if (verb == "advance") {
        Count(step, 1, 1, "advance DURATION");
        if (!ParseDuration(step.words[0]))
            throw ParseError(step.line,
                             "bad duration '" + step.words[0] + "' (use e.g. 500ms, 10s, 30m, 2h)");
    } else if (verb == "deliver") {
        if (!ParseDeliverLine(step.words))
            throw ParseError(
                step.line, "expected: deliver FILE... [to FOLDER-PATH] [size N] [burst] [deleted]");
    } else if (verb == "folder") {
        if (step.words.size() != 2 || (step.words[0] != "create" && step.words[0] != "delete"))
            throw ParseError(step.line, "expected: folder create|delete FOLDER-PATH");
    } else if (verb == "mailprofile") {
        Count(step, 1, 1, "mailprofile NAME");
    } else if (verb == "train") {
        if (step.words.size() < 2 || (step.words[0] != "spam" && step.words[0] != "good"))
            throw ParseError(step.line, "expected: train spam|good FILE...");
    } else if (verb == "service") {
        const auto& words = step.words;
        const bool valid = (words.size() == 1 && (words[0] == "down" || words[0] == "up")) ||
                           (words.size() == 3 && words[0] == "down" && words[1] == "after" &&
                            words[2] == "logon") ||
                           (words.size() == 2 && words[0] == "delay" && ParseDuration(words[1])) ||
                           (words.size() == 3 && words[0] == "value") ||
                           (words.size() == 2 && words[0] == "remove") ||
                           ((words.size() == 3 || words.size() == 4) && words[0] == "page" &&
                            !words[1].empty() && words[1][0] == '/' && ParseNumber(words[2]) &&
                            *ParseNumber(words[2]) >= 100 && *ParseNumber(words[2]) <= 599);
        if (!valid)
            throw ParseError(step.line,
                             "expected: service down | up | down after logon | delay DURATION | "
                             "value KEY TEXT | remove KEY | page /PATH STATUS [TEXT]");
    } else if (verb == "picker") {
        const auto& words = step.words;
        if (!((words.size() == 2 && words[0] == "choose") ||
              (words.size() == 1 && words[0] == "cancel")))
            throw ParseError(step.line, "expected: picker choose FOLDER-PATH | picker cancel");
    } else if (verb == "expect") {
        CheckExpectation(step);
    } else {
        throw ParseError(step.line, "unknown command '" + verb + "'");
    }
}

}  // namespace

std::optional<DWORD> ParsePropTag(const std::string& text) {
    if (text.size() != 10 || text.rfind("0x", 0) != 0 ||
        text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
        return std::nullopt;
    return static_cast<DWORD>(std::stoul(text.substr(2), nullptr, 16));
}

std::vector<std::string> SplitWords(const std::string& line, int lineNumber) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string word;
            ++i;
            for (;;) {
                if (i >= line.size())
                    throw ParseError(lineNumber, "unterminated quote");
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        word.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                word.push_back(line[i++]);
            }
            words.push_back(word);
        } else {
            size_t end = line.find_first_of(" \t\r\"#", i);
            if (end == std::string::npos)
                end = line.size();
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

std::optional<unsigned long long> ParseDuration(const std::string& text) {
    static const std::map<std::string, unsigned long long> units{
        {"ms", 1}, {"s", 1000}, {"m", 60000}, {"h", 3600000}};
    size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos || digits > 12)
        return std::nullopt;
    auto unit = units.find(text.substr(digits));
    if (unit == units.end())
        return std::nullopt;
    return std::stoull(text.substr(0, digits)) * unit->second;
}

std::optional<DeliverLine> ParseDeliverLine(const std::vector<std::string>& words) {
    DeliverLine line;
    size_t i = 0;
    for (; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "to" || word == "size" || word == "burst" || word == "deleted")
            break;
        line.files.push_back(word);
    }
    if (line.files.empty())
        return std::nullopt;
    for (; i < words.size(); ++i) {
        const std::string& word = words[i];
        if ((word == "to" || word == "size") && i + 1 == words.size())
            return std::nullopt;
        if (word == "to" && !line.folder) {
            line.folder = words[++i];
        } else if (word == "size" && !line.size) {
            const auto size = ParseNumber(words[++i]);
            if (!size)
                return std::nullopt;
            line.size = *size;
        } else if (word == "burst" && !line.burst) {
            line.burst = true;
        } else if (word == "deleted" && !line.deleted) {
            line.deleted = true;
        } else {
            return std::nullopt;
        }
    }
    return line;
}

Scenario ParseScenario(const std::string& text) {
    Scenario scenario;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        auto words = SplitWords(line, number);
        if (words.empty())
            continue;
        Step step;
        step.line = number;
        step.text = line;
        if (!step.text.empty() && step.text.back() == '\r')
            step.text.pop_back();
        step.verb = words[0];
        step.words.assign(words.begin() + 1, words.end());
        if (step.verb == "profile") {
            ApplyProfileLine(scenario.profile, step);
            continue;
        }
        CheckCommand(step);
        scenario.steps.push_back(std::move(step));
    }
    return scenario;
}

}  // namespace olsim
