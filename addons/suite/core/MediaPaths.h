// Turning what the user hands the module (the bus's "open" message, dropped
// files and folders) into the audio files to queue.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace suite {

// The paths of an "open" message: the word open, then paths, each in double
// quotes ("open \"/a b.flac\" \"/c.ogg\""); a path without quotes ends at
// the next space. Empty when the text is not an open message.
std::vector<std::string> ParseOpenMessage(std::string_view message);

// The lower-case extensions (without dot) the installed libsndfile reads.
const std::vector<std::string>& SupportedExtensions();
bool HasSupportedExtension(const std::string& path);

// Files stay as they are (whatever their extension: the user chose them);
// a folder becomes the supported files below it, sorted by path, at most
// `limit` in all. Missing paths are left out.
std::vector<std::string> ExpandToFiles(const std::vector<std::string>& paths,
                                       std::size_t limit = 100000);

} // namespace suite
