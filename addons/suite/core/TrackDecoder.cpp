#include "core/TrackDecoder.h"

#include <algorithm>
#include <sndfile.h>
#include <soxr.h>

namespace suite {

namespace {

// Source frames read per libsndfile call.
constexpr std::size_t kChunkFrames = 4096;

} // namespace

TrackDecoder::~TrackDecoder() {
    Close();
}

bool TrackDecoder::Probe(const std::string& path, SourceFormat& format, std::string& error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = sf_strerror(nullptr);
        return false;
    }
    sf_close(file);
    if (info.channels <= 0 || info.samplerate <= 0) {
        error = "no sound in the file";
        return false;
    }
    format.rate = static_cast<unsigned>(info.samplerate);
    format.channels = static_cast<unsigned>(info.channels);
    format.frames = info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
    return true;
}

bool TrackDecoder::Open(const std::string& path, unsigned outRate, unsigned outChannels, float gain,
                        std::string& error) {
    Close();
    SF_INFO info{};
    m_file = sf_open(path.c_str(), SFM_READ, &info);
    if (!m_file) {
        error = sf_strerror(nullptr);
        return false;
    }
    if (info.channels <= 0 || info.samplerate <= 0 || outRate == 0 || outChannels == 0) {
        error = "no sound in the file";
        Close();
        return false;
    }
    m_source.rate = static_cast<unsigned>(info.samplerate);
    m_source.channels = static_cast<unsigned>(info.channels);
    m_source.frames = info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
    m_outRate = outRate;
    m_outChannels = outChannels;
    m_gain = gain;
    m_raw.assign(kChunkFrames * m_source.channels, 0.0f);
    m_mapped.assign(kChunkFrames * m_outChannels, 0.0f);
    if (m_source.rate != m_outRate) {
        soxr_error_t failure = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        m_resampler =
            soxr_create(m_source.rate, m_outRate, m_outChannels, &failure, &io, &quality, nullptr);
        if (!m_resampler) {
            error = failure ? failure : "the rate converter failed";
            Close();
            return false;
        }
    }
    return true;
}

void TrackDecoder::Close() {
    if (m_resampler) soxr_delete(m_resampler);
    m_resampler = nullptr;
    if (m_file) sf_close(m_file);
    m_file = nullptr;
    m_sourceEnded = m_flushed = m_failed = false;
    m_mappedFrames = m_mappedUsed = 0;
}

bool TrackDecoder::Seek(std::uint64_t outFrame) {
    if (!m_file) return false;
    const std::uint64_t source = outFrame * m_source.rate / m_outRate;
    if (sf_seek(m_file, static_cast<sf_count_t>(source), SEEK_SET) < 0) return false;
    if (m_resampler) soxr_clear(m_resampler);
    m_sourceEnded = m_flushed = false;
    m_mappedFrames = m_mappedUsed = 0;
    return true;
}

std::uint64_t TrackDecoder::OutputFrames() const {
    if (m_source.rate == 0) return 0;
    return m_source.frames * m_outRate / m_source.rate;
}

std::size_t TrackDecoder::ReadSource(std::size_t frames) {
    const sf_count_t n = sf_readf_float(m_file, m_raw.data(), static_cast<sf_count_t>(frames));
    const std::size_t got = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (got < frames) {
        m_sourceEnded = true;
        if (sf_error(m_file) != SF_ERR_NO_ERROR) m_failed = true;
    }
    const unsigned in = m_source.channels, out = m_outChannels;
    for (std::size_t f = 0; f < got; ++f) {
        const float* src = &m_raw[f * in];
        float* dst = &m_mapped[f * out];
        if (in == out) {
            std::copy(src, src + in, dst);
        } else if (in == 1) {
            std::fill(dst, dst + out, src[0]);
        } else if (out == 1) {
            float sum = 0.0f;
            for (unsigned c = 0; c < in; ++c)
                sum += src[c];
            dst[0] = sum / static_cast<float>(in);
        } else {
            for (unsigned c = 0; c < out; ++c)
                dst[c] = c < in ? src[c] : 0.0f;
        }
    }
    m_mappedFrames = got;
    m_mappedUsed = 0;
    return got;
}

std::size_t TrackDecoder::Read(float* out, std::size_t maxFrames) {
    if (!m_file) return 0;
    const unsigned ch = m_outChannels;
    std::size_t produced = 0;
    int idle = 0;
    while (produced < maxFrames && idle < 4) {
        if (m_mappedUsed == m_mappedFrames && !m_sourceEnded) ReadSource(kChunkFrames);
        float* dst = out + produced * ch;
        const std::size_t want = maxFrames - produced;
        std::size_t made = 0;
        if (!m_resampler) {
            made = std::min(want, m_mappedFrames - m_mappedUsed);
            if (made == 0) break;
            std::copy_n(&m_mapped[m_mappedUsed * ch], made * ch, dst);
            m_mappedUsed += made;
        } else if (m_mappedUsed < m_mappedFrames) {
            std::size_t used = 0;
            soxr_process(m_resampler, &m_mapped[m_mappedUsed * ch], m_mappedFrames - m_mappedUsed,
                         &used, dst, want, &made);
            m_mappedUsed += used;
            idle = used == 0 && made == 0 ? idle + 1 : 0;
        } else if (m_sourceEnded && !m_flushed) {
            // The converter holds the last few milliseconds until told the
            // input is over.
            soxr_process(m_resampler, nullptr, 0, nullptr, dst, want, &made);
            if (made == 0) m_flushed = true;
        } else {
            break;
        }
        if (m_gain != 1.0f)
            for (std::size_t i = 0; i < made * ch; ++i)
                dst[i] *= m_gain;
        produced += made;
    }
    return produced;
}

} // namespace suite
