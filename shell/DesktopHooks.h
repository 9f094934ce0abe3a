// The start-up's default-player and module-choice hooks: registration
// through CDefaultPlayer (settings registry and desktop associations), and
// the two questions as skinned dialogs over the module host's IApplication.
// Window thread.
#pragma once

#include "modules/ShellBridge.h"
#include "ui/registration/DefaultPlayer.h"

#include <functional>

class QDialog;
class QWidget;

namespace shell {

class CDesktopHooks : public modules::CModuleHostBridge {
public:
    // programPath: the program file that registration names. Without a
    // path or an extension source there is nothing to register: the
    // program is then never asked to become the default player.
    CDesktopHooks(std::string programPath, ui::CDefaultPlayer::ExtensionSource extensions);

    std::optional<bool> IsDefaultPlayer() override;
    bool RegisterDefaultPlayer() override;
    bool UnregisterDefaultPlayer() override;
    int AskDefaultPlayer() override;
    int ChooseModuleForFiles() override;

    // Tests answer the dialogs: called with the dialog once it is shown,
    // instead of waiting for the user.
    using DialogDriver = std::function<void(QWidget*)>;
    void SetDialogDriver(DialogDriver driver) { m_driver = std::move(driver); }

protected:
    // The window the two questions are centred over.
    virtual QWidget* DialogParent() const;

private:
    int Run(QDialog& dialog);

    bool m_registers;
    ui::CDefaultPlayer m_player;
    DialogDriver m_driver;
};

} // namespace shell
