// The desktop's half of default-player registration, as XDG desktops
// expect it: a desktop entry "sonvara.desktop" in the user's
// applications folder naming the audio MIME types of the registered
// extensions, and that entry made the default application of each type in
// the user's mimeapps.list (as `xdg-mime default` does). The earlier default
// of each type is kept in the settings registry (HKEY_CURRENT_USER, key
// "Software\Sonvara\Desktop Defaults": a string value per type, or a
// value of type REG_NONE where the type had no default) and given back by
// Unregister, for the types whose default is still this program.
// Window-free; every file is written atomically.
#pragma once

#include <string>
#include <vector>

namespace ui {

class CDesktopAssociation {
public:
    struct Folders {
        std::string dataHome;              // $XDG_DATA_HOME, else ~/.local/share
        std::string configHome;            // $XDG_CONFIG_HOME, else ~/.config
        std::vector<std::string> dataDirs; // $XDG_DATA_DIRS, else /usr/local/share:/usr/share
    };
    static Folders FromEnvironment();

    explicit CDesktopAssociation(Folders folders) : m_folders(std::move(folders)) {}

    // The audio MIME types the shared MIME-info database gives for the
    // extensions (each with its dot), without repeats; a few well-known
    // types stand in where no database is installed.
    std::vector<std::string> MimeTypesFor(const std::vector<std::string>& extensions) const;

    bool Register(const std::string& programPath, const std::vector<std::string>& extensions) const;
    void Unregister() const;
    // The entry exists and starts this program file, and it is the default
    // application of every type of the extensions.
    bool IsDefault(const std::string& programPath,
                   const std::vector<std::string>& extensions) const;

    std::string DesktopFilePath() const;
    std::string MimeAppsPath() const;

    static constexpr const char* kDesktopId = "sonvara.desktop";

private:
    Folders m_folders;
};

// One argument of a desktop entry's Exec key, quoted and escaped as the
// desktop entry format requires (reserved characters inside double
// quotes, then the string-value escaping of backslashes).
std::string QuoteExecArgument(const std::string& argument);

} // namespace ui
