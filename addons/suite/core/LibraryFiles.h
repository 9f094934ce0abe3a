// Upkeep of the host's music library files, fileDB.dat (one path per line,
// the line number is the file's id) and playlists.xml (<playlist Name=...>
// elements of <t id=.../> tracks, groups of them under other elements).
//
// Ids are line numbers, so fileDB.dat only ever grows at its end: existing
// lines never move. playlists.xml keeps every element it does not own; one
// that cannot be parsed is left untouched (an error is reported instead).
// Both are written atomically.
#pragma once

#include <string>
#include <vector>

namespace suite {

// The writable settings folder (trailing '/'): the program directory when
// it is writable, otherwise $XDG_CONFIG_HOME/sonvara/ (~/.config/sonvara/).
std::string SettingsFolder(const std::string& programDirectory);

class LibraryFiles {
public:
    explicit LibraryFiles(std::string folder) : m_folder(std::move(folder)) {}

    // Makes playlists.xml hold a top-level playlist named `name` with
    // exactly these tracks (adding their paths to fileDB.dat as needed).
    bool UpdatePlaylist(const std::string& name, const std::vector<std::string>& paths,
                        std::string& error);

    std::string FileDbPath() const { return m_folder + "fileDB.dat"; }
    std::string PlaylistsPath() const { return m_folder + "playlists.xml"; }

private:
    std::string m_folder;
};

} // namespace suite
