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
    // The monitor keeps at least three player segments queued at the
    // lowest point of its swing: one for the block being read, two (12 ms
    // at 256 frames) for a capture wake-up that comes late (the devices'
    // threads run at real-time priority where the system allows it). Each
    // late block adds a segment, up to twice that: the monitor settles at
    // the smallest delay this machine sustains.
    m_keep = 3 * format.outputFrames;
    m_maxKeep = std::max(m_keep + format.captureFrames, 2 * m_keep);
    m_monitorDelay.store(m_keep);
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

void LiveMorph::Drop(std::size_t frames, bool count) {
    if (count) m_skipped.fetch_add(frames, std::memory_order_relaxed);
    float scratch[256];
    float* const one[1] = {scratch};
    while (frames) {
        const std::size_t n = m_monitor->ReadFrames(one, 1, std::min<std::size_t>(frames, 256));
        if (!n) break;
        frames -= n;
    }
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
    const std::uint32_t rate = self->m_format.rate;
    suite::SampleRing& ring = *self->m_monitor;
    std::size_t level = ring.Available();
    // The level swings with the two devices' periods: it jumps by a capture
    // buffer when one comes in and falls by a burst of segments at each
    // refill of the player, and the pattern moves as the phase between the
    // two clocks drifts. So the monitor never sets its queue by the level of
    // one moment (at the top of a swing that leaves too little for the
    // bottom of the next one): it follows the lowest level of each half
    // second and trims only what that low point could do without.
    if (!self->m_monitorRunning) {
        // It starts with two capture buffers more than it keeps: the first
        // moments are the roughest (threads starting, the output's first
        // refills); the surplus goes after the second half second, the
        // first one that shows the steady swing.
        const std::size_t start = self->m_keep + 2 * self->m_format.captureFrames;
        if (level < start) {
            block->valid = frames; // silence until the first buffers are in
            return 1;
        }
        // What came before would only add latency.
        self->Drop(level - start, false);
        level = start;
        self->m_monitorRunning = true;
        self->m_windows = 0;
        self->m_windowLow = level;
        self->m_windowFrames = 0;
    }
    // A stalled player skips back at once.
    if (level > self->m_keep + 2 * self->m_format.captureFrames + rate / 4u) {
        self->Drop(level - self->m_keep - 2 * self->m_format.captureFrames, true);
        level = ring.Available();
        self->m_windowLow = level;
        self->m_windowFrames = 0;
    }
    self->m_windowLow = std::min(self->m_windowLow, level);
    self->m_windowFrames += frames;
    if (self->m_windowFrames >= rate / 2u) {
        // The first half second after a start is left alone (its dips are
        // the start's), the second one brings the start's surplus down to
        // what the monitor keeps; after that only a surplus beyond what the
        // clocks' drifting phase moves the low point by goes (the output
        // lost time, or runs slower than the microphone), and is counted.
        const unsigned window = self->m_windows < 2 ? self->m_windows++ : 2;
        const std::size_t slack =
            window == 1 ? 0
                        : std::max(self->m_format.captureFrames, 2 * self->m_format.outputFrames);
        if (window > 0 && self->m_windowLow > self->m_keep + slack)
            self->Drop(self->m_windowLow - self->m_keep, window > 1);
        level = ring.Available();
        self->m_windowLow = level;
        self->m_windowFrames = 0;
    }
    float* const first[1] = {block->channels[0]};
    const std::size_t got = ring.ReadFrames(first, 1, frames);
    if (got < frames) {
        std::fill(block->channels[0] + got, block->channels[0] + frames, 0.0f);
        ++self->m_late;
        if (self->m_keep < self->m_maxKeep) {
            self->m_keep += self->m_format.outputFrames;
            self->m_monitorDelay.store(self->m_keep);
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
