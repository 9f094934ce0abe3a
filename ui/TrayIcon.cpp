#include "ui/TrayIcon.h"

#include "libs/veneer/Controls.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"

#include <QApplication>
#include <QCursor>
#include <QSystemTrayIcon>

namespace ui {

namespace {
constexpr int kMaxTooltipBytes = 127; // the record's 128 characters with the NUL
} // namespace

CTrayIcon::CTrayIcon(unsigned id, QString tooltip, MenuLoader menu)
    : m_id(id), m_tooltip(std::move(tooltip)), m_menu(std::move(menu)) {}

CTrayIcon::~CTrayIcon() {
    RemoveIcon();
}

QWidget* CTrayIcon::SetNotificationWnd(QWidget* window, unsigned message) {
    // A window that is gone is recognised by its address alone, never used.
    if (window && !QApplication::allWidgets().contains(window)) return nullptr;
    m_owner = window;
    m_message = message < sonvara::WM_USER ? 0 : message;
    return window;
}

bool CTrayIcon::SetIcon(const QIcon& icon, const char* tooltip) {
    if (tooltip) m_tooltip = QString::fromUtf8(QByteArray(tooltip).left(kMaxTooltipBytes));
    const bool remove = icon.isNull();
    if (remove && m_icon.isNull()) return true;
    if (!remove) m_icon = icon;
    m_notify = m_message != 0 && m_owner;
    const bool ok = Apply(remove);
    if (remove || !ok) m_icon = QIcon();
    return ok;
}

bool CTrayIcon::Apply(bool remove) {
    if (remove) {
        m_tray.reset();
        return true;
    }
    if (!m_tray) {
        // No tray on this desktop: the add fails, and a later SetIcon tries
        // again.
        if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
        m_tray = std::make_unique<QSystemTrayIcon>();
        QObject::connect(m_tray.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             switch (reason) {
                             case QSystemTrayIcon::Trigger:
                                 Notify(kWmLButtonDown);
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 Notify(kWmLButtonDblClk);
                                 break;
                             case QSystemTrayIcon::Context:
                                 Notify(kWmRButtonUp);
                                 break;
                             default:
                                 break;
                             }
                         });
    }
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(m_tooltip);
    m_tray->show();
    return true;
}

void CTrayIcon::Notify(unsigned mouseMessage) {
    if (!m_notify || !m_owner) return;
    sonvara::CWindowMessageEvent message(m_message, m_id, mouseMessage);
    QCoreApplication::sendEvent(m_owner, &message);
}

void CTrayIcon::SendCommand(unsigned command) {
    if (!m_owner) return;
    sonvara::CWindowMessageEvent message(sonvara::WM_COMMAND, command, 0);
    QCoreApplication::sendEvent(m_owner, &message);
}

int CTrayIcon::OnTrayNotification(unsigned id, unsigned mouseMessage) {
    if (id != m_id) return 0;
    if (mouseMessage != kWmLButtonDown && mouseMessage != kWmLButtonDblClk &&
        mouseMessage != kWmRButtonUp)
        return 0;
    const SvMenuTree resource = m_menu ? m_menu() : SvMenuTree{};
    if (resource.items.empty() || !resource.items.front().submenu) return 0;
    SvMenuTree menu = *resource.items.front().submenu;
    if (menu.items.size() > 3) menu.items[3].state |= SvMenuItem::Default;

    if (mouseMessage == kWmLButtonDblClk) {
        SendCommand(kTrayZoomCommand);
    } else if (m_owner) {
        m_owner->raise();
        m_owner->activateWindow();
        if (mouseMessage == kWmRButtonUp) {
            veneer::CSCMenu popup(m_owner);
            popup.SetMenuTree(menu);
            popup.SetUpdateHandler(m_update);
            popup.ChangeToOwnerDraw();
            const unsigned chosen = popup.TrackPopupMenu(QCursor::pos());
            if (chosen) SendCommand(chosen);
        }
    }
    return 1;
}

} // namespace ui
