// The program's later subsystems: the module host (CModuleHostBridge), the
// desktop's default-player hooks (CDesktopHooks), and on top of them the
// frame menus and host menu commands, the effect manager and the tray icon. The frame hands itself
// over (SetFrame) when it is constructed and takes itself back when it goes; until then every hook
// keeps its default.
//
// Window thread only.
#pragma once

#include "shell/DesktopHooks.h"
#include "shell/FrameMenus.h"
#include "ui/TrayIcon.h"

#include <QObject>
#include <memory>

namespace shell {

class CMainFrame;

// The tray icon's id (also its menu's) and its callback message.
inline constexpr unsigned kTrayIconId = 201;
inline constexpr unsigned kTrayCallbackMessage = 0x8D28;

class CHostSubsystems : public CDesktopHooks, public QObject {
public:
    // programPath and extensions: what default-player registration names.
    explicit CHostSubsystems(std::string programPath = {},
                             ui::CDefaultPlayer::ExtensionSource extensions = {})
        : CDesktopHooks(std::move(programPath), std::move(extensions)) {}
    ~CHostSubsystems() override;

    void SetFrame(CMainFrame* frame);
    CFrameMenus* Menus() const { return m_menus.get(); }
    ui::CTrayIcon* Tray() const { return m_tray.get(); }

    // CLaterSubsystems
    void BuildEffectMenus() override;
    void BuildFrameMenu() override;
    void OpenFrameMenu(unsigned commandId) override;
    bool OnHostCommand(unsigned commandId) override;
    bool CreateTrayIcon() override;
    void RemoveTrayIcon() override;

protected:
    // The questions at start-up stand over the main frame, which is not yet
    // the active window when they come.
    QWidget* DialogParent() const override;
    // The tray's callback message reaches the frame; the tray takes it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CMainFrame* m_frame = nullptr;
    std::unique_ptr<CFrameMenus> m_menus;
    std::unique_ptr<ui::CTrayIcon> m_tray;
};

} // namespace shell
