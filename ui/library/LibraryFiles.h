// The music library's files, read for the library dialog: fileDB.dat (one
// file path per line; the line number from 0 is the file's id) and
// playlists.xml (a tree of playlists and folders whose "t" elements name
// files by id). The host only reads them; the music player module keeps them
// up to date.
//
// Both are read from one folder, so the ids of the playlists match the file
// list beside them: the writable settings folder when it holds fileDB.dat
// (where the module writes them), else the program directory.
//
// Hostile files are safe: a malformed or too deeply nested playlists.xml
// gives an empty tree, ids outside the file list give no item, and lines
// that are too long or not UTF-8 are kept as ids without ever being read
// past their limit. No windows; one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CXmlNode;

namespace ui {

// A path longer than this is no file the system can open; such a line keeps
// its id but holds an empty text.
inline constexpr std::size_t kMaxLibraryLineBytes = 16384;

// The folder both files are read from, with a trailing '/'.
std::string LibraryFolder();

// Reads fileDB.dat line by line (line ends, LF or CR LF, removed; empty
// lines count). False when the file cannot be opened.
bool ReadFileDatabase(const std::string& path, std::vector<std::string>& lines);

// One item of the library tree.
struct SLibraryItem {
    std::string text;
    // The element behind the item ("t" and "playlist" items), or null for a
    // folder, which has no data and does nothing when double-clicked.
    const CXmlNode* element = nullptr;
    std::vector<SLibraryItem> children;
};

// The tree for the children of root, in document order: "t" elements become
// leaves with the text of their file's line; every other element a node
// named by its "Name" attribute, holding its children by the same rule (its
// item data only when its name is exactly "playlist"). Text and comment
// nodes are no items.
std::vector<SLibraryItem> BuildLibraryTree(const CXmlNode& root,
                                           const std::vector<std::string>& files);

// What a double-click on an item with this element returns: for each child
// element with an "id" inside the file list, that file's path, in order.
// Children without "id", ids outside the list and empty lines give nothing.
std::vector<std::string> FilesOfElement(const CXmlNode& element,
                                        const std::vector<std::string>& files);

} // namespace ui
