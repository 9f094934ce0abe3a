// Sound files for the music player's tests, written with libsndfile, and
// their decoded samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace suitetest {

// Writes `seconds` of a gliding tone (different in every channel, so a
// swapped or dropped channel shows) in the type given by the extension:
// .wav (16-bit), .flac (16-bit), .ogg (Vorbis).
// Title, artist and album, when given, go into the file's tags. The level
// swells and falls slowly, so a waveform shows a shape.
bool WriteTone(const std::string& path, unsigned rate, unsigned channels, double seconds, double hz,
               const char* title = nullptr, const char* artist = nullptr,
               const char* album = nullptr);

// Every sample of the file as 16-bit codes, interleaved, as the host's
// conversion would round them (libsndfile's float read, times 32768).
std::vector<std::int16_t> Decode16(const std::string& path, unsigned* channels = nullptr,
                                   unsigned* rate = nullptr);

} // namespace suitetest
