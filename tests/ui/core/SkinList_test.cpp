#include "ui/SkinList.h"

#include <fstream>
#include <gtest/gtest.h>

#include "shell/Settings.h"
#include "support/TempDir.h"

using namespace ui;

namespace {
void Write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}
} // namespace

TEST(SkinList, KeepsOnlyFilesWithASkinRootAndACaption) {
    testsupport::TempDir dir;
    Write(dir.file("a.xml"), "<skin Caption=\"Lower\" Width=\"400\" Height=\"300\"/>");
    Write(dir.file("b.xml"), "<SKIN Caption=\"\"/>");
    Write(dir.file("c.xml"), "<SKIN/>");
    Write(dir.file("d.xml"), "<THEME Caption=\"Other\"/>");
    Write(dir.file("e.xml"), "<SKIN Caption=\"Broken\"");
    Write(dir.file("f.XML"), "<SKIN Caption=\"Upper ext\"/>");
    Write(dir.file("g.txt"), "<SKIN Caption=\"Not xml\"/>");
    const std::vector<_sSkin> skins = FindSkinFiles(dir.path());
    ASSERT_EQ(skins.size(), 2u);
    EXPECT_EQ(skins[0].name, "Lower");
    EXPECT_EQ(skins[0].path, dir.file("a.xml"));
    EXPECT_EQ(skins[0].minWidth, 400);
    EXPECT_EQ(skins[0].minHeight, 300);
    EXPECT_EQ(skins[1].name, "Upper ext");
    EXPECT_EQ(skins[1].minWidth, 0);
    EXPECT_TRUE(FindSkinFiles(dir.file("missing")).empty());
}

TEST(SkinList, StoredNameChoosesCaseInsensitivelyAndUnknownFallsToTheFirst) {
    std::vector<_sSkin> skins(3);
    skins[0].name = "Dusk";
    skins[1].name = "Linen";
    skins[2].name = "Pale";
    EXPECT_EQ(ChooseSkin(skins, "linen"), 1);
    EXPECT_EQ(ChooseSkin(skins, "gone"), 0);
    EXPECT_EQ(ChooseSkin(skins, ""), 0);
    EXPECT_EQ(ChooseSkin({}, "Dusk"), -1);
}

TEST(SkinList, EverySkinHasItsCommand) {
    EXPECT_EQ(SkinIndexFromCommand(366, 20), 0);
    EXPECT_EQ(SkinIndexFromCommand(366 + 19, 20), 19);
    EXPECT_EQ(SkinIndexFromCommand(366 + 20, 20), -1);
    EXPECT_EQ(SkinIndexFromCommand(365, 20), -1);
}

TEST(SkinList, SwitchesAndPanelRoundTripThroughConfig) {
    testsupport::TempDir dir;
    shell::CSettings settings(dir.file("config.ini"));
    EXPECT_EQ(ReadPlayerSwitches(settings), SPlayerSwitches{});
    EXPECT_TRUE(ReadPlayerPanelShown(settings));
    EXPECT_EQ(ReadCurrentSkinName(settings), "");

    SPlayerSwitches s;
    s.repeat = true;
    s.surround = true;
    WritePlayerSwitches(settings, s);
    WritePlayerPanelShown(settings, false);
    WriteCurrentSkinName(settings, "Linen");
    EXPECT_EQ(ReadPlayerSwitches(settings), s);
    EXPECT_FALSE(ReadPlayerPanelShown(settings));
    EXPECT_EQ(ReadCurrentSkinName(settings), "Linen");
    EXPECT_EQ(settings.GetString("PLAYER", "Repeat"), "On");
    EXPECT_EQ(settings.GetString("PLAYER", "Shuffle"), "Off");
}
