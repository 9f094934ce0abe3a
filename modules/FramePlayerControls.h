// The player-control side of IModuleHostSite over the frame's skinned
// controls: slider look-ups and moves (with their tooltips), enabled states
// and the play/pause swap. The frame's site forwards these calls here.
//
// Window thread only.
#pragma once

#include "modules/ModuleHostSite.h"

#include <optional>

namespace ui {
class CFrameControls;
}

namespace modules {

class CFramePlayerControls {
public:
    explicit CFramePlayerControls(ui::CFrameControls& controls) : m_controls(controls) {}

    std::optional<int> FirstSliderPosition(EPlayerSlider kind) const;
    // Moves every slider of the kind and sets their tooltips from the new
    // position. With skipCaptured a slider whose thumb the user holds stays.
    void SetSliderPositions(EPlayerSlider kind, int position, bool skipCaptured);
    // Tooltips of every slider of the kind from its own position.
    void RefreshTooltips(EPlayerSlider kind);
    void SetControlEnabled(unsigned controlId, bool enabled);
    // A PLAYER_PLAY and a PLAYER_PAUSE button at the same place swap: pause
    // shows while playing, play otherwise. Buttons with no twin stay shown.
    void SetPlayPauseVisibility(bool playing);

private:
    ui::CFrameControls& m_controls;
};

} // namespace modules
