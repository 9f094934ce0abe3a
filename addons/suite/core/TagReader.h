// Tags of a music file through TagLib: title, artist, album, track number,
// duration and ReplayGain. Safe on any file: an unreadable one leaves the
// record empty (tagsRead stays true so it is not tried again).
#pragma once

#include "core/Playlist.h"

#include <string>

namespace suite {

void ReadTags(const std::string& path, TrackInfo& info);

// The picture embedded in the file (front cover first), as encoded image
// bytes; empty when there is none.
std::string ReadCoverArt(const std::string& path);

} // namespace suite
