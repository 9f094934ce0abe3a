// The effect as an LV2 plug-in: a mono and a stereo variant over the one
// processing core. Port indices here must match StavoModulation.ttl: the
// audio inputs, the audio outputs, the six controls in HostControl order,
// then the latency output.
#include "plugin/Stream.h"
#include "plugin/hosting/HostedEffect.h"

#include <lv2/core/lv2.h>

#include <cmath>
#include <new>

namespace {

struct Lv2Effect {
    std::uint32_t channels = 0;
    const float* in[2] = {};
    float* out[2] = {};
    const float* controls[stavo::kHostControlCount] = {};
    float* latency = nullptr;
    stavo::HostedEffect effect;
    std::uint32_t rate = 0;
};

std::uint32_t ChannelsOf(const LV2_Descriptor* descriptor);

LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double rate, const char*,
                       const LV2_Feature* const*) {
    // The block length is fixed in frames, so the processing is only built
    // for this range of rates; a host at another rate gets a clear refusal.
    if (!(rate >= stavo::kMinSampleRate && rate <= stavo::kMaxSampleRate) ||
        rate != std::floor(rate))
        return nullptr;
    auto* plugin = new (std::nothrow) Lv2Effect;
    if (!plugin) return nullptr;
    plugin->channels = ChannelsOf(descriptor);
    plugin->rate = static_cast<std::uint32_t>(rate);
    try {
        if (!plugin->effect.Open(plugin->rate, plugin->channels)) {
            delete plugin;
            return nullptr;
        }
    } catch (...) {
        delete plugin;
        return nullptr;
    }
    return plugin;
}

void ConnectPort(LV2_Handle handle, std::uint32_t port, void* data) {
    auto* plugin = static_cast<Lv2Effect*>(handle);
    const std::uint32_t C = plugin->channels;
    if (port < C)
        plugin->in[port] = static_cast<const float*>(data);
    else if (port < 2 * C)
        plugin->out[port - C] = static_cast<float*>(data);
    else if (port < 2 * C + stavo::kHostControlCount)
        plugin->controls[port - 2 * C] = static_cast<const float*>(data);
    else if (port == 2 * C + stavo::kHostControlCount)
        plugin->latency = static_cast<float*>(data);
}

void Activate(LV2_Handle handle) {
    // Each activation is a new stream: empty rings, natural voice.
    auto* plugin = static_cast<Lv2Effect*>(handle);
    try {
        plugin->effect.Open(plugin->rate, plugin->channels);
    } catch (...) {
        plugin->effect.Close();
    }
}

void Run(LV2_Handle handle, std::uint32_t frames) {
    auto* plugin = static_cast<Lv2Effect*>(handle);
    float values[stavo::kHostControlCount];
    for (int i = 0; i < stavo::kHostControlCount; ++i)
        values[i] =
            plugin->controls[i] ? *plugin->controls[i] : stavo::kHostControls[i].defaultValue;
    plugin->effect.SetControls(values);
    if (plugin->latency) *plugin->latency = static_cast<float>(plugin->effect.Latency());
    for (std::uint32_t c = 0; c < plugin->channels; ++c)
        if (!plugin->in[c] || !plugin->out[c]) return;
    plugin->effect.Process(plugin->in, plugin->out, frames);
}

void Deactivate(LV2_Handle) {}

void Cleanup(LV2_Handle handle) {
    delete static_cast<Lv2Effect*>(handle);
}

const void* ExtensionData(const char*) {
    return nullptr;
}

const LV2_Descriptor kDescriptors[] = {
    {"urn:sonvara:StavoModulation:mono", Instantiate, ConnectPort, Activate, Run, Deactivate,
     Cleanup, ExtensionData},
    {"urn:sonvara:StavoModulation:stereo", Instantiate, ConnectPort, Activate, Run, Deactivate,
     Cleanup, ExtensionData},
};

std::uint32_t ChannelsOf(const LV2_Descriptor* descriptor) {
    return descriptor == &kDescriptors[1] ? 2 : 1;
}

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index < std::size(kDescriptors) ? &kDescriptors[index] : nullptr;
}
