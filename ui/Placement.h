// Where skinned controls sit in their panels and where the five panels sit
// in the frame. Window-free: the widgets call this arithmetic with their
// sizes and move themselves.
#pragma once

#include <string>

#include "ui/Geometry.h"

class CXmlNode;

namespace ui {

// Placement flags of a control in its panel.
enum EPlaceFlags : unsigned {
    kPlaceLeft = 0x1,
    kPlaceRight = 0x10,
    kPlaceHCentre = 0x100,
    kPlaceTop = 0x1000,
    kPlaceBottom = 0x10000,
    kPlaceVCentre = 0x100000,
    kPlaceHStretch = 0x1000000,
    kPlaceVStretch = 0x10000000,
};

// The five frame panels, in the order the frame creates them.
enum class EPanel { Up = 0, Down, Left, Right, Player, Count };
constexpr int kPanelCount = static_cast<int>(EPanel::Count);
// "FramePanelUp" ... "FramePanelPlayer": the element names and "Owner" values.
const char* PanelName(EPanel panel);
// The panel an "Owner" value names (case ignored); false for none.
bool PanelFromName(const std::string& name, EPanel* panel);

// A control's placement as the skin element gives it.
struct SPlacement {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    unsigned flags = kPlaceLeft | kPlaceTop;
    bool hasOwner = false;
    EPanel owner = EPanel::Up;
};

// Reads "HorzAlign", "VertAlign", "HorzStretch", "VertStretch", "x", "y",
// "cx", "cy" and "Owner" (keywords case-insensitive); a missing number is 0.
SPlacement ReadPlacement(const CXmlNode& element);

// The control's rectangle in a panel whose initial size is initial and whose
// client size is now client. currentSize is the control's present size, used
// for a cx or cy of 0.
SRect PlaceRect(int x, int y, int cx, int cy, unsigned flags, SSize initial, SSize client,
                SSize currentSize);

// Frame layout: the panels' initial sizes and the frame's client rectangle.
struct SFrameLayoutIn {
    SRect client;
    SSize initial[kPanelCount];
    bool playerShown = true;
};
struct SFrameLayoutOut {
    SRect panel[kPanelCount];
    bool playerVisible = true;
    SRect moduleArea; // what remains for the module client area
};
SFrameLayoutOut LayoutFrame(const SFrameLayoutIn& in);

// The minimum client size a skin's panels need: the widest of Up, Down and
// Player; the heights of Up, Down and Player plus the taller side panel.
SSize MinimumClientSize(const SSize initial[kPanelCount]);

} // namespace ui
