// The scenario language: words and quotes, the profile, and a clear error
// with the line number for each kind of malformed line.
#include <gtest/gtest.h>

#include "scenario.h"

using olsim::ParseError;
using olsim::ParseScenario;

namespace {

// The line number and message of the error a text raises; line 0 when it
// parses.
std::pair<int, std::string> ErrorOf(const std::string& text) {
    try {
        ParseScenario(text);
    } catch (const ParseError& error) {
        return {error.line(), error.what()};
    }
    return {0, ""};
}

}  // namespace

TEST(ScenarioWords, QuotesGroupBlanksAndBackslashesAndADoubledQuoteIsOne) {
    auto words = olsim::SplitWords(
        R"(expect registry HKLM\Software\Brevint "Spam ""Folder"" Name" sz "" # comment)", 1);
    EXPECT_EQ(words, (std::vector<std::string>{"expect", "registry", "HKLM\\Software\\Brevint",
                                               "Spam \"Folder\" Name", "sz", ""}));
    EXPECT_EQ(olsim::SplitWords("expect log \"# not a comment\"", 1).back(), "# not a comment");
    EXPECT_TRUE(olsim::SplitWords("   # only a comment", 1).empty());
}

TEST(ScenarioWords, DurationsTakeOneUnit) {
    EXPECT_EQ(olsim::ParseDuration("1500ms"), 1500u);
    EXPECT_EQ(olsim::ParseDuration("10s"), 10000u);
    EXPECT_EQ(olsim::ParseDuration("30m"), 1800000u);
    EXPECT_EQ(olsim::ParseDuration("2h"), 7200000u);
    for (const char* bad : {"10", "s", "10x", "1.5s", "-3s", "10 s", ""})
        EXPECT_FALSE(olsim::ParseDuration(bad)) << bad;
}

TEST(ScenarioProfile, DefaultsAndSettingsWhereverTheyStand) {
    auto scenario = ParseScenario(
        "install\n"
        "profile version 9.0.0.2711\n"
        "profile mailsupport 0\n"
        "profile explorers 0\n"
        "profile explorer \"Mail - Microsoft Outlook\"\n"
        "profile partner none\n"
        "profile registry HKCU\\Software\\Brevint\\Thresholds Filter dword 70\n"
        "profile registry HKLM\\Software\\Brevint\\Account Password sz secret\n"
        "profile omit Core.dll\n"
        "profile mailprofile \"Home mail\"\n"
        "start\n");
    const auto& profile = scenario.profile;
    EXPECT_EQ(profile.version, L"9.0.0.2711");
    EXPECT_EQ(profile.mailSupport, 0u);
    EXPECT_EQ(profile.explorers, std::vector<std::wstring>{L"Mail - Microsoft Outlook"});
    EXPECT_FALSE(profile.partner);
    EXPECT_EQ(profile.exchange, 0u);  // untouched default
    EXPECT_EQ(profile.directory, L"C:\\Program Files\\Brevint\\");
    ASSERT_EQ(profile.registry.size(), 2u);
    EXPECT_TRUE(profile.registry[0].isDword);
    EXPECT_EQ(profile.registry[0].number, 70u);
    EXPECT_FALSE(profile.registry[1].isDword);
    EXPECT_EQ(profile.registry[1].text, L"secret");
    EXPECT_EQ(profile.omittedFiles, std::vector<std::wstring>{L"Core.dll"});
    EXPECT_EQ(profile.mailProfile, L"Home mail");
    EXPECT_EQ(ParseScenario("profile mailprofile none\n").profile.mailProfile, std::nullopt);
    EXPECT_EQ(ParseScenario("install\n").profile.mailProfile, L"Outlook");
    // Profile lines are not steps; the steps keep their own line numbers.
    ASSERT_EQ(scenario.steps.size(), 2u);
    EXPECT_EQ(scenario.steps[0].verb, "install");
    EXPECT_EQ(scenario.steps[1].line, 11);
}

TEST(ScenarioSteps, CommandsAndExpectationsKeepTheirWords) {
    auto scenario = ParseScenario(
        "# a comment line\n"
        "\n"
        "advance 30m\n"
        "answer cancel\n"
        "expect log order \"a b\" c\n"
        "expect no thread waiting BV-block-thread\n"
        "expect messagebox \"isn't installed\" caption Brevint\n"
        "expect registry HKCU\\Software\\Brevint\\Clients\\Outlook \"Load Count\" dword 1\n"
        "expect crashed\n");
    ASSERT_EQ(scenario.steps.size(), 7u);
    EXPECT_EQ(scenario.steps[0].line, 3);
    EXPECT_EQ(scenario.steps[2].words, (std::vector<std::string>{"log", "order", "a b", "c"}));
    EXPECT_EQ(scenario.steps[5].words[2], "Load Count");
    EXPECT_EQ(scenario.steps[6].text, "expect crashed");
}

