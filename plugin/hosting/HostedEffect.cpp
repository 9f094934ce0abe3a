#include "plugin/hosting/HostedEffect.h"

#include "dsp/nsp.h"
#include "plugin/PeriodSplicer.h"
#include "plugin/PitchTracker.h"
#include "plugin/Presets.h"
#include "plugin/Stream.h"
#include "plugin/ToneShifter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace stavo {

namespace {

// The preset stores tones as indices into the +6..-6 semitone table.
constexpr int kUnchangedToneIndex = 6;

constexpr float Semitones(std::int32_t toneIndex) {
    return static_cast<float>(kUnchangedToneIndex - toneIndex);
}

// The kernels keep their FFT tables for the life of the process; the copy of
// them inside a wrapper library gives them back when the host unloads it.
__attribute__((destructor)) void ReleaseFftTables() {
    for (int order = 0; order <= 31; ++order) {
        nspsRealFftNip(nullptr, nullptr, order, NSP_Free);
        nspsCcsFftNip(nullptr, nullptr, order, NSP_Free);
        nspdRealFftNip(nullptr, nullptr, order, NSP_Free);
    }
}

} // namespace

const HostControlInfo kHostControls[kHostControlCount] = {
    {"speed", "Detection speed", 1, 100, kDefaultSpeed},
    {"threshold", "Threshold", 10, 60, kDefaultThreshold},
    {"rate", "Rate", 1, 20, kDefaultRate},
    {"law", "Switching law", 0, 3, kDefaultLaw},
    {"first_tone", "First tone", -6, 6, Semitones(kDefaultFirstTone)},
    {"second_tone", "Second tone", -6, 6, Semitones(kDefaultSecondTone)},
};

HostedEffect::HostedEffect() {
    m_buffer.channels.reserve(kMaxChannels);
}

HostedEffect::~HostedEffect() {
    Close();
}

bool HostedEffect::IsOpen() const {
    return m_instance && stavo::IsOpen(*m_instance);
}

void HostedEffect::Close() {
    // The channel count stays: a host that runs a closed effect gets silence.
    FreeInstance(m_instance);
    m_instance = nullptr;
    m_latency = 0;
    m_buffer.channels.clear();
}

bool HostedEffect::Open(std::uint32_t sampleRate, std::uint32_t channels) {
    if (!m_instance) m_instance = NewInstance();
    // Kept even when the stream is refused, so that Process can still hand
    // back silence on every channel.
    m_channels = std::min(channels, static_cast<std::uint32_t>(kMaxChannels));
    m_latency = 0;
    if (channels < 1 || channels > kMaxChannels) {
        CloseStream(*m_instance);
        return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format.nChannels = static_cast<std::uint16_t>(channels);
    format.nSamplesPerSec = sampleRate;
    format.wBitsPerSample = 32;
    format.nBlockAlign = static_cast<std::uint16_t>(channels * 4);
    format.nAvgBytesPerSec = sampleRate * format.nBlockAlign;
    if (OpenStream(*m_instance, &format) != 0) return false;
    // A fresh instance holds the ratio 0, which the flat interface's priming
    // hides by discarding the first frames; here every frame reaches the
    // host, so the stream starts from the natural voice instead of a silent
    // frame.
    m_instance->ratio = 1.0;
    m_instance->segmentCounter = 0;

    m_buffer.channels.resize(channels);
    for (std::uint32_t c = 0; c < channels; ++c)
        m_buffer.channels[c] = m_scratch[c];
    std::memset(m_scratch, 0, sizeof m_scratch);

    // A sample waits for its 1320-frame block to fill, then for the
    // shifter's frame, then for the splicer's look-ahead.
    const CToneShifter& shifter = *m_instance->shifters[0];
    const CPeriodSplicer& splicer = shifter.Splicer();
    m_latency = kBlockFrames + shifter.FrameLength() + (splicer.WindowLength() - splicer.Hop()) / 2;
    return true;
}

void HostedEffect::SetControls(const float* values) {
    if (!m_instance) return;
    std::int32_t v[kHostControlCount];
    for (int i = 0; i < kHostControlCount; ++i) {
        const HostControlInfo& info = kHostControls[i];
        const float value = std::isnan(values[i])
                                ? info.defaultValue
                                : std::clamp(values[i], info.minimum, info.maximum);
        v[i] = static_cast<std::int32_t>(std::lround(value));
    }
    EffectInstance& instance = *m_instance;
    instance.Speed = v[ControlSpeed];
    instance.Threshold = v[ControlThreshold];
    instance.Rate = v[ControlRate];
    instance.law = v[ControlLaw];
    instance.FirstTone = kUnchangedToneIndex - v[ControlFirstTone];
    instance.SecondTone = kUnchangedToneIndex - v[ControlSecondTone];
    // The law, Rate and tones are read by every block; the gate takes the
    // other two here, so that a host's change is heard at the next block too
    // rather than at the next stream.
    if (instance.gate) {
        instance.gate->SetRequiredCount(instance.Speed);
        const double level = instance.Threshold * 0.005;
        instance.gate->SetLevelThreshold(level * level);
    }
}

void HostedEffect::Process(const float* const* in, float* const* out, std::uint32_t frames) {
    if (!IsOpen()) {
        for (std::uint32_t c = 0; c < m_channels; ++c)
            std::fill(out[c], out[c] + frames, 0.0f);
        return;
    }
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t run = std::min(frames - done, kBlockFrames);
        for (std::uint32_t c = 0; c < m_channels; ++c)
            std::memcpy(m_scratch[c], in[c] + done, sizeof(float) * run);
        m_buffer.frames = run;
        FeedBlocks(*m_instance, m_buffer);
        for (std::uint32_t c = 0; c < m_channels; ++c)
            std::memcpy(out[c] + done, m_scratch[c], sizeof(float) * run);
        done += run;
    }
}

} // namespace stavo
