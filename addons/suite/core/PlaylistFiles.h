// Playlist files: M3U and M3U8, PLS and XSPF, read and written.
//
// Readers take any bytes: a huge, truncated, binary or malicious file yields
// the entries that could be understood (at most kMaxPlaylistItems) and never
// crashes or hangs. Relative paths are taken from the playlist's folder,
// file:// URLs become local paths, other URLs are left out (libsndfile
// cannot stream them) and counted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace suite {

enum class PlaylistFormat { M3U, PLS, XSPF, Unknown };

struct PlaylistItem {
    std::string path;
    std::string title;     // empty when the file gives none
    double seconds = -1.0; // negative when the file gives none
};

struct PlaylistReadResult {
    std::vector<PlaylistItem> items;
    std::size_t skippedUrls = 0;
    bool truncated = false; // more entries than kMaxPlaylistItems
};

inline constexpr std::size_t kMaxPlaylistItems = 100000;
// Larger files are refused rather than read into memory.
inline constexpr std::size_t kMaxPlaylistBytes = 64u << 20;

// By the file's extension (.m3u, .m3u8, .pls, .xspf; case ignored).
PlaylistFormat FormatFromPath(const std::string& path);

// Parses the text of a playlist; baseDir (with or without a trailing '/')
// resolves relative paths.
PlaylistReadResult ParsePlaylist(std::string_view bytes, PlaylistFormat format,
                                 const std::string& baseDir);
// The text of a playlist in the format (absolute paths; UTF-8).
std::string FormatPlaylist(const std::vector<PlaylistItem>& items, PlaylistFormat format);

// Reads the file; false with a reason when it cannot be read at all.
bool ReadPlaylistFile(const std::string& file, PlaylistReadResult& result, std::string& error);
// Writes atomically (a failed write leaves the old file as it was).
bool WritePlaylistFile(const std::string& file, const std::vector<PlaylistItem>& items,
                       std::string& error);

} // namespace suite