TEST(ScenarioErrors, EachMalformedLineIsNamedByItsNumberAndWhatIsWrong) {
    struct Case {
        std::string text;
        int line;
        std::string says;
    };
    const Case cases[] = {
        {"install\nlaunch\n", 2, "unknown command 'launch'"},
        {"install\n\nadvance 10\n", 3, "bad duration '10'"},
        {"advance\n", 1, "advance DURATION"},
        {"close first\n", 1, "explorer's number"},
        {"start now\n", 1, "expected: start"},
        {"expect\n", 1, "needs what to expect"},
        {"expect log\n", 1, "[no] log TEXT"},
        {"expect log order onlyone\n", 1, "log order TEXT TEXT"},
        {"expect log count x many\n", 1, "needs a number"},
        {"expect registry HKCU\\Software\\Brevint Language string English\n", 1,
         "'dword N', 'sz TEXT', 'date TIME' or 'exists'"},
        {"expect registry HKCU\\Software\\Brevint LastRecheck date\n", 1, "date TIME"},
        {"expect registry HKCU\\Software\\Brevint Language dword x\n", 1, "'dword N'"},
        {"expect window Title kind Dialog\n", 1, "window TITLE [class CLASS]"},
        {"expect thread running BV-data-event\n", 1, "thread waiting NAME"},
        {"expect no threads 2\n", 1, "expect threads N"},
        {"expect sunshine\n", 1, "unknown expectation 'sunshine'"},
        {"expect log \"unterminated\n", 1, "unterminated quote"},
        {"install\nprofile colour blue\n", 2, "unknown profile setting 'colour'"},
        {"profile partner three\n", 1, "partner number"},
        {"profile registry HKCU\\X Name qword 1\n", 1, "dword or sz"},
        {"profile explorers\n", 1, "profile explorers N"},
        {"profile partner 99999999999\n", 1, "partner number"},
    };
    for (const auto& c : cases) {
        auto [line, message] = ErrorOf(c.text);
        EXPECT_EQ(line, c.line) << c.text;
        EXPECT_NE(message.find("line " + std::to_string(c.line) + ": "), std::string::npos)
            << message;
        EXPECT_NE(message.find(c.says), std::string::npos) << c.text << " gave: " << message;
    }
}

TEST(ScenarioProfile, ServiceLinesSetTheAccountValuesInOrder) {
    auto scenario = ParseScenario(
        "profile service pending\n"
        "profile service disabled 1\n"
        "profile service mailtag 0\n"
        "profile service value url.TellFriend \"http://x/?a=1\"\n"
        "profile service remove url.Email\n");
    using Value = std::pair<std::string, std::optional<std::string>>;
    EXPECT_EQ(scenario.profile.service.values,
              (std::vector<Value>{{"Login.Access", "Pending"},
                                  {"Login.Disabled", "1"},
                                  {"Parameters.Mailtag", "0"},
                                  {"url.TellFriend", "http://x/?a=1"},
                                  {"url.Email", std::nullopt}}));
    EXPECT_FALSE(scenario.profile.service.absent);
    EXPECT_TRUE(ParseScenario("profile service absent\n").profile.service.absent);
}

TEST(ScenarioProfile, MalformedServiceLinesNameTheirLine) {
    for (const char* bad :
         {"profile service\n", "profile service approved now\n", "profile service disabled\n",
          "profile service value KEY\n", "service\n", "service down later\n", "service delay 5\n",
          "service value KEY\n", "expect service requests /a\n", "expect service requests /a x\n",
          "expect no service requests /a 1\n"})
        EXPECT_EQ(ErrorOf(std::string("install\n") + bad).first, 2) << bad;
    EXPECT_EQ(ErrorOf("service down after logon\nservice up\nservice delay 20ms\n"
                      "service value K V\nservice remove K\nexpect service requests /a 0\n")
                  .first,
              0);
}

TEST(ScenarioDeliver, OptionsFollowTheFilesInAnyOrderAndOnlyOnce) {
    auto line = olsim::ParseDeliverLine(
        {"a.eml", "b.eml", "burst", "to", "Inbox/Sub", "size", "524288", "deleted"});
    ASSERT_TRUE(line);
    EXPECT_EQ(line->files, (std::vector<std::string>{"a.eml", "b.eml"}));
    EXPECT_EQ(line->folder, "Inbox/Sub");
    EXPECT_EQ(line->size, 524288u);
    EXPECT_TRUE(line->burst);
    EXPECT_TRUE(line->deleted);

    auto plain = olsim::ParseDeliverLine({"a.eml"});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->folder || plain->size || plain->burst || plain->deleted);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"to", "Inbox"},
                                                {"a.eml", "to"},
                                                {"a.eml", "size"},
                                                {"a.eml", "size", "big"},
                                                {"a.eml", "burst", "burst"},
                                                {"a.eml", "to", "A", "to", "B"},
                                                {"a.eml", "burst", "b.eml"}})
        EXPECT_FALSE(olsim::ParseDeliverLine(bad)) << bad.back();
}
