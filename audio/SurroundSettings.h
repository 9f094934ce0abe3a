// The surround settings behind the "Surround" dialog: what the dialog shows
// and what each of its controls does to the player, without any window, so
// it runs and is tested without a display (audio/dialogs/SurroundDlg.h is the
// dialog on top of it).
//
// It keeps the settings of section PLAYER of config.ini (SurroundMode,
// SurroundLFE, SurroundLFEVolume, SurroundVolPositioning,
// SurroundVolOriginal, SurroundVolReverb, SurroundRevSize,
// SurroundRevAbsorb, SurroundRevDecay, SurroundReverb, SurroundDelays,
// SurroundProcessAdvance, SurroundSoundPosX/Y, SurroundBasisPreset,
// SurroundSupportFormatDlg), the preset list of Zuzuvezizu_presets.ini, and
// which speaker modes the output device can open. The surround-on switch
// (ZuzuvezizuTurn) is the main frame's; the settings reach it through the host.
//
// Threads: window thread only. The host forwards to the player, which takes
// its processing lock.
#pragma once

#include "audio/SurroundPresets.h"

#include <array>
#include <cstdint>
#include <string>

// What the surround settings act on: the player, the surround-on switch, the
// position slider and the output device.
class ISurroundHost {
public:
    virtual ~ISurroundHost() = default;
    virtual void SetSurroundOn(bool on) = 0;
    virtual void SetSurroundParams(const SurroundParams& params) = 0;
    virtual void SetSurroundParam(int id, int value) = 0;
    virtual void SetSoundPosition(float x, float y) = 0;
    // The main frame's ZuzuvezizuTurn; setting it also sets the check of the
    // frame's SURR_SHOW button.
    virtual bool SurroundTurn() const = 0;
    virtual void SetSurroundTurn(bool on) = 0;
    // Whether the output device opens 16-bit PCM with channels channels and
    // this channel mask at 44.1 kHz.
    virtual bool SupportsLayout(int channels, std::uint32_t mask) = 0;
    // For the restart around a change of the output's channel count.
    virtual std::uint32_t PlayerState() = 0; // 0 playing, 1 paused, 2 stopped
    virtual void StopPlayer() = 0;           // Stop(1)
    virtual void ReapplyFormat() = 0;        // SetFormat with the player's own format
    virtual void PlayPlayer() = 0;
    virtual void PausePlayer() = 0;
    virtual int PositionSlider() = 0; // the first position slider's position, 0 without one
    virtual void SetPositionSlider(int position) = 0;
};

class CSurroundSettings {
public:
    static constexpr const char* kSection = "PLAYER";
    static constexpr int kModes = 6; // radio buttons 4.0 ... 7.1 Front
    static constexpr int kStereoMode = 6;
    // Every mode's bit set (bit mode + 1): nothing to tell the user.
    static constexpr std::uint32_t kAllModes = 0x7E;

    // Control identifiers of the dialog.
    enum EControl : int {
        kPresetCombo = 308,
        kTurnCheck = 321,
        kFirstModeRadio = 344, // 344 ... 349 for modes 0 ... 5
        kLfeFrequencySlider = 310,
        kLfeVolumeSlider = 311,
        kRoomSizeSlider = 312,
        kAbsorbSlider = 313,
        kDecaySlider = 314,
        kPositioningSlider = 315,
        kOriginalSlider = 334,
        kReverbVolumeSlider = 335,
        kReverbCheck = 322,
        kAdvanceCheck = 324,
        kDelaysCheck = 325,
        kViewPlaceholder = 362,
        kViewId = 1234,
    };

    // One slider of the dialog: its control, range and the identifier its
    // value goes to the player with (SetSurroundParam).
    struct SliderInfo {
        int control;
        int minimum;
        int maximum;
        int paramId;
    };
    static const std::array<SliderInfo, 8>& Sliders();

    static std::uint32_t ModeMask(int mode); // 0x33 ... 0xFF, 0x03 for mode 6
    static int ModeChannels(int mode);       // 4 ... 8, 2 for mode 6
    static const char* ModeName(int mode);   // "4.0" ... "7.1 Front"
    // The mode to use when mode is not supported: the first supported of
    // 5.1, 7.1, 7.1 Front, 6.1, 4.1, 4.0; mode itself when it is supported,
    // is 6 or nothing is supported.
    static int FallbackMode(int mode, std::uint32_t supportedModes);
    // The support notice for the set of supported modes ("" for all six).
    static std::string SupportNoticeText(std::uint32_t supportedModes);

    // configFile: config.ini; presetsFile: Zuzuvezizu_presets.ini (read here;
    // missing: no presets).
    CSurroundSettings(std::string configFile, const std::string& presetsFile, ISurroundHost& host);

    // Reads the settings; with apply also probes the device, settles the
    // mode and hands everything to the player (the individual settings after
    // the basis preset, so they win).
    void LoadSettings(bool apply);
    // Writes the settings that were loaded. False when a write failed.
    bool SaveSettings() const;
    // Probes the six modes against the device; clears the surround switch
    // when none opens.
    void ProbeModes();

    // --- the dialog's controls ---
    // The preset chosen from the combo box (index into Presets()); a
    // separator or an index out of range changes nothing (false).
    bool ChoosePreset(int index);
    // A slider notification (veneer::ESliderCode). The room size goes to the
    // player only when the scroll ends; the others as they move. True when
    // the setting changed.
    bool OnSlider(int control, int code, int position);
    void OnTurnToggled();
    void OnReverbToggled();
    void OnDelaysToggled();
    void OnAdvanceToggled();
    void OnModeChosen(int mode);
    // The sound marker dropped at pixel (px, py) of a view of the given size.
    void OnMarkerDragged(int px, int py, int viewWidth, int viewHeight);
    // The support notice closed; dontShowAgain: its check box.
    void OnSupportNoticeClosed(bool dontShowAgain);

    // --- what the dialog shows ---
    int Value(int sliderControl) const;
    static std::string Label(int sliderControl, int value);
    bool ReverbControlsEnabled() const { return m_host.SurroundTurn() && reverbOn; }
    bool LfeControlsEnabled() const { return surroundMode != 0; }
    bool NeedsSupportNotice() const { return showSupportNotice && supportedModes != kAllModes; }
    float RoomMetres() const { return static_cast<float>(roomSize) / 10.0f; }
    const SurroundPresetList& Presets() const { return presets; }
    const SurroundPreset* BasisPreset() const {
        return basisPreset >= 0 ? &presets[static_cast<std::size_t>(basisPreset)] : nullptr;
    }
    int BasisPresetIndex() const { return basisPreset; }
    bool SurroundOn() const { return m_host.SurroundTurn(); }

    // The settings (public, as the dialog's data).
    int surroundMode = 2;
    int lfeFrequency = 80;
    int lfeVolume = 100;
    int volPositioning = 224;
    int volOriginal = 21;
    int volReverb = 101;
    int roomSize = 200;
    int revAbsorb = 14;
    int revDecay = 42;
    bool reverbOn = true;
    bool delaysOn = true;
    bool processAdvance = false;
    float soundPosX = -1.0f;
    float soundPosY = -1.0f;
    bool showSupportNotice = true;
    std::uint32_t supportedModes = 0;

private:
    int* SliderValue(int control);
    // Runs change with the player stopped and started again as it was.
    template <typename Change> void Restart(Change change);
    void SendAll();

    std::string configFile;
    ISurroundHost& m_host;
    SurroundPresetList presets;
    int basisPreset = -1;
    bool loaded = false;
};
