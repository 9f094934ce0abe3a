#include "addons/suite/SuiteSupport.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sndfile.h>

namespace suitetest {

bool WriteTone(const std::string& path, unsigned rate, unsigned channels, double seconds, double hz,
               const char* title, const char* artist, const char* album) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = static_cast<int>(channels);
    const std::string ext = path.substr(path.find_last_of('.') + 1);
    if (ext == "flac")
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    else if (ext == "ogg")
        info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    else
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    if (title) sf_set_string(file, SF_STR_TITLE, title);
    if (artist) sf_set_string(file, SF_STR_ARTIST, artist);
    if (album) sf_set_string(file, SF_STR_ALBUM, album);
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> data(frames * channels);
    double phase = 0.0;
    for (std::size_t f = 0; f < frames; ++f) {
        const double glide =
            hz * (1.0 + 0.5 * static_cast<double>(f) / static_cast<double>(frames));
        phase += 2 * std::numbers::pi * glide / rate;
        const double t = static_cast<double>(f) / rate;
        const double level = 0.25 + 0.15 * std::sin(2 * std::numbers::pi * 0.7 * t);
        for (unsigned c = 0; c < channels; ++c)
            data[f * channels + c] = static_cast<float>(level * std::sin(phase * (1 + c) + c));
    }
    const bool ok = sf_writef_float(file, data.data(), static_cast<sf_count_t>(frames)) ==
                    static_cast<sf_count_t>(frames);
    sf_close(file);
    return ok;
}

std::vector<std::int16_t> Decode16(const std::string& path, unsigned* channels, unsigned* rate) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<float> data(static_cast<std::size_t>(info.frames) *
                            static_cast<std::size_t>(info.channels));
    const sf_count_t got = sf_readf_float(file, data.data(), info.frames);
    sf_close(file);
    data.resize(static_cast<std::size_t>(got) * static_cast<std::size_t>(info.channels));
    std::vector<std::int16_t> out(data.size());
    for (std::size_t i = 0; i < data.size(); ++i)
        out[i] = static_cast<std::int16_t>(
            std::clamp(std::round(static_cast<double>(data[i]) * 32768.0), -32768.0, 32767.0));
    if (channels) *channels = static_cast<unsigned>(info.channels);
    if (rate) *rate = static_cast<unsigned>(info.samplerate);
    return out;
}

} // namespace suitetest
