#include "ui/Placement.h"

#include <gtest/gtest.h>

#include "xml/XmlNode.h"

using namespace ui;

namespace {
const SSize kInitial{200, 40};
SRect Place(int x, int cx, unsigned flags, int clientWidth, int currentWidth = 10) {
    return PlaceRect(x, 5, cx, 20, flags | kPlaceTop, kInitial, SSize{clientWidth, 40},
                     SSize{currentWidth, 20});
}
} // namespace

TEST(Placement, RightAlignedFollowsTheRightEdgeButNeverMovesLeftOfItsSkinPlace) {
    EXPECT_EQ(Place(170, 20, kPlaceRight, 300), (SRect{270, 5, 290, 25}));
    EXPECT_EQ(Place(170, 20, kPlaceRight, 200), (SRect{170, 5, 190, 25}));
    // Narrower than the skin: the effective width stays the initial width.
    EXPECT_EQ(Place(170, 20, kPlaceRight, 120), (SRect{170, 5, 190, 25}));
}

TEST(Placement, StretchedWidensByExactlyTheExtraWidthAndIgnoresAlignment) {
    for (int width : {100, 200, 250, 613}) {
        const SRect r = Place(10, 50, kPlaceHStretch | kPlaceRight, width);
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.Width(), 50 + std::max(0, width - 200)) << width;
    }
}

TEST(Placement, CentredKeepsItsOffsetFromTheCentreLine) {
    for (int width : {200, 300, 400, 401}) {
        const SRect r = Place(90, 20, kPlaceHCentre, width);
        EXPECT_EQ(r.left - width / 2, 90 - 100) << width;
    }
    // Twice the initial width: moved right by half the initial width.
    EXPECT_EQ(Place(90, 20, kPlaceHCentre, 400).left, 90 + 100);
}

TEST(Placement, ZeroSizeKeepsTheControlsPresentSize) {
    EXPECT_EQ(Place(10, 0, kPlaceLeft, 300, 33).Width(), 33);
}

TEST(Placement, VerticalAxisUsesTheVerticalFlags) {
    const SRect r = PlaceRect(0, 10, 5, 8, kPlaceLeft | kPlaceBottom, SSize{50, 40}, SSize{50, 60},
                              SSize{5, 8});
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.bottom, 38);
}

TEST(Placement, ReadsAttributesWithKeywordsInAnyCase) {
    CXmlNode e("PLAYER_PLAY");
    e.SetAttribute("HorzAlign", "right");
    e.SetAttribute("VertAlign", "Bottom");
    e.SetAttribute("HorzStretch", "yes");
    e.SetAttribute("x", 4);
    e.SetAttribute("cy", 9);
    e.SetAttribute("Owner", "frampanelup");
    SPlacement p = ReadPlacement(e);
    EXPECT_EQ(p.flags, kPlaceRight | kPlaceBottom | kPlaceHStretch);
    EXPECT_EQ(p.x, 4);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.cy, 9);
    EXPECT_FALSE(p.hasOwner); // misspelt owner: the control is not placed

    e.SetAttribute("Owner", "FRAMEPANELPLAYER");
    e.SetAttribute("HorzAlign", "middle");
    p = ReadPlacement(e);
    ASSERT_TRUE(p.hasOwner);
    EXPECT_EQ(p.owner, EPanel::Player);
    EXPECT_EQ(p.flags & (kPlaceLeft | kPlaceRight | kPlaceHCentre), kPlaceHCentre);
}

namespace {
SFrameLayoutIn Frame(int w, int h, bool player) {
    SFrameLayoutIn in;
    in.client = SRect{0, 0, w, h};
    in.initial[int(EPanel::Up)] = {300, 30};
    in.initial[int(EPanel::Down)] = {300, 20};
    in.initial[int(EPanel::Left)] = {8, 100};
    in.initial[int(EPanel::Right)] = {8, 100};
    in.initial[int(EPanel::Player)] = {300, 60};
    in.playerShown = player;
    return in;
}
} // namespace

// A skin with coordinates at the ends of the int range once overflowed the
// placement arithmetic (found by fuzzing the skin tree): they are clamped,
// and every rectangle still has a width and height an int can hold.
TEST(Placement, HugeSkinCoordinatesAreClampedRatherThanOverflowing) {
    CXmlNode e("PLAYER_PLAY");
    e.SetAttribute("x", 2147483647);
    e.SetAttribute("cx", -2147483647);
    const SPlacement p = ReadPlacement(e);
    EXPECT_EQ(p.x, 1 << 24);
    EXPECT_EQ(p.cx, -(1 << 24));
    for (unsigned flags : {kPlaceRight | kPlaceBottom, kPlaceHCentre | kPlaceVCentre,
                           kPlaceHStretch | kPlaceVStretch}) {
        const SRect r =
            PlaceRect(2147483647, -2147483647, 2147483647, 8, flags, SSize{-2147483647, 2147483647},
                      SSize{2147483647, 100}, SSize{2147483647, 2147483647});
        EXPECT_LE(static_cast<long long>(r.right) - r.left, 1LL << 26);
        EXPECT_LE(static_cast<long long>(r.bottom) - r.top, 1LL << 26);
    }
}

TEST(FrameLayout, PanelsFrameTheModuleArea) {
    const SFrameLayoutOut out = LayoutFrame(Frame(640, 480, true));
    EXPECT_EQ(out.panel[int(EPanel::Up)], (SRect{0, 0, 640, 30}));
    EXPECT_EQ(out.panel[int(EPanel::Player)], (SRect{0, 420, 640, 480}));
    EXPECT_EQ(out.panel[int(EPanel::Down)], (SRect{0, 400, 640, 420}));
    EXPECT_EQ(out.panel[int(EPanel::Left)].left, 0);
    EXPECT_EQ(out.panel[int(EPanel::Right)].left, 632);
    EXPECT_EQ(out.moduleArea, (SRect{8, 30, 632, 400}));
}

TEST(FrameLayout, HidingThePlayerGivesItsHeightToTheModulesAndKeepsTheBottomPanelLow) {
    const SFrameLayoutOut shown = LayoutFrame(Frame(640, 480, true));
    const SFrameLayoutOut hidden = LayoutFrame(Frame(640, 480, false));
    EXPECT_FALSE(hidden.playerVisible);
    EXPECT_EQ(hidden.panel[int(EPanel::Down)], (SRect{0, 460, 640, 480}));
    EXPECT_EQ(hidden.moduleArea.Height(), shown.moduleArea.Height() + 60);
}

TEST(FrameLayout, MinimumSizeSumsTheStackedPanels) {
    const SFrameLayoutIn in = Frame(0, 0, true);
    EXPECT_EQ(MinimumClientSize(in.initial), (SSize{300, 30 + 20 + 60 + 100}));
}
