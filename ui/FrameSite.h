// What the skin and control code needs from the main frame. CMainFrame
// implements this interface and hands it to ui::CFramePanels,
// ui::CFrameControls and ui::CSkinManager; all calls come on the window
// thread.
//
// The pure functions are the frame's own business. The others have default
// bodies that do nothing (or the obvious thing) because the subsystem they
// reach arrives with a later piece of work; the frame overrides them when it
// has that subsystem. None of the defaults pretends the work was done.
#pragma once

#include <string>

class CXmlNode;
class QWidget;

namespace veneer {
class CSCScrollStatic;
class CSkinBase;
} // namespace veneer

namespace ui {

class CFrameControls;

class IFrameSite {
public:
    virtual ~IFrameSite() = default;

    // The frame window: parent of the panels and of controls not placed.
    virtual QWidget* FrameWidget() = 0;

    // A skinned button was pressed. id is already mapped from the button's
    // instance id to its row's command (33011 arrives as 33010); module
    // buttons arrive with their own id. Delivered queued (posted), so the
    // handler may destroy the button.
    virtual void OnFrameCommand(int id) = 0;

    // The frame lays itself out again (player panel switch).
    virtual void RecalcLayout() = 0;

    // The user must be told something (message box of Trestle).
    virtual void ShowMessage(const std::string& text) = 0;

    // No skin can be shown at all: tell the user and end the process with
    // the exit code (1). Never returns in the program; a test may record it.
    virtual void FatalSkinError(const std::string& message, int exitCode) = 0;

    // Window message 0x046F (skin changed) to every descendant of the frame,
    // module windows included.
    virtual void BroadcastSkinChanged() = 0;

    // ---- hooks of later subsystems (defaults do nothing) ----

    // Player (slider input and enabled-state rules).
    virtual void OnPlayerSlider(int id, int code, int position) {
        (void)id, (void)code, (void)position;
    }
    virtual void UpdatePlayerControls() {}
    // The player's control lock, held across a skin change.
    virtual void LockPlayerControl() {}
    virtual void UnlockPlayerControl() {}

    // Equalizer: a band slider moved (band 0 ... 9, id 16000 + 10 * band).
    virtual void ApplyEqualizer(int band, int code, int position) {
        (void)band, (void)code, (void)position;
    }
    virtual void SaveEqualizerState() {}
    virtual void LoadEqualizerState() {}
    virtual void UpdateEqualizerEnable() {}

    // Surround: its dialog applies its settings after a rebuild; the
    // surround-on flag drives the SURR_SHOW check.
    virtual void ApplySurroundSettings() {}
    virtual bool SurroundOn() { return false; }

    // Adverts: a scrolling text was created; the advert texts replace its
    // first text. The TV screen banner window (null: none is created).
    virtual void OnScrollTextCreated(veneer::CSCScrollStatic* text) { (void)text; }
    virtual veneer::CSkinBase* CreateTvScreen(QWidget* parent) {
        (void)parent;
        return nullptr;
    }

    // Module host: build the module buttons from the skin's "Modules"
    // element (may be null) with controls.PlaceControl and
    // controls.AddModuleButton, reorder the modules and their menu.
    virtual void RebuildModuleButtons(CFrameControls& controls, const CXmlNode* modules) {
        (void)controls, (void)modules;
    }
    // Surround dialog: ISkin::SkinWindow met a surround view widget (class
    // or object name "SurrView"); the surround subsystem attaches its
    // skinned view. Nothing is attached until it exists.
    virtual void SkinSurroundView(QWidget* view) { (void)view; }

    // After a skin change: the active module's KelLoadSkin, then the module
    // shown again.
    virtual void NotifyActiveModuleSkin() {}
    virtual void ReshowActiveModule() {}

    // The frame grows (top-left kept) to at least the minimum client size.
    // The default resizes FrameWidget().
    virtual void EnsureMinimumSize(int minWidth, int minHeight);
};

} // namespace ui
