// What the scenarios can expect of Office's command bars, of child windows
// and of the clipboard: lines that do not fit are refused with their line
// number, and an expectation that does not hold says what the world shows.
#include <gtest/gtest.h>

#include <sstream>

#include "property_words.h"
#include "runner.h"
#include "scenario.h"
#include "temp_root.h"

namespace {

int ErrorLine(const std::string& text) {
    try {
        olsim::ParseScenario(text);
    } catch (const olsim::ParseError& error) {
        return error.line();
    }
    return 0;
}

struct Outcome {
    bool ok;
    std::string report;
};

Outcome RunText(const std::string& text) {
    std::ostringstream report;
    bool ok = olsim::RunScenario(olsim::ParseScenario(text), {}, report).ok;
    return {ok, report.str()};
}

bool Holds(const Outcome& outcome, int line) {
    return outcome.report.find("line " + std::to_string(line) + ":") == std::string::npos;
}

}  // namespace

TEST(ToolbarExpectationWords, PropertiesNeedTheirWordsOfTheirKind) {
    EXPECT_EQ(ErrorLine("expect control 1 \"Brevint toolbar/Block\" width 70 group yes\n"), 0);
    EXPECT_EQ(ErrorLine("start\nexpect control 1 \"Brevint toolbar/Block\" width wide\n"), 2);
    EXPECT_EQ(ErrorLine("expect control 1 \"Brevint toolbar/Block\" group maybe\n"), 1);
    EXPECT_EQ(ErrorLine("expect control 1 \"Brevint toolbar/Block\" caption\n"), 1);
    EXPECT_EQ(ErrorLine("expect bar 1 Brevint toolbar row 2 left -4\n"), 0);
    EXPECT_EQ(ErrorLine("expect bar 1 Brevint toolbar row two\n"), 1);
    EXPECT_EQ(ErrorLine("expect bars 1\n"), 1);
    EXPECT_EQ(ErrorLine("expect no bars 1 4\n"), 1);
    EXPECT_EQ(ErrorLine("expect controls 1 \"Brevint toolbar\" order\n"), 0);
    EXPECT_EQ(ErrorLine("expect controls 1 \"Brevint toolbar\" count\n"), 1);
    EXPECT_EQ(ErrorLine("expect controls 1 \"Brevint toolbar\" Block\n"), 1);
    EXPECT_EQ(ErrorLine("expect window child \"Brevint toolbar\" Button at 10 1 size 82 22\n"), 0);
    EXPECT_EQ(ErrorLine("expect window child \"Brevint toolbar\" Button at 10\n"), 1);
    EXPECT_EQ(ErrorLine("expect window child \"Brevint toolbar\" style wide\n"), 1);
    EXPECT_EQ(ErrorLine("expect window child class Button\n"), 0);  // a window titled "child"
    EXPECT_EQ(ErrorLine("expect clipboard empty\nexpect no clipboard bitmap\n"), 0);
    EXPECT_EQ(ErrorLine("expect no clipboard empty\n"), 1);
    EXPECT_EQ(ErrorLine("expect clipboard text\n"), 1);
}

TEST(ToolbarExpectationWords, NumbersAreDecimalOrHexadecimalOfThirtyTwoBits) {
    EXPECT_EQ(olsim::ParseInteger("70"), 70);
    EXPECT_EQ(olsim::ParseInteger("-4"), -4);
    EXPECT_EQ(olsim::ParseInteger("0x50008080"), 0x50008080);
    EXPECT_EQ(olsim::ParseInteger("0xFFFFFFFF"), 0xFFFFFFFF);
    EXPECT_FALSE(olsim::ParseInteger("0x100000000"));
    EXPECT_FALSE(olsim::ParseInteger("0x"));
    EXPECT_FALSE(olsim::ParseInteger("7a"));
    EXPECT_FALSE(olsim::ParseInteger(""));
}

