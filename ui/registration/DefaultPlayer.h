// Making the program the one that opens the audio file types its coders
// read, checking that it still is, and undoing it with the earlier owners
// restored. Two places hold the answer and both are kept: the settings
// registry (the program's file type "Sonvara Player.Player" and each
// extension key, with the earlier owner backed up in "Sonvara_Back"), and
// the desktop itself (a desktop entry and the default application of each
// MIME type, see DesktopAssociation.h), which is what file managers follow.
// Window-free.
#pragma once

#include "ui/registration/DesktopAssociation.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class CDefaultPlayer {
public:
    // The coder library's filter text (sonvara/Codexa.h); nullopt when the
    // coders cannot list their extensions, which leaves the extensions alone.
    using ExtensionSource = std::function<std::optional<std::string>()>;

    // programPath: the full path of the program file that is registered.
    CDefaultPlayer(std::string programPath, ExtensionSource extensions,
                   CDesktopAssociation desktop);

    // True only while both the registry and the desktop name this program
    // file as the opener of every listed extension.
    bool IsDefaultPlayer() const;
    // False when the program's own file type could not be stored; extensions
    // that cannot be written are passed over.
    bool RegisterDefaultPlayer() const;
    // Always true: what can be restored is restored.
    bool UnregisterDefaultPlayer() const;

    // The registry half alone, as the registry layout defines it.
    bool IsRegisteredInStore() const;

    static constexpr const char* kFileType = "Sonvara Player.Player";
    static constexpr const char* kFileTypeName = "Sonvara Player Player";
    static constexpr const char* kBackupValue = "Sonvara_Back";

private:
    std::optional<std::vector<std::string>> Extensions() const;
    std::string OpenCommand() const { return m_programPath + " %1"; }

    std::string m_programPath;
    ExtensionSource m_extensions;
    CDesktopAssociation m_desktop;
};

} // namespace ui
