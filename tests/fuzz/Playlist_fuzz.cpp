// The music player's playlist readers (M3U, PLS, XSPF) on any bytes: no
// crash, no hang, never more than the item limit, and what was read writes
// in the same format to a text that reads back to the same paths, titles
// and whole seconds.
#include "core/PlaylistFiles.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace suite;

namespace {

long WholeSeconds(double s) {
    return s >= 0 ? std::lround(s) : -1L;
}

bool Same(const std::vector<PlaylistItem>& a, const std::vector<PlaylistItem>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].path != b[i].path || a[i].title != b[i].title ||
            WholeSeconds(a[i].seconds) != WholeSeconds(b[i].seconds))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (PlaylistFormat format : {PlaylistFormat::M3U, PlaylistFormat::PLS, PlaylistFormat::XSPF}) {
        const PlaylistReadResult read = ParsePlaylist(bytes, format, "/music/lists");
        if (read.items.size() > kMaxPlaylistItems) std::abort();
        for (const PlaylistItem& item : read.items)
            if (item.path.empty() || item.path[0] != '/') std::abort();
        const std::string written = FormatPlaylist(read.items, format);
        const PlaylistReadResult again = ParsePlaylist(written, format, "/elsewhere");
        if (!Same(read.items, again.items)) std::abort();
    }
    return 0;
}
