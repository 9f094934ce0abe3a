// Reads one audio file with libsndfile and delivers it in the output format
// of the current playback run: channels mapped (mono spread to every
// channel, more channels folded or dropped), the rate converted with libsoxr
// when the file's differs, and a constant gain (ReplayGain) applied.
//
// Used on the decoding thread only; not thread safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag;
struct soxr;

namespace suite {

struct SourceFormat {
    unsigned rate = 0;
    unsigned channels = 0;
    std::uint64_t frames = 0; // 0 when the file does not say
};

class TrackDecoder {
public:
    TrackDecoder() = default;
    ~TrackDecoder();
    TrackDecoder(const TrackDecoder&) = delete;
    TrackDecoder& operator=(const TrackDecoder&) = delete;

    // The file's own format without decoding it; false (with a reason) when
    // libsndfile cannot read it.
    static bool Probe(const std::string& path, SourceFormat& format, std::string& error);

    // Opens the file for output at outRate with outChannels; false and a
    // reason when it cannot be read or converted.
    bool Open(const std::string& path, unsigned outRate, unsigned outChannels, float gain,
              std::string& error);
    void Close();

    // Moves to the given frame of the output timeline (before any Read).
    bool Seek(std::uint64_t outFrame);

    // Decodes up to maxFrames output frames into out (interleaved); 0 at the
    // end of the file. A read error inside the file (a truncated or damaged
    // file) ends it early; Failed() then tells.
    std::size_t Read(float* out, std::size_t maxFrames);
    bool Failed() const { return m_failed; }

    // The track's length in output frames (0 when unknown).
    std::uint64_t OutputFrames() const;
    const SourceFormat& Source() const { return m_source; }

private:
    std::size_t ReadSource(std::size_t frames);

    sf_private_tag* m_file = nullptr;
    soxr* m_resampler = nullptr;
    SourceFormat m_source;
    unsigned m_outRate = 0;
    unsigned m_outChannels = 0;
    float m_gain = 1.0f;
    bool m_sourceEnded = false;
    bool m_flushed = false;
    bool m_failed = false;
    std::vector<float> m_raw;    // source frames as read
    std::vector<float> m_mapped; // source frames in the output channel layout
    std::size_t m_mappedFrames = 0;
    std::size_t m_mappedUsed = 0;
};

} // namespace suite
