// The playlist: entries in the user's order with the tags read for them,
// and the play order derived from it (straight or shuffled).
//
// Window thread only. Entries carry an id that stays with them through
// reordering, so a running playback queue can be mapped back to rows.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace suite {

struct TrackInfo {
    std::string title;
    std::string artist;
    std::string album;
    int track = 0;
    double seconds = 0.0;
    // ReplayGain in dB and peaks (full scale 1.0); NaN when the file has none.
    double trackGain = NAN;
    double albumGain = NAN;
    double trackPeak = NAN;
    double albumPeak = NAN;
    bool tagsRead = false;
};

struct PlaylistEntry {
    std::uint64_t id = 0;
    std::string path;
    TrackInfo info;
};

// The title to show: the tag's, else the file name without its extension.
std::string DisplayTitle(const PlaylistEntry& entry);
// m:ss, or h:mm:ss from an hour on.
std::string FormatTime(double seconds);

enum class ReplayGainMode { Off, Track, Album };
// The linear gain for the entry in the mode; 1 when off or untagged. The
// peak keeps the gained signal below full scale.
float ReplayGainFactor(const TrackInfo& info, ReplayGainMode mode);

class Playlist {
public:
    const std::vector<PlaylistEntry>& Entries() const { return m_entries; }
    std::size_t Size() const { return m_entries.size(); }
    const PlaylistEntry& At(std::size_t row) const { return m_entries[row]; }
    PlaylistEntry& At(std::size_t row) { return m_entries[row]; }

    // Appends the paths; returns the row of the first new entry.
    std::size_t Add(const std::vector<std::string>& paths);
    void Remove(std::vector<std::size_t> rows);
    void Clear() { m_entries.clear(); }
    // Moves the rows (in any order) as one block before row `to` of the
    // list as it was; returns the block's new first row.
    std::size_t Move(std::vector<std::size_t> rows, std::size_t to);
    // -1 when no entry has the id.
    int RowOf(std::uint64_t id) const;
    // The first row listing the file, or -1.
    int RowOfPath(const std::string& path) const;

    // The rows in play order with `current` first when shuffled; straight
    // order otherwise.
    std::vector<std::size_t> PlayOrder(std::size_t current, bool shuffle,
                                       std::mt19937& random) const;

private:
    std::vector<PlaylistEntry> m_entries;
    std::uint64_t m_nextId = 1;
};

} // namespace suite
