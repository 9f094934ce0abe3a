// The main frame's placement in the host's parameter section of config.ini:
// "Size" ("Maximize", "Minimize" or "Exact") and, only with "Exact", the
// window rectangle as "Left", "Top", "Width" and "Height".
#pragma once

#include "shell/Settings.h"

namespace shell {

struct CRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const CRect&) const = default;
};

enum class PlacementMode { Maximize, Minimize, Exact };

struct CPlacement {
    PlacementMode mode = PlacementMode::Maximize;
    CRect rect; // meaningful for Exact only
};

// The stored placement. "Size" is compared without regard to case; any other
// value, or none, means maximised. For "Exact" the rectangle starts all zero
// and each present key sets its edge (Width and Height relative to Left and
// Top). A rectangle without area cannot be shown, so it falls back to
// maximised rather than opening an invisible window.
CPlacement ReadPlacement(const CSettings& settings);

// Stores the placement at close or on minimise to the tray: only "Size" for a
// maximised or minimised window, so the last normal rectangle survives.
void SavePlacement(const CSettings& settings, const CPlacement& placement);

} // namespace shell
