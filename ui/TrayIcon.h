// CTrayIcon: the program's icon in the desktop's system tray. Clicks on it
// reach the owner window as its callback message (a CWindowMessageEvent with
// the icon id and the mouse message as parameters); the owner passes them to
// OnTrayNotification, which turns them into commands to the owner and the
// context menu. A desktop without a system tray makes adding fail, so the
// owner knows it cannot hide itself there.
//
// Window thread only.
#pragma once

#include "libs/veneer/Controls.h"
#include "sonvara/MenuTree.h"

#include <QIcon>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QSystemTrayIcon;
class QWidget;

namespace ui {

// Mouse messages of the notifications.
inline constexpr unsigned kWmLButtonDown = 0x201;
inline constexpr unsigned kWmLButtonDblClk = 0x203;
inline constexpr unsigned kWmRButtonUp = 0x205;
// The command a double click sends: restore or maximise the owner.
inline constexpr unsigned kTrayZoomCommand = 34080;

class CTrayIcon {
public:
    // The menu "resource" of the icon id: a tree whose first pop-up is the
    // context menu; an empty tree when it cannot be had.
    using MenuLoader = std::function<SvMenuTree()>;

    CTrayIcon(unsigned id, QString tooltip, MenuLoader menu);
    ~CTrayIcon(); // removes the icon
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // The owner and its callback message. A window given that no longer
    // exists returns null and changes nothing; a message below 0x400 is
    // stored as 0 (no notifications). Returns the owner.
    QWidget* SetNotificationWnd(QWidget* window, unsigned message);
    // Adds the icon or changes it (a null icon removes it); a non-null
    // tooltip replaces the kept one (at most 127 bytes). True on success.
    bool SetIcon(const QIcon& icon, const char* tooltip = nullptr);
    bool RemoveIcon() { return SetIcon(QIcon()); }
    bool IsShown() const { return !m_icon.isNull(); }

    // A notification from the owner's callback message. 1 when handled.
    int OnTrayNotification(unsigned id, unsigned mouseMessage);

    unsigned Id() const { return m_id; }
    unsigned CallbackMessage() const { return m_message; }
    QWidget* Owner() const { return m_owner; }
    QString Tooltip() const { return m_tooltip; }
    // Whether notifications are sent (owner and message both set).
    bool SendsNotifications() const { return m_notify; }
    QSystemTrayIcon* SystemTrayIcon() const { return m_tray.get(); }
    // The update handler of the context menu's commands.
    void SetUpdateHandler(veneer::CSCMenu::UpdateHandler handler) { m_update = std::move(handler); }

private:
    // The platform's part: add, modify or delete. False when it failed.
    bool Apply(bool remove);
    void SendCommand(unsigned command);
    void Notify(unsigned mouseMessage);

    unsigned m_id;
    QString m_tooltip;
    MenuLoader m_menu;
    QPointer<QWidget> m_owner;
    unsigned m_message = 0;
    bool m_notify = false;
    QIcon m_icon;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    veneer::CSCMenu::UpdateHandler m_update;
};

} // namespace ui
