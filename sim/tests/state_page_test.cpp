// The state drawn as a page: what comes from outside shows as text, and a
// damaged state, or one of another version, is refused naming what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "html.h"
#include "observations.h"
#include "page_files.h"
#include "state_page.h"
#include "state_view.h"
#include "temp_root.h"

namespace {

using nlohmann::ordered_json;
using olsim::view::StateError;

// The smallest state the page draws: one open explorer with the add-in's bar
// and a pop-up menu, one store with an Inbox holding one unread item.
ordered_json SmallState() {
    const ordered_json button = {{"type", 1},          {"caption", "Block"}, {"tooltip", "Report"},
                                 {"tag", "Tag Block"}, {"enabled", false},   {"visible", true},
                                 {"beginGroup", true}, {"width", 70},        {"priority", 0},
                                 {"style", 3},         {"image", nullptr},   {"imageData", nullptr},
                                 {"temporary", true}};
    ordered_json menu = button;
    menu["type"] = 10;
    menu["caption"] = "Brevint";
    menu["enabled"] = true;
    menu["controls"] = {button};
    const ordered_json bar = {{"name", "Brevint toolbar"},
                              {"position", 1},
                              {"rowIndex", 3},
                              {"left", 0},
                              {"top", 52},
                              {"protection", 59},
                              {"visible", true},
                              {"temporary", true},
                              {"builtIn", false},
                              {"window", "0x1"},
                              {"controls", {button, menu}}};
    const ordered_json item = {{"subject", "Hello"},
                               {"class", "IPM.Note"},
                               {"read", false},
                               {"entryId", "00"},
                               {"sender", "Ann"},
                               {"senderAddress", "ann@example.com"},
                               {"received", "2026-12-05 09:00:00"},
                               {"deliveredTo", "Personal Folders/Inbox"}};
    return {{"stateVersion", olsim::kStateVersion},
            {"profile",
             {{"version", "11.0.0.8312"},
              {"mailSupport", nullptr},
              {"explorersAtStart", ordered_json::array()}}},
            {"running", true},
            {"explorers",
             {{{"id", 1},
               {"caption", "Inbox - Microsoft Outlook"},
               {"open", true},
               {"active", true},
               {"bars", {bar}}}}},
            {"progressWindow", nullptr},
            {"messageBoxes", ordered_json::array()},
            {"stores",
             {{{"name", "Personal Folders"},
               {"kind", "pst"},
               {"default", true},
               {"entryId", "01"},
               {"folders",
                {{{"path", "Personal Folders"},
                  {"entryId", "02"},
                  {"hidden", 0},
                  {"items", ordered_json::array()}},
                 {{"path", "Personal Folders/Inbox"},
                  {"entryId", "03"},
                  {"hidden", 2},
                  {"items", {item}}}}}}}},
            {"logFile", "C:\\OLClient.log"},
            {"log", ordered_json::array()},
            {"crash", nullptr}};
}

std::string ErrorOf(const ordered_json& state) {
    try {
        olsim::view::ReadState(state);
    } catch (const StateError& error) {
        return error.what();
    }
    return "";
}

TEST(StatePageEscaping, MarkupInTextShowsAsText) {
    EXPECT_EQ(olsim::view::Escape("<script>alert('x' & \"y\")</script>"),
              "&lt;script&gt;alert(&#39;x&#39; &amp; &quot;y&quot;)&lt;/script&gt;");
    EXPECT_EQ(olsim::view::Escape("Caf\xC3\xA9"), "Caf\xC3\xA9");

    auto state = SmallState();
    auto& item = state["stores"][0]["folders"][1]["items"][0];
    item["subject"] = "<script>document.title='owned'</script>";
    item["sender"] = "\"><img src=x onerror=alert(1)>";
    state["explorers"][0]["caption"] = "</title><script>x()</script>";
    state["log"] = {"2026\\12\\5 9:0:0 MAIL - Subj:<b>bold</b>"};
    const std::string page = olsim::view::StatePage(olsim::view::ReadState(state));
    EXPECT_EQ(page.find("<script>document"), std::string::npos);
    EXPECT_EQ(page.find("<img src=x"), std::string::npos);
    EXPECT_EQ(page.find("<b>bold"), std::string::npos);
    EXPECT_EQ(page.find("</title><script>x()"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;document.title=&#39;owned&#39;&lt;/script&gt;"),
              std::string::npos);
    // The page's own script is the only one, and it reaches nothing outside.
    EXPECT_EQ(page.find("<script>"), page.rfind("<script>"));
    EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
}

TEST(StatePageEscaping, ThePageDrawsTheBarTheFoldersAndTheLogLevels) {
    auto state = SmallState();
    state["log"] = {"2026\\12\\5 9:0:0 ----> A - Enter", "2026\\12\\5 9:0:0 inside",
                    "2026\\12\\5 9:0:0 <---- A - Exit", "2026\\12\\5 9:0:0 after"};
    const std::string page = olsim::view::StatePage(olsim::view::ReadState(state));
    EXPECT_NE(page.find("data-caption=\"Block\" data-enabled=\"false\""), std::string::npos);
    EXPECT_NE(page.find("data-caption=\"Brevint\" data-enabled=\"true\""), std::string::npos);
    EXPECT_NE(page.find("data-path=\"Personal Folders/Inbox\" data-name=\"Inbox\" data-count=\"1\" "
                        "data-unread=\"1\" data-hidden=\"2\""),
              std::string::npos);
    EXPECT_NE(page.find("<tr class=\"item unread\">"), std::string::npos);
    EXPECT_NE(page.find("data-depth=\"1\">2026\\12\\5 9:0:0   inside"), std::string::npos) << page;
    EXPECT_NE(page.find("data-depth=\"0\">2026\\12\\5 9:0:0 &lt;---- A - Exit"), std::string::npos);
}

TEST(StatePageEscaping, TheListShowsTimesToTheMinuteAndOtherTextsWhole) {
    auto state = SmallState();
    auto& items = state["stores"][0]["folders"][1]["items"];
    items.push_back(items[0]);
    items[1]["subject"] = "Written by hand";
    // Its sixteenth byte is the first half of the "\xC3\xA4".
    items[1]["received"] = "Dienstag, 31. M\xC3\xA4rz 2026";
    const std::string page = olsim::view::StatePage(olsim::view::ReadState(state));
    EXPECT_NE(page.find("<td>2026-12-05 09:00</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>Dienstag, 31. M\xC3\xA4rz 2026</td>"), std::string::npos);
}

TEST(StatePageEscaping, TheProgressWindowAndTheMessageBoxesAreDrawnAsTheyWere) {
    auto state = SmallState();
    state["progressWindow"] = {
        {"hwnd", "0x2"},
        {"shown", false},
        {"title", "Rechecking <Inbox>"},
        {"texts", {{"202", "Stop"}, {"203", "Close"}, {"204", "Folder"}, {"207", "70000"}}},
        {"range", {0, 4464}},
        {"position", 2},
        {"stopEnabled", false}};
    // MB_YESNO | MB_ICONQUESTION, answered No.
    state["messageBoxes"] = {
        {{"caption", "Brevint"}, {"text", "Empty it?"}, {"type", 0x24}, {"answer", 7}}};
    const std::string page = olsim::view::StatePage(olsim::view::ReadState(state));
    EXPECT_NE(page.find("data-shown=\"false\"><div class=\"titlebar\"><span>Rechecking "
                        "&lt;Inbox&gt;</span><span>(hidden)</span>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<span>Folder</span><span class=\"count\" data-id=\"207\">70000</span>"),
              std::string::npos);
    EXPECT_NE(page.find("<progress max=\"4464\" value=\"2\""), std::string::npos);
    EXPECT_NE(page.find("<button class=\"stop\" disabled>Stop</button>"), std::string::npos);
    EXPECT_NE(page.find("<span class=\"icon-box question\">?</span>"), std::string::npos);
    EXPECT_NE(page.find("<button>Yes</button><button class=\"pressed\" title=\"the "
                        "answer\">No</button>"),
              std::string::npos);
}

TEST(StatePageErrors, DamagedStatesAreRefusedNamingWhatIsWrong) {
    auto state = SmallState();
    state["stores"][0]["folders"][1]["items"][0]["subject"] = 42;
    EXPECT_EQ(ErrorOf(state),
              "stores[0].folders[1].items[0].subject: a text was expected, found a whole number");

    state = SmallState();
    state["explorers"][0]["bars"][0]["controls"][1].erase("controls");
    EXPECT_EQ(ErrorOf(state), "explorers[0].bars[0].controls[1]: has no \"controls\"");

    state = SmallState();
    state["progressWindow"] = {{"shown", true}};
    EXPECT_EQ(ErrorOf(state), "progressWindow: has no \"title\"");

    state = SmallState();
    state.erase("stateVersion");
    EXPECT_NE(ErrorOf(state).find("has no \"stateVersion\""), std::string::npos);

    state = SmallState();
    state["stateVersion"] = olsim::kStateVersion + 1;
    EXPECT_EQ(ErrorOf(state),
              "the state is of version " + std::to_string(olsim::kStateVersion + 1) +
                  "; this olsim reads version " + std::to_string(olsim::kStateVersion));

    EXPECT_EQ(ErrorOf(ordered_json::array()), "the state must be an object; it is a list");
    EXPECT_EQ(ErrorOf(SmallState()), "");
}

TEST(StatePageErrors, TheViewCommandNamesTheFileAndWhereTheTextBreaks) {
    TempRoot root;
    const auto cut = (root.path() / "cut.json").string();
    std::ofstream(cut) << SmallState().dump(2).substr(0, 200);
    std::string error;
    EXPECT_FALSE(olsim::view::WriteStatePage(cut, "", error));
    EXPECT_EQ(error.rfind(cut + ": the state is not JSON: parse error at line ", 0), 0u) << error;

    // Well-formed text whose number no double holds.
    const auto huge = (root.path() / "huge.json").string();
    std::ofstream(huge) << R"({"stateVersion": 1e999})";
    EXPECT_FALSE(olsim::view::WriteStatePage(huge, "", error));
    EXPECT_EQ(error, huge + ": the state is not JSON: number overflow parsing '1e999'");

    EXPECT_FALSE(olsim::view::WriteStatePage((root.path() / "none.json").string(), "", error));
    EXPECT_NE(error.find("none.json: cannot be read"), std::string::npos);

    const auto good = (root.path() / "good.json").string();
    std::ofstream(good) << SmallState().dump();
    ASSERT_TRUE(olsim::view::WriteStatePage(good, "", error)) << error;
    EXPECT_TRUE(std::filesystem::exists(root.path() / "good.html"));
    EXPECT_TRUE(olsim::view::IsPageFile("x.HTML"));
    EXPECT_FALSE(olsim::view::IsPageFile("x.json"));
}

}  // namespace
