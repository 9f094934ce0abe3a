// CMainFrame: the program's single top-level window. It owns the settings
// file, the skinned panels and controls, the skin list, the status line and
// the module client area, and it runs the creation sequence, the command
// handling, the layout, the frame timers and the close sequence.
//
// Subsystems that are not the shell's (modules, menus, player, adverts, tray
// icon ...) are reached through CLaterSubsystems. Window thread only, except
// SetStatusText and ShowStatusMessage, which may be called from any thread.
#pragma once

#include <QTimer>
#include <QWidget>

class QMenu;
class CExtPlayerDX;
class CEqualizerController;
class CPlayerSurroundHost;
class CSurroundSettings;

namespace sonvara {
class CWindowMessageEvent;
}
namespace modules {
class CModuleHost;
}
namespace ui::adverts {
class CAdverts;
}
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "shell/Placement.h"
#include "shell/Settings.h"
#include "shell/StatusLine.h"
#include "ui/AutoPanel.h"
#include "ui/FrameControls.h"
#include "ui/FrameSite.h"
#include "ui/SkinManager.h"

namespace shell {

class CLaterSubsystems;
class CFrameModuleSite;
class CDeviceWatch;
class CFrameEqualizerControls;

// Frame command ids the frame acts on itself.
enum EFrameCommand : unsigned {
    ID_FRAME_COMMAND_NOTHING = 214,
    ID_SOUND_FORMAT = 234, // the Sound Format dialog
    ID_FRAME_SWALLOWED = 14000,
    ID_FRAME_MINIMIZE = 34070, // to the notification area
    ID_FRAME_ZOOM = 34080,     // maximise / restore
    ID_FRAME_CLOSE = 34090,
    ID_APP_EXIT = 57665,
    ID_HELP_TOPICS = 57670, // the help, also on F1
    ID_LANGUAGE_FIRST = 600,
    ID_LANGUAGE_LAST = 630,
};

// Commands 0xF000 and up from menus and accelerators go to the module window.
inline constexpr unsigned kSystemCommandFirst = 0xF000;

// Frame timers.
inline constexpr int kAdvertTimerMs = 15000; // timer 2
inline constexpr int kBannerTimerMs = 5000;  // timer 3
inline constexpr int kPositionTimerMs = 100; // timer 1: the position sliders

class CMainFrame : public QWidget, public ui::IFrameSite {
    Q_OBJECT
public:
    explicit CMainFrame(CLaterSubsystems& later);
    ~CMainFrame() override;

    // The creation sequence. 0 when the frame is ready; otherwise the exit
    // code the program ends with (the user has been told why, when there is
    // something to tell).
    int Create();

    // Commands from skinned controls, menus and accelerators, after the
    // instance-id mapping. True when the frame (or a subsystem) handled it.
    bool OnCommand(unsigned id);

    // Restores the stored placement and shows the frame (start-up).
    void RestorePlacement();
    CPlacement CurrentPlacement() const;

    // The status line (any thread).
    void SetStatusText(const char* text);
    void ShowStatusMessage(const char* text, unsigned milliseconds);
    std::string StatusText() const { return m_status.StatusText(); }
    bool StatusMessageActive() const { return m_statusTimer.isActive(); }

    // A language change asked for a restart: the close can no longer be
    // vetoed by a module.
    void SetRestartPending(bool pending) { m_restartPending = pending; }
    // Language commands (600 to 630) go here (the application).
    void SetLanguageCommandHandler(std::function<void(unsigned)> handler) {
        m_languageCommand = std::move(handler);
    }
    // The language list for the frame's pop-up: names and which is checked.
    void SetLanguageMenuSource(std::function<std::vector<std::pair<std::string, bool>>()> source) {
        m_languageMenu = std::move(source);
    }
    std::vector<std::pair<std::string, bool>> LanguageMenuItems() const {
        return m_languageMenu ? m_languageMenu() : std::vector<std::pair<std::string, bool>>{};
    }
    // The skin and language pop-ups (commands 366 + index, 600 + index); the
    // context menu of the frame shows them until the frame menu does.
    QMenu* BuildSkinAndLanguageMenu(QWidget* parent);
    // Where a fatal skin error ends the program; the default ends the process.
    void SetExitHandler(std::function<void(int)> handler) { m_exit = std::move(handler); }

