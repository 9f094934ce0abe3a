#include "engine/LiveMorph.h"

#include "engine/RecordingWriter.h"

#include <algorithm>
#include <cmath>

namespace mardrel {

void PcmToMono(const std::uint8_t* data, std::uint32_t frames, std::uint16_t channels,
               std::uint16_t bitsPerSample, float* out) {
    const unsigned bytes = bitsPerSample / 8u;
    const float scale = 1.0f / static_cast<float>(channels);
    for (std::uint32_t f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (unsigned c = 0; c < channels; ++c) {
            const std::uint8_t* s = data + (static_cast<std::size_t>(f) * channels + c) * bytes;
            float v = 0.0f;
            switch (bytes) {
            case 1:
                v = (static_cast<float>(s[0]) - 128.0f) / 128.0f;
                break;
            case 2:
                v = static_cast<float>(static_cast<std::int16_t>(s[0] | s[1] << 8)) / 32768.0f;
                break;
            case 3: {
                const std::int32_t x = static_cast<std::int32_t>(
                    static_cast<std::uint32_t>(s[0]) << 8 | static_cast<std::uint32_t>(s[1]) << 16 |
                    static_cast<std::uint32_t>(s[2]) << 24);
                v = static_cast<float>(x) / 2147483648.0f;
                break;
            }
            case 4: {
                const std::int32_t x = static_cast<std::int32_t>(
                    static_cast<std::uint32_t>(s[0]) | static_cast<std::uint32_t>(s[1]) << 8 |
                    static_cast<std::uint32_t>(s[2]) << 16 |
                    static_cast<std::uint32_t>(s[3]) << 24);
                v = static_cast<float>(x) / 2147483648.0f;
                break;
            }
            default:
                break;
            }
            sum += v;
        }
        out[f] = sum * scale;
    }
}

LiveMorph::~LiveMorph() {
    Close();
}

bool LiveMorph::Open(CSimpleEffect* effect, const LiveFormat& format, std::string& error) {
    Close();
    if (!effect) {
        error = "no effect is chosen";
        return false;
    }
    const unsigned bytes = format.bitsPerSample / 8u;
    if (bytes < 1 || bytes > 4 || format.bitsPerSample % 8 || format.channels == 0 ||
        format.captureFrames == 0 || format.outputFrames == 0) {
        error = "the microphone's sound format cannot be used";
        return false;
    }
    m_format = format;
    m_frameBytes = bytes * format.channels;
    m_input.assign(format.captureFrames, 0.0f);
    m_output.assign(format.captureFrames, 0.0f);
    m_block.channels = {m_output.data()};
    m_block.frames = format.captureFrames;
    m_primed = false;
    // A second's room: far more than the monitor ever holds.
    m_monitor = std::make_unique<suite::SampleRing>(
        std::max<std::size_t>(format.rate, 4 * (format.captureFrames + format.outputFrames)));
    // The monitor starts once one capture buffer and two player segments
    // are in, so the player never waits on a buffer the microphone has not
    // delivered yet (the segments cover the capture thread's wake-up jitter,
    // up to their length); it lets the level grow by one more buffer and
    // two segments (the two clocks' drift) before it skips back. Each late
    // block adds a segment to that margin, up to three capture buffers: the
    // monitor settles at the smallest delay this machine sustains.
    m_margin = 2 * format.outputFrames;
    m_maxMargin = std::max(m_margin, 3 * format.captureFrames);
    SetLevels();
    m_monitorRunning = false;
    m_peak = 0.0f;
    m_captured = 0;
    m_late = 0;
    m_skipped = 0;
    m_refused = 0;

    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    wave.nChannels = 1;
    wave.nSamplesPerSec = format.rate;
    wave.wBitsPerSample = 32;
    wave.nBlockAlign = 4;
    wave.nAvgBytesPerSec = format.rate * 4;
    effect->SetStreamCallBack(&LiveMorph::EffectInput, this);
    if (effect->OpenStream(&wave) != 0) {
        error = std::string("the effect \"") + effect->GetDisplayName() +
                "\" refused the microphone's sound format";
        return false;
    }
    m_effect = effect;
    return true;
}

void LiveMorph::SetLevels() {
    m_startLevel = m_format.captureFrames + m_margin;
    m_maxLevel = m_startLevel + m_format.captureFrames + 2 * m_format.outputFrames;
    m_monitorDelay.store(m_startLevel);
}

void LiveMorph::Close() {
    if (!m_effect) return;
    m_effect->CloseStream();
    m_effect = nullptr;
}

std::uint32_t LiveMorph::Capture(void* user, const void* data, std::uint32_t bytes) {
    auto* self = static_cast<LiveMorph*>(user);
    if (!data || !bytes || !self->m_effect) return 0; // detached, or not running
    const std::uint32_t frames = bytes / self->m_frameBytes;
    // The buffer size is set when the run starts; a buffer of another size
    // (the host's setting changed under us) is passed over in pieces.
    const auto* at = static_cast<const std::uint8_t*>(data);
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t n = std::min(frames - done, self->m_format.captureFrames);
        self->ProcessCaptured(at + static_cast<std::size_t>(done) * self->m_frameBytes, n);
        done += n;
    }
    return 0;
}

