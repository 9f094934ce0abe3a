#include "ui/ControlTable.h"

#include <gtest/gtest.h>

using namespace ui;

namespace {
veneer::CSkinBase* Fake(int n) {
    return reinterpret_cast<veneer::CSkinBase*>(0x1000 * n);
}
} // namespace

TEST(ControlTable, HasTheFixedRowsInOrder) {
    CControlTable t;
    ASSERT_EQ(t.Rows().size(), 41u);
    EXPECT_STREQ(t.Rows().front().name, "PLAYER_GOTOPREV");
    EXPECT_STREQ(t.Rows().back().name, "FRAME_CLOSE");
    EXPECT_EQ(t.FindRowByName("equa_slider10")->id, 16090);
    EXPECT_EQ(t.FindRowByName("MENU_HELP")->id, 15060);
    EXPECT_EQ(t.FindRowByName("PLAYER_SHOW")->kind, kKindCheckButton);
    EXPECT_EQ(t.FindRowByName("NO_SUCH"), nullptr);
}

TEST(ControlTable, SecondInstanceGetsTheNextIdAndBothCommandTheRow) {
    CControlTable t;
    SControlRow& play = *t.FindRowByName("PLAYER_PLAY");
    EXPECT_EQ(t.AddInstance(play, Fake(1)), 33011);
    EXPECT_EQ(t.AddInstance(play, Fake(2)), 33012);
    // The newest is at the head of the list.
    EXPECT_EQ(t.Controls(33010), (std::vector<veneer::CSkinBase*>{Fake(2), Fake(1)}));
    EXPECT_EQ(t.MapCommand(33011), 33010);
    EXPECT_EQ(t.MapCommand(33012), 33010);
    EXPECT_EQ(t.FindControlById(33012), Fake(2));
    // Ids that are no instance (a menu command, a module button) pass unchanged.
    EXPECT_EQ(t.MapCommand(33010), 33010);
    EXPECT_EQ(t.MapCommand(236), 236);
    EXPECT_EQ(t.FindRowIdByInstanceId(33013), 0);
    EXPECT_EQ(t.FindControlById(33013), nullptr);
    EXPECT_TRUE(t.Controls(12345).empty());
}

TEST(ControlTable, SliderKindComesFromAnExactType) {
    EXPECT_EQ(ResolveKind(kKindSlider, "Vertical"), kKindVertSlider);
    EXPECT_EQ(ResolveKind(kKindSlider, "Horizontal"), kKindHorzSlider);
    EXPECT_EQ(ResolveKind(kKindSlider, "Round"), kKindRoundSlider);
    EXPECT_EQ(ResolveKind(kKindSlider, nullptr), 0);
    EXPECT_EQ(ResolveKind(kKindSlider, "horizontal"), 0);
    EXPECT_EQ(ResolveKind(kKindPushButton, nullptr), kKindPushButton);
}

// Texts are cut to 29 characters; a byte cut would split a translated
// character and show garbage in the tooltip.
TEST(ControlTable, LongTextsAreCutOnCharacterBoundaries) {
    EXPECT_EQ(CControlTable::CutText(std::string(40, 'a')), std::string(29, 'a'));
    std::string umlauts;
    for (int i = 0; i < 35; ++i)
        umlauts += "\xC3\xA4";
    EXPECT_EQ(CControlTable::CutText(umlauts).size(), 58u);
    CControlTable t;
    t.LoadTexts([](int id) { return id == 277 ? std::string("Play") : std::string("x"); });
    EXPECT_EQ(t.FindRow(33010)->tooltip, "Play");
    EXPECT_EQ(t.FindRow(33010)->statusText, "Play");
    EXPECT_TRUE(t.FindRow(15000)->tooltip.empty());
}
