// What the module host needs from the main frame. The host's logic (module
// table, activation, bus, the interfaces handed to modules, the player
// interface) needs no window; every window operation goes through this site,
// which the frame implements (and tests fake).
//
// All calls come from the window thread, except SetStatusText and
// ShowStatusMessage, which carry a module's call through from any thread.
#pragma once

#include "sonvara/Accelerators.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QWidget;
class ISkin;
class IEffectManager;

namespace modules {

enum class EPlayerSlider { Position, Volume, Balance };

class IModuleHostSite {
public:
    virtual ~IModuleHostSite() = default;

    // --- windows ---
    // The module client area (CModulesFrame) module windows are children of.
    virtual QWidget* ModuleClientArea() { return nullptr; }
    // Sends a window message (sonvara::CWindowMessageEvent) synchronously.
    virtual std::intptr_t SendWindowMessage(QWidget* /*window*/, unsigned /*message*/,
                                            std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
        return 0;
    }
    virtual void ShowModuleWindow(QWidget* /*window*/, bool /*show*/) {}
    // Destroys a module window; its library is unloaded right after.
    virtual void DestroyModuleWindow(QWidget* /*window*/) {}
    virtual void SetFrameTitle(const std::string& /*title*/) {}
    virtual void SetModuleButtonChecked(QWidget* /*button*/, bool /*checked*/) {}
    // The splash's progress line during start-up.
    virtual void SetSplashText(const std::string& /*text*/) {}

    // --- frame state after an activation change, in this order ---
    virtual void RebuildFrameMenu() {}
    virtual void SetFrameAccelerators(const SvAcceleratorList& /*merged*/) {}
    virtual void RecalcLayout() {}
    virtual void RedrawMenuBar() {}
    virtual void RefreshControlStates() {}

    // --- settings (config.ini owner sections; the owner test is the frame's) ---
    virtual bool GetParam(const char* /*owner*/, const char* /*key*/, char* /*buffer*/,
                          unsigned /*size*/) {
        return false;
    }
    virtual bool SetParam(const char* /*owner*/, const char* /*key*/, const char* /*value*/) {
        return false;
    }
    virtual bool DeleteParam(const char* /*owner*/, const char* /*key*/) { return false; }

    // --- application services ---
    virtual int ShowMessageBox(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                               std::intptr_t) {
        return 0;
    }
    // Opens a local file or URL in the desktop's default application.
    virtual bool OpenUrl(const std::string& /*url*/) { return false; }
    virtual std::string CurrentSkinName() { return {}; }
    virtual ISkin* Skin() { return nullptr; }
    // The effect manager modules create effects with; null when none.
    virtual IEffectManager* EffectManager() { return nullptr; }
    virtual void SetStatusText(const char* /*text*/) {}
    virtual void ShowStatusMessage(const char* /*text*/, unsigned /*milliseconds*/) {}
    // The music library dialog; the chosen paths, empty when cancelled or
    // while the dialog does not exist.
    virtual std::vector<std::string> RunLibraryDialog() { return {}; }
    // A bus message addressed to "Main frame" (no module has that name);
    // true when the host understood it.
    virtual bool HandleHostMessage(const std::string& /*sender*/, const std::string& /*text*/) {
        return false;
    }

    // --- player controls (skinned sliders and buttons of the frame) ---
    // Position of the first slider of that name; none when the skin has none.
    virtual std::optional<int> FirstSliderPosition(EPlayerSlider /*kind*/) { return std::nullopt; }
    // Moves every slider of that name and refreshes their tooltips. With
    // skipCaptured, a slider the mouse is dragging keeps its place.
    virtual void SetSliderPositions(EPlayerSlider /*kind*/, int /*position*/,
                                    bool /*skipCaptured*/) {}
    // Enables or disables every control with that control id.
    virtual void SetControlEnabled(unsigned /*controlId*/, bool /*enabled*/) {}
    // PLAYER_PLAY and PLAYER_PAUSE sharing a place: pause shows while playing.
    virtual void SetPlayPauseVisibility(bool /*playing*/) {}
    // Frame timer 1 (100 ms): its ticks call CPlayerInterface::OnPositionTimer.
    virtual void StartPositionTimer() {}
    virtual void StopPositionTimer() {}
};

} // namespace modules
