// The effect as a LADSPA library: a mono and a stereo descriptor over the one
// processing core. Ports: the audio inputs, the audio outputs, the six
// controls in HostControl order, then the output control "latency".
#include "plugin/Stream.h"
#include "plugin/hosting/HostedEffect.h"

#include <ladspa.h>

#include <cmath>
#include <new>

namespace {

constexpr int kMaxPorts = 4 + stavo::kHostControlCount + 1;
// The delay at the highest rate (192 000) is 11 880 frames.
constexpr float kMaxLatency = 12000;

struct LadspaEffect {
    unsigned long channels = 0;
    const LADSPA_Data* in[2] = {};
    LADSPA_Data* out[2] = {};
    const LADSPA_Data* controls[stavo::kHostControlCount] = {};
    LADSPA_Data* latency = nullptr;
    stavo::HostedEffect effect;
    std::uint32_t rate = 0;
};

// LADSPA can only name a default as a point of the range (its ends, the
// quarter points, 0, 1 ...): each control gets the expressible one nearest to
// its preset default. Speed (1..100, logarithmic low point 3.16) and
// Threshold and the law (their minimum) land exactly; Rate gets 2 (the
// logarithmic low point of 1..20) instead of 3, the tones +3 and -3 (the
// quarter points of -6..+6) instead of +2 and -2.
constexpr LADSPA_PortRangeHintDescriptor kBounded =
    LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE | LADSPA_HINT_INTEGER;
constexpr LADSPA_PortRangeHintDescriptor kControlHints[stavo::kHostControlCount] = {
    kBounded | LADSPA_HINT_LOGARITHMIC | LADSPA_HINT_DEFAULT_LOW, // speed
    kBounded | LADSPA_HINT_DEFAULT_MINIMUM,                       // threshold
    kBounded | LADSPA_HINT_LOGARITHMIC | LADSPA_HINT_DEFAULT_LOW, // rate
    kBounded | LADSPA_HINT_DEFAULT_MINIMUM,                       // law
    kBounded | LADSPA_HINT_DEFAULT_HIGH,                          // first tone
    kBounded | LADSPA_HINT_DEFAULT_LOW,                           // second tone
};

struct Variant {
    LADSPA_Descriptor descriptor;
    LADSPA_PortDescriptor ports[kMaxPorts];
    const char* names[kMaxPorts];
    LADSPA_PortRangeHint hints[kMaxPorts];
};

LADSPA_Handle Instantiate(const LADSPA_Descriptor* descriptor, unsigned long rate) {
    // The block length is fixed in frames, so the processing is only built
    // for this range of rates.
    if (rate < stavo::kMinSampleRate || rate > stavo::kMaxSampleRate) return nullptr;
    auto* plugin = new (std::nothrow) LadspaEffect;
    if (!plugin) return nullptr;
    plugin->channels = descriptor->PortCount == kMaxPorts ? 2 : 1;
    plugin->rate = static_cast<std::uint32_t>(rate);
    try {
        if (!plugin->effect.Open(plugin->rate, static_cast<std::uint32_t>(plugin->channels))) {
            delete plugin;
            return nullptr;
        }
    } catch (...) {
        delete plugin;
        return nullptr;
    }
    return plugin;
}

void ConnectPort(LADSPA_Handle handle, unsigned long port, LADSPA_Data* data) {
    auto* plugin = static_cast<LadspaEffect*>(handle);
    const unsigned long C = plugin->channels;
    if (port < C)
        plugin->in[port] = data;
    else if (port < 2 * C)
        plugin->out[port - C] = data;
    else if (port < 2 * C + stavo::kHostControlCount)
        plugin->controls[port - 2 * C] = data;
    else if (port == 2 * C + stavo::kHostControlCount)
        plugin->latency = data;
}

void Activate(LADSPA_Handle handle) {
    // Each activation is a new stream: empty rings, natural voice.
    auto* plugin = static_cast<LadspaEffect*>(handle);
    try {
        plugin->effect.Open(plugin->rate, static_cast<std::uint32_t>(plugin->channels));
    } catch (...) {
        plugin->effect.Close();
    }
}

void Run(LADSPA_Handle handle, unsigned long frames) {
    auto* plugin = static_cast<LadspaEffect*>(handle);
    float values[stavo::kHostControlCount];
    for (int i = 0; i < stavo::kHostControlCount; ++i)
        values[i] =
            plugin->controls[i] ? *plugin->controls[i] : stavo::kHostControls[i].defaultValue;
    plugin->effect.SetControls(values);
    if (plugin->latency) *plugin->latency = static_cast<LADSPA_Data>(plugin->effect.Latency());
    for (unsigned long c = 0; c < plugin->channels; ++c)
        if (!plugin->in[c] || !plugin->out[c]) return;
    plugin->effect.Process(plugin->in, plugin->out, static_cast<std::uint32_t>(frames));
}

void Cleanup(LADSPA_Handle handle) {
    delete static_cast<LadspaEffect*>(handle);
}

void Describe(Variant& v, unsigned long id, const char* label, const char* name, int channels) {
    static const char* const kAudioNames[2][4] = {{"Input", "Output"},
                                                  {"Input L", "Input R", "Output L", "Output R"}};
    int port = 0;
    for (int i = 0; i < 2 * channels; ++i, ++port) {
        v.ports[port] = LADSPA_PORT_AUDIO | (i < channels ? LADSPA_PORT_INPUT : LADSPA_PORT_OUTPUT);
        v.names[port] = kAudioNames[channels - 1][i];
        v.hints[port] = {0, 0, 0};
    }
    for (int i = 0; i < stavo::kHostControlCount; ++i, ++port) {
        const stavo::HostControlInfo& info = stavo::kHostControls[i];
        v.ports[port] = LADSPA_PORT_CONTROL | LADSPA_PORT_INPUT;
        v.names[port] = info.name;
        v.hints[port] = {kControlHints[i], info.minimum, info.maximum};
    }
    v.ports[port] = LADSPA_PORT_CONTROL | LADSPA_PORT_OUTPUT;
    v.names[port] = "latency";
    // sox's ladspa effect wants a value or a default for every control port,
    // outputs included.
    v.hints[port] = {kBounded | LADSPA_HINT_DEFAULT_0, 0, kMaxLatency};
    ++port;

    LADSPA_Descriptor& d = v.descriptor;
    d.UniqueID = id;
    d.Label = label;
    // run() neither allocates nor locks, and copies its input before it
    // writes any output, so in-place buffers are fine.
    d.Properties = LADSPA_PROPERTY_HARD_RT_CAPABLE;
    d.Name = name;
    d.Maker = "Brontel Ltd (CY)";
    d.Copyright = "None";
    d.PortCount = static_cast<unsigned long>(port);
    d.PortDescriptors = v.ports;
    d.PortNames = v.names;
    d.PortRangeHints = v.hints;
    d.ImplementationData = nullptr;
    d.instantiate = Instantiate;
    d.connect_port = ConnectPort;
    d.activate = Activate;
    d.run = Run;
    d.run_adding = nullptr;
    d.set_run_adding_gain = nullptr;
    d.deactivate = nullptr;
    d.cleanup = Cleanup;
}

// Built once, at first use; a host asks for descriptors from one thread.
const Variant* Variants() {
    static const Variant* variants = [] {
        static Variant v[2];
        Describe(v[0], 5147, "StavoModulationMono", "Stavo Modulation (mono)", 1);
        Describe(v[1], 5148, "StavoModulationStereo", "Stavo Modulation (stereo)", 2);
        return v;
    }();
    return variants;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const LADSPA_Descriptor*
ladspa_descriptor(unsigned long index) {
    return index < 2 ? &Variants()[index].descriptor : nullptr;
}