    CSettings& Settings() { return m_settings; }
    ui::CSkinManager& Skins() { return *m_skins; }
    ui::CFrameControls& Controls() { return *m_controls; }
    ui::CFramePanels& Panels() { return m_panels; }
    QWidget* ModuleClientArea() const { return m_moduleClient; }
    int DebugFilterLevel() const { return m_filterLevel; }
    // The module host, its player and the equalizer controller; they live as
    // long as the frame.
    modules::CModuleHost& Host() { return *m_host; }
    CExtPlayerDX& Player() { return *m_player; }
    CEqualizerController& Equalizer() { return *m_equalizer; }
    // The surround settings (replaced after each showing of their dialog)
    // and the surround-on switch's keeper.
    CSurroundSettings& Surround() { return *m_surround; }
    CPlayerSurroundHost& SurroundHost() { return *m_surroundHost; }
    QTimer& PositionTimer() { return m_positionTimer; }
    // The advert lines and the banner (from creation step 11 on; null before).
    ui::adverts::CAdverts* Adverts() { return m_adverts.get(); }
    // The frame menu again (the active module's menu changed).
    void RebuildFrameMenu();
    bool TrayAvailable() const { return m_trayAvailable; }

    // ui::IFrameSite
    QWidget* FrameWidget() override { return this; }
    void OnFrameCommand(int id) override;
    void RecalcLayout() override;
    void ShowMessage(const std::string& text) override;
    void FatalSkinError(const std::string& message, int exitCode) override;
    void BroadcastSkinChanged() override;
    void EnsureMinimumSize(int minWidth, int minHeight) override;
    void OnPlayerSlider(int id, int code, int position) override;
    void UpdatePlayerControls() override;
    void ApplyEqualizer(int band, int code, int position) override;
    void SaveEqualizerState() override;
    void LoadEqualizerState() override;
    void UpdateEqualizerEnable() override;
    void ApplySurroundSettings() override;
    bool SurroundOn() override;
    void RebuildModuleButtons(ui::CFrameControls& controls, const CXmlNode* modules) override;
    void NotifyActiveModuleSkin() override;
    void ReshowActiveModule() override;
    void OnScrollTextCreated(veneer::CSCScrollStatic* text) override;
    veneer::CSkinBase* CreateTvScreen(QWidget* parent) override;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The close sequence; false when a module vetoed it (nothing changed).
    bool CloseSequence();
    bool OnWindowMessage(sonvara::CWindowMessageEvent& message);
    // The commands the frame handles before any module may see them.
    bool OnFrameOwnCommand(unsigned id);
    void SavePlacementKeys();
    void MinimizeToTray();
    void ToggleMaximize();
    void UpdateZoomTooltip();
    void RestoreFrameState();
    void SaveFrameState();
    // Puts text into every status-line control (window thread).
    void DisplayStatus(const std::string& text);
    void RunOnWindowThread(std::function<void()> work);
    static void HoverStatusSink(void* context, const std::string& text);
    // Shuffle, repeat, the equalizer buttons and the transport; true when
    // the id was one of them.
    bool OnPlayerCommand(unsigned id);
    void ShowPresetMenu();
    // The surround settings and their host (creation step 5).
    void CreateSurround();
    // Command 16135: the "Surround" dialog, then its settings saved and
    // read afresh.
    void ShowSurroundDialog();
    // A device that could not open is told in the status line.
    void ReportDeviceError();

    CLaterSubsystems& m_later;
    CSettings m_settings;
    ui::CFramePanels m_panels;
    std::unique_ptr<ui::CFrameControls> m_controls;
    std::unique_ptr<ui::CSkinManager> m_skins;
    CStatusLine m_status;
    QWidget* m_moduleClient = nullptr; // CModulesFrame: module windows live here
    QTimer m_advertTimer;              // timer 2
    QTimer m_bannerTimer;              // timer 3
    QTimer m_statusTimer;              // timer 555
    QTimer m_positionTimer;            // timer 1
    QTimer m_deviceLossTimer;          // a recorder whose device went away
    // Destroyed in this order (host before its site, both before the player).
    std::unique_ptr<CExtPlayerDX> m_player;
    std::unique_ptr<CFrameModuleSite> m_moduleSite;
    std::unique_ptr<modules::CModuleHost> m_host;
    std::unique_ptr<CFrameEqualizerControls> m_equalizerControls;
    std::unique_ptr<CEqualizerController> m_equalizer;
    std::unique_ptr<CPlayerSurroundHost> m_surroundHost;
    std::unique_ptr<CSurroundSettings> m_surround;
    CDeviceWatch* m_deviceWatch = nullptr; // owned by the frame (QObject child)
    std::unique_ptr<ui::adverts::CAdverts> m_adverts;
    std::string m_lastDeviceError;
    bool m_positionThumbReleased = false; // the last position notification
    int m_filterLevel = -1;
    bool m_trayAvailable = false;
    bool m_restartPending = false;
    bool m_closed = false;
    std::function<void(unsigned)> m_languageCommand;
    std::function<std::vector<std::pair<std::string, bool>>()> m_languageMenu;
    std::function<void(int)> m_exit;
};

} // namespace shell
