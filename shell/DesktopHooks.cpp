#include "shell/DesktopHooks.h"

#include "ui/dialogs/ChooseModuleMusicDlg.h"
#include "ui/dialogs/DefaultPlayerDlg.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace shell {

CDesktopHooks::CDesktopHooks(std::string programPath,
                             ui::CDefaultPlayer::ExtensionSource extensions)
    : m_registers(!programPath.empty() && extensions),
      m_player(std::move(programPath), std::move(extensions),
               ui::CDesktopAssociation(ui::CDesktopAssociation::FromEnvironment())) {}

std::optional<bool> CDesktopHooks::IsDefaultPlayer() {
    if (!m_registers) return std::nullopt;
    return m_player.IsDefaultPlayer();
}

bool CDesktopHooks::RegisterDefaultPlayer() {
    return m_registers && m_player.RegisterDefaultPlayer();
}

bool CDesktopHooks::UnregisterDefaultPlayer() {
    return m_registers && m_player.UnregisterDefaultPlayer();
}

QWidget* CDesktopHooks::DialogParent() const {
    return QApplication::activeWindow();
}

int CDesktopHooks::Run(QDialog& dialog) {
    if (m_driver) QTimer::singleShot(0, &dialog, [this, &dialog] { m_driver(&dialog); });
    return dialog.exec();
}

int CDesktopHooks::AskDefaultPlayer() {
    IApplication* application = Host() ? &Host()->Application() : nullptr;
    ::ISkin* skin = Host() ? Host()->Site().Skin() : nullptr;
    ui::CDefaultPlayerDlg dialog(application, skin, DialogParent());
    return Run(dialog);
}

int CDesktopHooks::ChooseModuleForFiles() {
    IApplication* application = Host() ? &Host()->Application() : nullptr;
    ::ISkin* skin = Host() ? Host()->Site().Skin() : nullptr;
    ui::CChooseModuleMusicDlg dialog(application, skin, DialogParent());
    return Run(dialog);
}

} // namespace shell