// The add-in's bar seen through every kind of expectation, each failing one
// reporting what the explorer shows instead.
TEST(ToolbarExpectations, AFailingExpectationSaysWhatTheWorldShows) {
    TempRoot root;
    auto outcome = RunText(
        "install\n"
        "start\n"
        /* 3 */
        "expect control 1 \"Brevint toolbar/Block\" caption Block tag \"Tag Block\" "
        "width 70 style 3 group yes image \"c:\\program files\\brevint\\graphics\\toolbar\\"
        "block.dib\"\n"
        /* 4 */
        "expect control 1 \"Brevint toolbar/Block\" width 71 priority 1\n"
        /* 5 */
        "expect no control 1 \"Brevint toolbar/Block\" width 71\n"
        /* 6 */
        "expect no control 1 \"Brevint toolbar/Block\" width 70\n"
        /* 7 */
        "expect control 1 \"Brevint toolbar/Brevint/Nothing\"\n"
        /* 8 */
        "expect controls 1 \"Brevint toolbar/Brevint/Blacklist\" order "
        "\"Blacklist sender's address\" \"Blacklist sender's domain\"\n"
        /* 9 */
        "expect controls 1 \"Brevint toolbar/Brevint\" count 5\n"
        /* 10 */
        "expect bar 1 Brevint toolbar protection 59 row 1\n"
        /* 11 */
        "expect bars 1 4\n"
        /* 12 */
        "expect bars 1 3\n"
        /* 13 */
        "expect clipboard bitmap "
        "\"C:\\Program Files\\Brevint\\Graphics\\Toolbar\\WhitelistDomain.dib\"\n"
        /* 14 */
        "expect clipboard empty\n"
        /* 15 */
        "expect window child \"Brevint toolbar\" Button explorer 1 count 1 "
        "style 0x50008080 at 10 1 size 82 22\n"
        /* 16 */
        "expect window child \"Brevint toolbar\" Button bitmap none\n"
        /* 17 */
        "expect no window child \"Standard\" Button\n"
        "quit\n");
    EXPECT_FALSE(outcome.ok);
    const std::string& report = outcome.report;
    EXPECT_TRUE(Holds(outcome, 3)) << report;
    EXPECT_NE(report.find("line 4:"), std::string::npos) << report;
    EXPECT_NE(report.find("its width is 70; its priority is 0 (button"), std::string::npos)
        << report;
    EXPECT_TRUE(Holds(outcome, 5)) << report;
    EXPECT_NE(report.find("line 6:"), std::string::npos) << report;
    EXPECT_NE(report.find("control Brevint toolbar/Block is there: button"), std::string::npos)
        << report;
    // Where the path stops, and what is there.
    EXPECT_NE(report.find("Brevint holds \"Blacklist\" \"Whitelist\""), std::string::npos)
        << report;
    EXPECT_TRUE(Holds(outcome, 8)) << report;
    EXPECT_NE(report.find("Brevint toolbar/Brevint holds 6 control(s)"), std::string::npos)
        << report;
    EXPECT_NE(report.find("its row is "), std::string::npos) << report;
    EXPECT_EQ(report.find("its protection is"), std::string::npos) << report;
    EXPECT_TRUE(Holds(outcome, 11)) << report;
    EXPECT_NE(report.find("explorer 1 has 4 bar(s): Menu Bar, Standard, Advanced, Brevint toolbar"),
              std::string::npos)
        << report;
    EXPECT_TRUE(Holds(outcome, 13)) << report;
    EXPECT_NE(report.find("line 14: expect clipboard empty\n    the clipboard holds a bitmap from "
                          "\"C:\\Program Files\\Brevint\\Graphics\\Toolbar\\WhitelistDomain.dib\""),
              std::string::npos)
        << report;
    EXPECT_TRUE(Holds(outcome, 15)) << report;
    EXPECT_NE(report.find("0 of 1 such child window(s) fit\n      [Button] \"\" visible style "
                          "0x50008080 exstyle 0x00000028 at 10 1 size 82 22 bitmap "
                          "\"C:\\Program Files\\Brevint\\Graphics\\Toolbar\\LogoSmall.bmp\""),
              std::string::npos)
        << report;
    EXPECT_TRUE(Holds(outcome, 17)) << report;
    EXPECT_TRUE(Holds(outcome, 18)) << report;  // an empty caption names the logo button
}