void LiveMorph::ProcessCaptured(const void* data, std::uint32_t frames) {
    PcmToMono(static_cast<const std::uint8_t*>(data), frames, m_format.channels,
              m_format.bitsPerSample, m_input.data());
    float peak = 0.0f;
    for (std::uint32_t i = 0; i < frames; ++i)
        peak = std::max(peak, std::fabs(m_input[i]));
    float seen = m_peak.load(std::memory_order_relaxed);
    while (peak > seen && !m_peak.compare_exchange_weak(seen, peak)) {
    }

    m_inputFrames = frames;
    m_block.frames = frames;
    m_block.valid = 0;
    const std::uint32_t got = m_effect->ProcessStream(&m_block);
    m_block.frames = m_format.captureFrames;
    if (got == 0) {
        ++m_refused; // the effect closed the stream: nothing to pass on
        return;
    }
    m_captured.fetch_add(frames, std::memory_order_relaxed);
    m_monitor->Write(m_output.data(), got);
    if (RecordingWriter* writer = m_recorder.load()) writer->Push(m_output.data(), got);
}

std::uint32_t LiveMorph::EffectInput(void* user, StreamBuffer* buffer) {
    auto* self = static_cast<LiveMorph*>(user);
    // The first call asks for the priming as well: silence, so that the
    // first captured block comes out at once.
    if (!self->m_primed && buffer->frames != self->m_inputFrames) {
        self->m_primed = true;
        for (float* channel : buffer->channels)
            std::fill_n(channel, buffer->frames, 0.0f);
        return buffer->frames;
    }
    self->m_primed = true;
    const std::uint32_t n = std::min(buffer->frames, self->m_inputFrames);
    for (float* channel : buffer->channels)
        std::copy_n(self->m_input.data(), n, channel);
    // Always the whole request: a short count would tell the effect that the
    // input has ended.
    return buffer->frames;
}

std::uint32_t LiveMorph::Play(void* user, StreamBuffer* block, std::uint32_t) {
    auto* self = static_cast<LiveMorph*>(user);
    if (block->channels.empty() || !self->m_monitor) return 1; // end or detach call
    const std::uint32_t frames = block->frames;
    suite::SampleRing& ring = *self->m_monitor;
    std::size_t level = ring.Available();
    const bool wasRunning = self->m_monitorRunning;
    if (!self->m_monitorRunning) {
        if (level < self->m_startLevel) {
            block->valid = frames; // silence until the first buffer is in
            return 1;
        }
        self->m_monitorRunning = true;
    }
    // Starting, or behind the input: the oldest sound goes, so that the
    // monitor plays from the start level (its latency stays what it was set
    // to, whenever it started).
    if (level > self->m_maxLevel || (!wasRunning && level > self->m_startLevel)) {
        float scratch[256];
        std::size_t drop = level - self->m_startLevel;
        if (wasRunning) self->m_skipped.fetch_add(drop, std::memory_order_relaxed);
        float* const one[1] = {scratch};
        while (drop) {
            const std::size_t n = ring.ReadFrames(one, 1, std::min<std::size_t>(drop, 256));
            if (!n) break;
            drop -= n;
        }
        level = ring.Available();
    }
    float* const first[1] = {block->channels[0]};
    const std::size_t got = ring.ReadFrames(first, 1, frames);
    if (got < frames) {
        std::fill(block->channels[0] + got, block->channels[0] + frames, 0.0f);
        ++self->m_late;
        if (self->m_margin < self->m_maxMargin) {
            self->m_margin += self->m_format.outputFrames;
            self->SetLevels();
        }
        // Wait for a whole buffer again rather than stutter block by block.
        self->m_monitorRunning = false;
    }
    for (std::size_t c = 1; c < block->channels.size(); ++c)
        std::copy_n(block->channels[0], frames, block->channels[c]);
    block->valid = frames;
    return 1;
}

} // namespace mardrel
