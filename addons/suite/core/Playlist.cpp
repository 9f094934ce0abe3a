#include "core/Playlist.h"

#include <algorithm>
#include <cstdio>

namespace suite {

std::string DisplayTitle(const PlaylistEntry& entry) {
    if (!entry.info.title.empty()) return entry.info.title;
    std::string name = entry.path.substr(entry.path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::string FormatTime(double seconds) {
    if (!(seconds >= 0.0)) seconds = 0.0;
    const long total = static_cast<long>(seconds);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

float ReplayGainFactor(const TrackInfo& info, ReplayGainMode mode) {
    if (mode == ReplayGainMode::Off) return 1.0f;
    double gain = mode == ReplayGainMode::Album ? info.albumGain : info.trackGain;
    double peak = mode == ReplayGainMode::Album ? info.albumPeak : info.trackPeak;
    if (std::isnan(gain)) gain = info.trackGain; // an album mode falls back to the track
    if (std::isnan(peak)) peak = info.trackPeak;
    if (std::isnan(gain)) return 1.0f;
    gain = std::clamp(gain, -60.0, 24.0);
    double factor = std::pow(10.0, gain / 20.0);
    if (!std::isnan(peak) && peak > 0.0 && factor * peak > 1.0) factor = 1.0 / peak;
    return static_cast<float>(factor);
}

std::size_t Playlist::Add(const std::vector<std::string>& paths) {
    const std::size_t first = m_entries.size();
    m_entries.reserve(first + paths.size());
    for (const std::string& path : paths)
        m_entries.push_back({m_nextId++, path, {}});
    return first;
}

void Playlist::Remove(std::vector<std::size_t> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (*it < m_entries.size()) m_entries.erase(m_entries.begin() + static_cast<long>(*it));
}

std::size_t Playlist::Move(std::vector<std::size_t> rows, std::size_t to) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<PlaylistEntry> block, rest;
    std::size_t target = std::min(to, m_entries.size());
    std::size_t before = 0; // moved rows above the target shift it up
    for (std::size_t i = 0, r = 0; i < m_entries.size(); ++i) {
        if (r < rows.size() && rows[r] == i) {
            block.push_back(std::move(m_entries[i]));
            if (i < target) ++before;
            ++r;
        } else {
            rest.push_back(std::move(m_entries[i]));
        }
    }
    target -= before;
    rest.insert(rest.begin() + static_cast<long>(target), std::make_move_iterator(block.begin()),
                std::make_move_iterator(block.end()));
    m_entries = std::move(rest);
    return target;
}

int Playlist::RowOf(std::uint64_t id) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].id == id) return static_cast<int>(i);
    return -1;
}

int Playlist::RowOfPath(const std::string& path) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].path == path) return static_cast<int>(i);
    return -1;
}

std::vector<std::size_t> Playlist::PlayOrder(std::size_t current, bool shuffle,
                                             std::mt19937& random) const {
    std::vector<std::size_t> order(m_entries.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (shuffle && !order.empty()) {
        std::shuffle(order.begin(), order.end(), random);
        const auto at = std::find(order.begin(), order.end(), current);
        if (at != order.end()) std::iter_swap(order.begin(), at);
    }
    return order;
}

} // namespace suite
