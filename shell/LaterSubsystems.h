// The places where the start-up and the main frame reach subsystems that are
// not part of the shell: the module host, menus, the effect manager, the
// audio settings, adverts, the tray icon and default-player registration.
//
// Each operation's default does nothing and reports "not available", never a
// made-up success: the shell then goes on as it would when that subsystem
// finds nothing (no modules, no effects, no tray). The subsystem that fills
// an operation is named beside it; it overrides this class and hands its
// object to CKelFrameApp. Tests override it to watch the sequence.
//
// All calls come from the window thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace shell {

class CLaterSubsystems {
public:
    virtual ~CLaterSubsystems() = default;

    // --- default-player registration and its dialogs (filled by the
    // default-player registration subsystem) ---
    // Whether the program is the default player; nullopt while registration
    // is not available, and then nothing is registered or asked.
    virtual std::optional<bool> IsDefaultPlayer() { return std::nullopt; }
    virtual bool RegisterDefaultPlayer() { return false; }
    virtual bool UnregisterDefaultPlayer() { return false; }
    // The default-player question; its dialog result (6 = Yes), 0 when no
    // dialog exists.
    virtual int AskDefaultPlayer() { return 0; }
    // The "which module opens these files" dialog; 1 (OK) lets the hand-over
    // go ahead; 0 when no dialog exists.
    virtual int ChooseModuleForFiles() { return 0; }

    // --- module host (module table, activation, message bus) ---
    virtual void LoadModules() {}
    virtual std::vector<std::string> ModuleDisplayNames() { return {}; }
    virtual bool IsLoadedModule(const std::string& /*displayName*/) { return false; }
    virtual void ActivateModule(int /*index*/) {}
    virtual bool ActivateModuleByName(const std::string& /*displayName*/) { return false; }
    virtual int SendModuleMessage(const std::string& /*recipient*/, const std::string& /*sender*/,
                                  const std::string& /*text*/) {
        return 4; // MESSAGE_INTERNAL_ERROR: there is no bus yet
    }
    // The close veto of the module that may refuse it; true lets the close go on.
    virtual bool ModulesAllowClose() { return true; }
    virtual void WriteMessageHistoryLog() {}
    virtual void ReleaseModules() {}
    // The active module's idle entry point, from the application's idle hook.
    virtual void ModuleIdle() {}
    // Offers a command to the active module (its command routing, or its
    // window for record and system commands); true when it took it.
    virtual bool RouteCommandToModule(unsigned /*commandId*/) { return false; }

    // --- menus (frame menu, list menus, effect submenus) ---
    virtual void BuildEffectMenus() {}
    virtual void BuildFrameMenu() {}
    // Opens one of the frame menu's pop-ups (commands 15000 to 15060).
    virtual void OpenFrameMenu(unsigned /*commandId*/) {}
    // The host's own menu commands (help, web pages, About ...), after the
    // active module had its chance; true when handled.
    virtual bool OnHostCommand(unsigned /*commandId*/) { return false; }

    // --- audio engine: player, equalizer and surround state ---
    virtual void CreateSurroundDialog() {}
    virtual void RestorePlayerState() {}
    virtual void SavePlayerState() {}
    // Player transport (33000 to 33030), equalizer buttons (14040, 14050).
    virtual bool HandlePlayerCommand(unsigned /*commandId*/) { return false; }

    // --- adverts and banner (the frame's own ui::adverts::CAdverts does
    // the work; these follow it, for subsystems that want to know) ---
    virtual void LoadAdverts() {}
    virtual void ReloadAdvertLists() {} // frame timer 2
    virtual void BannerStep() {}        // frame timer 3

    // --- tray icon ---
    // True when an icon is in the notification area, so the frame may hide
    // itself there; while false, minimising leaves the window reachable.
    virtual bool CreateTrayIcon() { return false; }
    virtual void RemoveTrayIcon() {}
};

} // namespace shell
