// The surround settings' host over the real player: the surround calls go
// to CExtPlayer, the mode probe asks the configured output device, and the
// surround-on switch lives here. What only the main frame knows (the
// position slider, the SURR_SHOW buttons, starting playback through the
// module interface so its timer runs) comes in as optional hooks.
//
// Window thread only.
#pragma once

#include "audio/ExtPlayer.h"
#include "audio/SurroundSettings.h"

#include <functional>
#include <string>

class CPlayerSurroundHost : public ISurroundHost {
public:
    // (channels, mask) -> whether the output device opens that layout.
    using LayoutProbe = std::function<bool(int channels, std::uint32_t mask)>;

    // Without a probe the configured output device is asked.
    explicit CPlayerSurroundHost(CExtPlayer& player, LayoutProbe probe = {});

    // Hooks of the frame; each may stay empty.
    std::function<void()> play;                    // default: the player's Play
    std::function<int()> positionSlider;           // default: 0
    std::function<void(int)> setPositionSlider;    // default: nothing
    std::function<void(bool)> surroundTurnChanged; // the SURR_SHOW checks

    void SetSurroundOn(bool on) override { m_player.SetSurroundOn(on); }
    void SetSurroundParams(const SurroundParams& p) override { m_player.SetSurroundParams(p); }
    void SetSurroundParam(int id, int value) override { m_player.SetSurroundParam(id, value); }
    void SetSoundPosition(float x, float y) override { m_player.SetSoundPosition(x, y); }
    bool SurroundTurn() const override { return m_turn; }
    void SetSurroundTurn(bool on) override;
    bool SupportsLayout(int channels, std::uint32_t mask) override;
    std::uint32_t PlayerState() override { return m_player.GetState(); }
    void StopPlayer() override { m_player.StopSmoothly(); }
    void ReapplyFormat() override;
    void PlayPlayer() override;
    void PausePlayer() override { m_player.Pause(); }
    int PositionSlider() override { return positionSlider ? positionSlider() : 0; }
    void SetPositionSlider(int position) override {
        if (setPositionSlider) setPositionSlider(position);
    }

private:
    CExtPlayer& m_player;
    LayoutProbe m_probe;
    bool m_turn = false;
};
