#include "shell/HostSubsystems.h"

#include "libs/prism/Prism.h"
#include "shell/MainFrame.h"
#include "shell/ProgramIcon.h"
#include "shell/StringTable.h"
#include "shell/WindowMessage.h"

namespace shell {

CHostSubsystems::~CHostSubsystems() {
    SetFrame(nullptr);
}

void CHostSubsystems::SetFrame(CMainFrame* frame) {
    if (m_frame) m_frame->removeEventFilter(this);
    m_tray.reset();
    m_menus.reset();
    m_frame = frame;
    if (!m_frame) return;
    m_menus = std::make_unique<CFrameMenus>(*m_frame);
    m_frame->installEventFilter(this);
    // The effect manager exists before the frame's menus ask it.
    enPrism()->Initialize();
}

void CHostSubsystems::BuildEffectMenus() {
    if (m_menus) m_menus->BuildEffectMenus();
}

void CHostSubsystems::BuildFrameMenu() {
    if (m_menus) m_menus->RebuildFrameMenu();
}

void CHostSubsystems::OpenFrameMenu(unsigned commandId) {
    if (m_menus) m_menus->OpenFrameMenu(commandId);
}

bool CHostSubsystems::OnHostCommand(unsigned commandId) {
    return m_menus && m_menus->OnCommand(commandId);
}

QWidget* CHostSubsystems::DialogParent() const {
    if (m_frame) return m_frame;
    return CDesktopHooks::DialogParent();
}

bool CHostSubsystems::CreateTrayIcon() {
    if (!m_frame) return false;
    m_tray = std::make_unique<ui::CTrayIcon>(kTrayIconId,
                                             QString::fromStdString(LoadString(IDS_PRODUCT_NAME)),
                                             [] { return modules::TrayMenu(); });
    CFrameMenus* menus = m_menus.get();
    m_tray->SetUpdateHandler(
        [menus](unsigned id, veneer::CSCMenu::SCommandUI& ui) { menus->UpdateCommand(id, ui); });
    m_tray->SetNotificationWnd(m_frame, kTrayCallbackMessage);
    return m_tray->SetIcon(ProgramIcon(), LoadString(IDS_PRODUCT_NAME).c_str());
}

void CHostSubsystems::RemoveTrayIcon() {
    m_tray.reset();
}

bool CHostSubsystems::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_frame && m_tray && event->type() == CWindowMessageEvent::kType) {
        auto* message = static_cast<CWindowMessageEvent*>(event);
        if (message->Message() == kTrayCallbackMessage) {
            message->SetResult(
                m_tray->OnTrayNotification(static_cast<unsigned>(message->WParam()),
                                           static_cast<unsigned>(message->LParam())));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace shell
