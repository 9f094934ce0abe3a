// The effect as the common plug-in hosts drive it: the host hands in a block
// of input of any length and takes back the same number of output frames at
// once, with the settings as plain control values. The output is the input
// delayed by Latency() frames with the effect applied, so that a host's delay
// compensation lines it up; there is no priming and no end-of-input tail.
//
// Threads: Open and Close allocate and belong to the host's set-up thread;
// SetControls and Process run on its audio thread and allocate nothing, take
// no lock and do no I/O. One instance serves one stream at a time.
#pragma once

#include "plugin/EffectInstance.h"
#include "sonvara/StreamBuffer.h"

#include <cstdint>

namespace stavo {

// The host-facing controls, in port order. Tones are in semitones (+6..-6),
// not the preset's table indices.
enum HostControl : int {
    ControlSpeed,
    ControlThreshold,
    ControlRate,
    ControlLaw,
    ControlFirstTone,
    ControlSecondTone,
    kHostControlCount
};

struct HostControlInfo {
    const char* symbol; // port symbol: lower case, no spaces
    const char* name;   // label a host shows
    float minimum;
    float maximum;
    float defaultValue;
};

// Range and default of every control. Speed starts below the settings panel's
// lowest step (10) because the preset default is 3.
extern const HostControlInfo kHostControls[kHostControlCount];

class HostedEffect {
public:
    HostedEffect();
    ~HostedEffect();
    HostedEffect(const HostedEffect&) = delete;
    HostedEffect& operator=(const HostedEffect&) = delete;

    // Starts a fresh stream: false when the rate is outside 8000..192000 or
    // the channel count outside 1..8 (the effect is then closed). A fresh
    // stream starts with the natural voice and the switching law at its start.
    bool Open(std::uint32_t sampleRate, std::uint32_t channels);
    void Close();
    bool IsOpen() const;

    // Frames from an input sample to its output at this rate (0 when closed).
    std::uint32_t Latency() const { return m_latency; }

    // Control values in HostControl order, as a host's ports hold them:
    // rounded to whole numbers, limited to their ranges (a NaN gives the
    // default). All six take effect at the next 1320-frame block.
    void SetControls(const float* values);

    // in and out hold one array per channel of `frames` samples; any of them
    // may be the same array (in-place hosts). Any frame count, 0 included.
    void Process(const float* const* in, float* const* out, std::uint32_t frames);

private:
    EffectInstance* m_instance = nullptr;
    std::uint32_t m_channels = 0;
    std::uint32_t m_latency = 0;
    // Process works through these so that inputs and outputs may alias each
    // other in any way; sized once, reused by every call.
    StreamBuffer m_buffer;
    float m_scratch[kMaxChannels][kBlockFrames];
};

} // namespace stavo
