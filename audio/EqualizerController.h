// The main frame's side of the equalizer: turns band slider positions into
// gains for the player, keeps the on/off switch, stores both in config.ini
// (section PLAYER: EqualizerBand1 ... EqualizerBand10 and EqualizerTurn) and
// serves the preset menu.
//
// The controller knows the skinned controls only through IEqualizerControls,
// so it runs and is tested without any window. A skin may have no equalizer
// controls at all, or several sliders per band: the controller keeps the last
// known position of every band, reads the first slider of a band when there
// is one and moves all sliders of a band together.
//
// Threads: window thread only. The player sink is called synchronously; the
// player takes its own processing lock inside SetEqualizer.
#pragma once

#include "audio/EqualizerPresets.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The skinned equalizer controls of the main frame.
class IEqualizerControls {
public:
    virtual ~IEqualizerControls() = default;
    // Position of the first slider of band (0-based), none when the skin has
    // no slider for it.
    virtual std::optional<int> GetBandPosition(int band) const = 0;
    // Moves every slider of band (0-based) to position.
    virtual void SetBandPosition(int band, int position) = 0;
    // Sets the check state of every EQUA_TURN button.
    virtual void SetTurnChecked(bool checked) = 0;
    // Enables or disables every band slider and every EQUA_PRESET button.
    virtual void SetEqualizerEnabled(bool enabled) = 0;
};

class CEqualizerController {
public:
    static constexpr int kBands = CEqualizerPreset::kBandCount;
    // Window ids of the band sliders: band b (0-based) is kFirstSliderId + 10 b;
    // scroll notifications from kFirstSliderId .. kLastSliderId re-apply the
    // equalizer.
    static constexpr int kFirstSliderId = 16000;
    static constexpr int kLastSliderId = 16099;
    static constexpr int kTurnCommand = 14040;   // EQUA_TURN
    static constexpr int kPresetCommand = 14050; // EQUA_PRESET
    static constexpr const char* kSection = "PLAYER";

    // Receives (gains[kBands], kBands, on); the host wires it to
    // CExtPlayer::SetEqualizer.
    using PlayerSink = std::function<void(const float* gains, int count, bool on)>;

    // One entry of the preset popup menu, in file order.
    struct PresetMenuItem {
        int id = 0;             // command of the item: preset index + 1
        bool separator = false; // the preset is named "----"
        bool checked = false;   // the sliders already show this preset
        std::string text;       // preset name (empty for a separator)
    };

    // configFile: the full path of config.ini. presetsFile: the full path of
    // Equalizer_presets.ini, read once here (missing file: no presets).
    CEqualizerController(std::string configFile, const std::string& presetsFile, PlayerSink sink);

    // The controls of the current skin; nullptr while none exist (they are
    // destroyed and rebuilt on a skin change). Not owned.
    void SetControls(IEqualizerControls* controls);

    // Slider position 0..200 to gain: (200 - p) / 100, so 0 is the largest
    // boost (2.0, shaped to 5.0 by the equalizer), 100 flat and 200 silence.
    // Positions out of range are clamped first.
    static float GainFromPosition(int position);

    // Reads EqualizerTurn ("On" in any case means on; default off) and sets
    // every EQUA_TURN button accordingly. Start-up.
    void LoadEqualizerTurn();
    // Writes EqualizerTurn as "On" or "Off". Shutdown. False when the write failed.
    bool SaveEqualizerTurn() const;

    // Reads EqualizerBand1..10 (default 100), moves the sliders and applies.
    void LoadEqualizerState();
    // Writes the band positions as EqualizerBand1..10. Before a skin change
    // and at shutdown. False when a write failed.
    bool SaveEqualizerState();

    // Reads the band positions from the sliders and hands the gains and the
    // on flag to the player.
    void ApplyEqualizer();
    // Enables the band sliders and preset buttons exactly when the equalizer is on.
    void UpdateEqualizerEnable();

    // A scroll notification from the control with window id; true when it
    // was an equalizer band (and the equalizer was re-applied).
    bool OnSliderScroll(int id);
    // EQUA_TURN pressed: toggles the switch, applies, updates enabled states.
    void OnTurnPressed();

    // The items of the preset menu (EQUA_PRESET), checks included.
    std::vector<PresetMenuItem> BuildPresetMenu();
    // The command chosen from the preset menu: 0 (cancelled) and unknown or
    // separator ids change nothing and return false; otherwise the sliders
    // take the preset's positions and the equalizer is applied.
    bool ChoosePreset(int command);

    bool IsOn() const { return eqTurn; }
    int GetPosition(int band) const { return positions[band]; }
    const EqualizerPresetList& GetPresets() const { return presets; }

private:
    // Refreshes positions from the first slider of each band, where one exists.
    void ReadSliders();
    void SetBand(int band, int position);

    std::string configFile;
    PlayerSink sink;
    IEqualizerControls* controls = nullptr;
    EqualizerPresetList presets;
    std::array<int, kBands> positions;
    bool eqTurn = false;
};
