// The profile lines of the scenario language: the machine and Outlook a
// scenario runs on, one row per setting. They apply to the whole scenario
// wherever they stand.
#include "text.h"
#include "verbs.h"

namespace olsim {
namespace {

using words::Count;
using words::Expected;
using words::Number;

std::wstring Text(const Step& step) {
    Count(step, 2, 2, "profile " + step.words[0] + " TEXT");
    return Widen(step.words[1]);
}

// TEXT, or "none" for no value at all.
std::optional<std::wstring> TextOrNone(const Step& step) {
    if (step.words.size() == 2 && step.words[1] == "none")
        return std::nullopt;
    return Text(step);
}

// N, or "none": the value is left out of the installation.
std::optional<DWORD> NumberOrNone(const Step& step, const std::string& form,
                                  const std::string& what) {
    Count(step, 2, 2, form);
    if (step.words[1] == "none")
        return std::nullopt;
    return Number(step, 1, what);
}

void Version(Profile& profile, const Step& step) {
    profile.version = Text(step);
}

void MailSupport(Profile& profile, const Step& step) {
    profile.mailSupport = NumberOrNone(step, "profile mailsupport N|none", "the MailSupport value");
}

void MailProfile(Profile& profile, const Step& step) {
    profile.mailProfile = TextOrNone(step);
}

void ExplorerCount(Profile& profile, const Step& step) {
    Count(step, 2, 2, "profile explorers N");
    profile.explorers.assign(Number(step, 1, "a count of explorers"), L"Inbox - Microsoft Outlook");
}

void Explorer(Profile& profile, const Step& step) {
    profile.explorers.push_back(Text(step));
}

void Directory(Profile& profile, const Step& step) {
    profile.directory = TextOrNone(step);
}

void Language(Profile& profile, const Step& step) {
    profile.language = TextOrNone(step);
}

void Partner(Profile& profile, const Step& step) {
    profile.partner = NumberOrNone(step, "profile partner N|none", "the partner number");
}

void Exchange(Profile& profile, const Step& step) {
    profile.exchange = NumberOrNone(step, "profile exchange N|none", "the Exchange value");
}

void Threshold(Profile& profile, const Step& step) {
    profile.threshold = NumberOrNone(step, "profile threshold N|none", "the filter threshold");
}

// store exchange|pst|public|archive NAME [org ORG] [user ADDRESS] [noinbox] [cached]
void Store(Profile& profile, const Step& step) {
    const std::string form =
        "profile store exchange|pst|public|archive NAME [org ORG] [user ADDRESS] [noinbox] "
        "[cached]";
    if (step.words.size() < 3)
        Expected(step, form);
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
    profile.stores.push_back(store);
}

// The service's presence and its account values.
void Service(Profile& profile, const Step& step) {
    ServiceProfile& service = profile.service;
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
        Expected(step,
                 "profile service approved|pending|absent | disabled N | mailtag N | value KEY "
                 "TEXT | remove KEY");
    }
}

void Omit(Profile& profile, const Step& step) {
    profile.omittedFiles.push_back(Text(step));
}

void Registry(Profile& profile, const Step& step) {
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
}

const ProfileSetting kSettings[] = {
    {"version", "profile version TEXT", Version},
    {"mailsupport", "profile mailsupport N|none", MailSupport},
    {"mailprofile", "profile mailprofile TEXT|none", MailProfile},
    {"explorers", "profile explorers N", ExplorerCount},
    {"explorer", "profile explorer CAPTION", Explorer},
    {"directory", "profile directory TEXT|none", Directory},
    {"language", "profile language TEXT|none", Language},
    {"partner", "profile partner N|none", Partner},
    {"exchange", "profile exchange N|none", Exchange},
    {"threshold", "profile threshold N|none", Threshold},
    {"store",
     "profile store exchange|pst|public|archive NAME [org ORG] [user ADDRESS] [noinbox] [cached]",
     Store},
    {"service",
     "profile service approved|pending|absent\n"
     "profile service disabled N | mailtag N\n"
     "profile service value KEY TEXT | remove KEY",
     Service},
    {"omit", "profile omit NAME", Omit},
    {"registry", "profile registry KEY NAME dword N | sz TEXT", Registry},
};

}  // namespace

std::span<const ProfileSetting> ProfileSettings() {
    return kSettings;
}

}  // namespace olsim
