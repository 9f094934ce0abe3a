// The main frame's side of the module host: CFrameModuleSite is the
// IModuleHostSite the frame hands to its CModuleHost (window operations from
// CQtModuleHostSite, player controls through modules::CFramePlayerControls,
// module parameters in config.ini, status line, skin, splash, layout and
// title through the frame), and CFrameEqualizerControls shows the equalizer
// controller's state on the frame's skinned equalizer controls.
//
// Window thread only, except SetStatusText and ShowStatusMessage (any thread:
// the frame's status line moves the work to the window thread).
#pragma once

#include "audio/EqualizerController.h"
#include "modules/FramePlayerControls.h"
#include "modules/ModulesFrame.h"

#include <vector>

namespace shell {

class CMainFrame;

class CFrameModuleSite : public modules::CQtModuleHostSite {
public:
    explicit CFrameModuleSite(CMainFrame& frame);

    void SetFrameTitle(const std::string& title) override;
    void SetSplashText(const std::string& text) override;
    void RebuildFrameMenu() override;
    // Installs the merged table as the frame's shortcuts; where two entries
    // bind the same keys the first (the module's) wins.
    void SetFrameAccelerators(const SvAcceleratorList& merged) override;
    const SvAcceleratorList& Accelerators() const { return m_accelerators; }
    void RecalcLayout() override;
    void RefreshControlStates() override;

    bool GetParam(const char* owner, const char* key, char* buffer, unsigned size) override;
    bool SetParam(const char* owner, const char* key, const char* value) override;
    bool DeleteParam(const char* owner, const char* key) override;

    // The five words go unchanged to Trestle's module message box.
    int ShowMessageBox(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d,
                       std::intptr_t e) override;
    std::string CurrentSkinName() override;
    ISkin* Skin() override;
    IEffectManager* EffectManager() override;
    void SetStatusText(const char* text) override;
    void ShowStatusMessage(const char* text, unsigned milliseconds) override;
    // The music library dialog, modal to the frame.
    std::vector<std::string> RunLibraryDialog() override;

    std::optional<int> FirstSliderPosition(modules::EPlayerSlider kind) override;
    void SetSliderPositions(modules::EPlayerSlider kind, int position, bool skipCaptured) override;
    void SetControlEnabled(unsigned controlId, bool enabled) override;
    void SetPlayPauseVisibility(bool playing) override;
    void StartPositionTimer() override;
    void StopPositionTimer() override;

private:
    CMainFrame& m_frame;
    modules::CFramePlayerControls m_playerControls;
    SvAcceleratorList m_accelerators;
    std::vector<QObject*> m_shortcuts; // owned by the frame window
};

class CFrameEqualizerControls : public IEqualizerControls {
public:
    explicit CFrameEqualizerControls(CMainFrame& frame) : m_frame(frame) {}
    std::optional<int> GetBandPosition(int band) const override;
    void SetBandPosition(int band, int position) override;
    void SetTurnChecked(bool checked) override;
    void SetEqualizerEnabled(bool enabled) override;

private:
    CMainFrame& m_frame;
};

} // namespace shell
