// What the installed libsndfile can read and write, asked of the library
// itself, so types it was built with (MP3, Opus ...) appear and types it
// lacks do not.
//
// No windows; any thread (libsndfile's format queries keep no state).
#pragma once

#include <string>
#include <vector>

namespace codexa {

// One readable file name extension (without the dot) and the libsndfile
// type it stands for: a major type, and for extensions that name a subtype
// (".ogg" for Vorbis, ".mp3") that subtype, else 0.
struct SReadableType {
    std::string extension;
    int major = 0;
    int subtype = 0;
};

// Every extension libsndfile reads without being told the format, each
// once, in the library's order of major types (subtype extensions after
// their major type's).
std::vector<SReadableType> ReadableTypes();

// The filter text of KelGetSupportedFileExtensions: "Audio files|*.wav;...;"
std::string ExtensionFilter();

// A container (major type) that can be written, with its display name.
struct SContainer {
    int major = 0;
    std::string name;
};

// A sample format (subtype) with its display name.
struct SSampleFormat {
    int subtype = 0;
    std::string name;
};

// Containers libsndfile writes at all, in the library's order.
std::vector<SContainer> WritableContainers();
// Subtypes the container accepts with this rate and channel count; with a
// rate of 0, at any of the offered rates.
std::vector<SSampleFormat> SampleFormatsFor(int major, int sampleRate, int channels);

// Whether libsndfile accepts writing this exact combination: sf_format_check
// passes and a stream of that format really opens for writing (some checks
// that sf_format_check leaves out, such as Opus's sample rates, only happen
// when the file is opened). Sound Designer II is never writable here.
bool IsWritable(int format, int sampleRate, int channels);

// Lossy subtypes have an encoding quality (SFC_SET_VBR_ENCODING_QUALITY).
bool HasQuality(int subtype);

// The extension a file of this format should get ("wav", "ogg", "mp3").
std::string ExtensionFor(int format);

// The sample rates and channel counts offered for recording.
const std::vector<int>& OfferedSampleRates();
const std::vector<int>& OfferedChannelCounts();

} // namespace codexa
