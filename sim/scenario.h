// A scenario: the profile of the Outlook installation, then steps (commands
// and expectations), one per line. docs/sim/scenarios.md is its reference.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>

namespace olsim {

struct RegistryLine {
    std::wstring key;  // with its root, "HKCU\Software\..."
    std::wstring name;
    bool isDword = false;
    DWORD number = 0;
    std::wstring text;
};

// One message store of the mail profile.
struct StoreLine {
    enum class Kind { Exchange, Personal, Public } kind = Kind::Personal;
    std::wstring name;
    std::wstring organisation;  // Exchange
    std::string user;           // Exchange: the user's "EX" address
    bool inbox = true;          // false: an archive without Inbox
    bool cached = false;        // Exchange: cached mode
};

// The filter service the run starts, and the account values it answers a
// login with (on top of its own defaults: approved, footers on).
struct ServiceProfile {
    bool absent = false;  // no service at all: the login server's port is closed
    // In the order given; no text: the value is left out of the answer.
    std::vector<std::pair<std::string, std::optional<std::string>>> values;
};

struct Profile {
    std::wstring version = L"11.0.0.8312";
    std::optional<DWORD> mailSupport;  // missing unless given
    // MAPI's default profile, the one Outlook logs on to.
    std::optional<std::wstring> mailProfile = L"Outlook";
    std::vector<std::wstring> explorers{L"Inbox - Microsoft Outlook"};
    std::optional<std::wstring> directory = L"C:\\Program Files\\Brevint\\";
    std::optional<std::wstring> language = L"English";
    std::optional<DWORD> partner = 3;
    std::optional<DWORD> exchange = 0;
    // The filter's spam threshold, a score from 0 to 100 (the core's proposal).
    std::optional<DWORD> threshold = 77;
    std::vector<RegistryLine> registry;
    std::vector<std::wstring> omittedFiles;  // installation files left out
    // The mail profile's stores; without any, one personal folders file.
    std::vector<StoreLine> stores;
    ServiceProfile service;
};

struct Step {
    int line = 0;
    std::string text;                // the line as written, for reports
    std::vector<std::string> words;  // the words after the verb (quotes removed)
    std::string verb;                // "install", "expect", ...
};

struct Scenario {
    Profile profile;
    std::vector<Step> steps;
};

class ParseError : public std::runtime_error {
  public:
    ParseError(int line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), m_line(line) {}
    int line() const { return m_line; }

  private:
    int m_line;
};

// Splits a line into words: blanks separate, double quotes group (a doubled
// quote inside stands for one), "#" outside quotes starts a comment.
std::vector<std::string> SplitWords(const std::string& line, int lineNumber);

// Parses a whole scenario; throws ParseError naming the first bad line.
Scenario ParseScenario(const std::string& text);

// A MAPI property tag written "0x0037001F"; nothing for anything else.
std::optional<DWORD> ParsePropTag(const std::string& text);

// "500ms", "10s", "30m", "2h"; nothing for anything else.
std::optional<unsigned long long> ParseDuration(const std::string& text);

// deliver FILE... [to FOLDER-PATH] [size N] [burst] [deleted]
struct DeliverLine {
    std::vector<std::string> files;
    std::optional<std::string> folder;  // the default store's Inbox when not given
    std::optional<size_t> size;         // each message padded to exactly this many bytes
    bool burst = false;                 // all delivered before Outlook's thread hears of any
    bool deleted = false;               // each deleted again before Outlook's thread hears of it
};
// Null when the words do not make a deliver line.
std::optional<DeliverLine> ParseDeliverLine(const std::vector<std::string>& words);

}  // namespace olsim
