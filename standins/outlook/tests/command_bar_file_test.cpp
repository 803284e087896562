// The command bar file Outlook keeps between runs: what is saved reads back
// the same, and a damaged file gives no bars rather than half of them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command_bar_file.h"
#include "temp_root.h"

namespace {

using outlook::host::BarInfo;
using outlook::host::ControlInfo;
using outlook::objects::LoadCommandBars;
using outlook::objects::SaveCommandBars;

ControlInfo Button(std::wstring caption) {
    ControlInfo button;
    button.type = 1;
    button.caption = std::move(caption);
    return button;
}

// A pop-up menu `depth` levels deep on a bar, one button at the bottom.
BarInfo NestedMenus(int depth) {
    BarInfo bar;
    bar.name = L"Nested";
    ControlInfo inner = Button(L"Bottom");
    for (int level = 1; level < depth; ++level) {
        ControlInfo menu;
        menu.type = 10;
        menu.caption = L"Level " + std::to_wstring(depth - level);
        menu.controls.push_back(std::move(inner));
        inner = std::move(menu);
    }
    bar.controls.push_back(std::move(inner));
    return bar;
}

void Write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

TEST(CommandBarFile, BarsReadBackAsTheyWereSaved) {
    TempRoot root;
    const auto file = root.path() / "outcmd.dat";
    BarInfo bar = NestedMenus(3);
    bar.name = L"Tab\there, line\nthere, back\\slash, caf\u00e9 \u65e5";
    bar.position = 4;
    bar.rowIndex = 7;
    bar.left = -20;
    bar.visible = false;
    bar.controls.front().tooltip = L"ends in a backslash\\";
    bar.controls.front().tag = L"Tag\tMenu";
    bar.controls.front().width = 88;
    bar.controls.push_back(Button(L"Second"));
    bar.controls.back().image = L"C:\\Program Files\\Faces\\Block.bmp";
    bar.controls.back().beginGroup = true;
    ASSERT_TRUE(SaveCommandBars(file, {bar}));

    const std::vector<BarInfo> read = LoadCommandBars(file);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].name, bar.name);
    EXPECT_EQ(read[0].position, 4);
    EXPECT_EQ(read[0].rowIndex, 7);
    EXPECT_EQ(read[0].left, -20);
    EXPECT_FALSE(read[0].visible);
    ASSERT_EQ(read[0].controls.size(), 2u);
    const ControlInfo& menu = read[0].controls[0];
    EXPECT_EQ(menu.tooltip, L"ends in a backslash\\");
    EXPECT_EQ(menu.tag, L"Tag\tMenu");
    EXPECT_EQ(menu.width, 88);
    ASSERT_EQ(menu.controls.size(), 1u);
    ASSERT_EQ(menu.controls[0].controls.size(), 1u);
    EXPECT_EQ(menu.controls[0].controls[0].caption, L"Bottom");
    EXPECT_EQ(read[0].controls[1].image, L"C:\\Program Files\\Faces\\Block.bmp");
    EXPECT_TRUE(read[0].controls[1].beginGroup);
}

TEST(CommandBarFile, ADamagedFileGivesNoBars) {
    TempRoot root;
    const auto file = root.path() / "outcmd.dat";
    const std::string bar = "bar\tMine\t1\t3\t0\t52\t0\t1\n";
    const std::string control = "\t1\tButton\t\t\t1\t1\t0\t70\t0\t2\t\n";
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> damaged = {
        {"a number that is none", "bar\tMine\t1\tthree\t0\t52\t0\t1\n"},
        {"a number beyond an int", "bar\tMine\t1\t99999999999\t0\t52\t0\t1\n"},
        {"a field missing", "bar\tMine\t1\t3\t0\t52\t0\n"},
        {"a control before any bar", "control\t1" + control},
        {"a control at depth 0", bar + "control\t0" + control},
        {"a control deeper than its menu", bar + "control\t1" + control + "control\t3" + control},
        {"a line of another kind", bar + "button\t1" + control},
    };
    for (const Case& c : damaged) {
        Write(file, c.text);
        EXPECT_TRUE(LoadCommandBars(file).empty()) << c.what;
    }
    Write(file, bar + "control\t1" + control);
    EXPECT_EQ(LoadCommandBars(file).size(), 1u);  // the same lines undamaged
    EXPECT_TRUE(LoadCommandBars(root.path() / "missing.dat").empty());
}

TEST(CommandBarFile, MenusNestSixteenLevelsAndNoDeeper) {
    TempRoot root;
    const auto file = root.path() / "outcmd.dat";
    ASSERT_TRUE(SaveCommandBars(file, {NestedMenus(16)}));
    EXPECT_EQ(LoadCommandBars(file).size(), 1u);
    ASSERT_TRUE(SaveCommandBars(file, {NestedMenus(17)}));
    EXPECT_TRUE(LoadCommandBars(file).empty());
}

}  // namespace
