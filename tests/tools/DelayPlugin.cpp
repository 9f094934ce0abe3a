// A test-only effect plug-in of the flat interface: a fixed delay with a
// gain, so every output sample is predictable (out[i] = gain · in[i − Delay])
// and the output runs Delay frames past the end of the input, the way a real
// plug-in's latency tail does. A few settings make it misbehave on purpose.
//
// Settings (preset keys): Delay (frames, default 0), Gain (percent, default
// 100), MaxChannels (OpenStream refuses more, default 8), Endless (1: never
// reports the end), InterruptAt (raises SIGINT once this many frames were
// produced, 0: never).
#include "platform/Profile.h"
#include "sonvara/EffectPlugin.h"
#include "xml/XmlNode.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#define FX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Setting {
    const char* key;
    int defaultValue;
};

constexpr Setting kSettings[] = {
    {"Delay", 0}, {"Gain", 100}, {"MaxChannels", 8}, {"Endless", 0}, {"InterruptAt", 0},
};
constexpr int kSettingCount = sizeof kSettings / sizeof kSettings[0];

} // namespace

struct EffectInstance {
    int values[kSettingCount];
    StreamCallback callback = nullptr;
    void* user = nullptr;
    std::vector<std::vector<float>> lines; // one delay line per channel
    std::size_t position = 0;
    bool inputEnded = false;
    std::uint64_t tailLeft = 0;
    std::uint64_t produced = 0;

    int delay() const { return std::max(values[0], 0); }
    float gain() const { return static_cast<float>(values[1]) / 100.0f; }
};

namespace {

EffectInstance* NewInstance() {
    auto* instance = new (std::nothrow) EffectInstance;
    if (instance)
        for (int i = 0; i < kSettingCount; ++i)
            instance->values[i] = kSettings[i].defaultValue;
    return instance;
}

// Passes one frame of every channel through the delay lines.
void DelayFrame(EffectInstance& fx, StreamBuffer& buffer, std::uint32_t i) {
    for (std::size_t c = 0; c < buffer.channels.size(); ++c) {
        float in = buffer.channels[c][i];
        float out = in;
        if (fx.delay() > 0) {
            out = fx.lines[c][fx.position];
            fx.lines[c][fx.position] = in;
        }
        buffer.channels[c][i] = out * fx.gain();
    }
    if (fx.delay() > 0) fx.position = (fx.position + 1) % static_cast<std::size_t>(fx.delay());
}

} // namespace

FX_EXPORT int PlugInInfo(PlugInInfoRecord* info) {
    if (!info || info->size != sizeof(PlugInInfoRecord)) return 0;
    info->reserved = 0;
    info->name = "Test Delay";
    info->vendor = "sonvara tests";
    info->interfaceValue = 262144;
    info->flag = 1;
    return 1;
}

FX_EXPORT int Initialize(const char* iniFile, const char* section, HKEY, EffectInstance** out) {
    if (!out) return 0;
    EffectInstance* instance = NewInstance();
    if (!instance) return 0;
    if (iniFile && section) {
        for (int i = 0; i < kSettingCount; ++i)
            instance->values[i] = static_cast<int>(platform::GetPrivateProfileInt(
                section, kSettings[i].key, instance->values[i], iniFile));
    }
    *out = instance;
    return 1;
}

FX_EXPORT int InitializeXml(CXmlNode* node, EffectInstance** out) {
    if (!out) return 0;
    EffectInstance* instance = NewInstance();
    if (!instance) return 0;
    if (node) {
        for (int i = 0; i < kSettingCount; ++i)
            node->GetValue(kSettings[i].key, instance->values[i]);
    }
    *out = instance;
    return 1;
}

FX_EXPORT int SavePreset(const char* iniFile, const char* section, HKEY, EffectInstance* fx) {
    if (!fx || !iniFile || !section) return 0;
    for (int i = 0; i < kSettingCount; ++i)
        platform::WritePrivateProfileString(section, kSettings[i].key,
                                            std::to_string(fx->values[i]).c_str(), iniFile);
    return 1;
}

FX_EXPORT int SavePresetXml(CXmlNode* node, EffectInstance* fx) {
    if (!fx || !node) return 0;
    for (int i = 0; i < kSettingCount; ++i)
        node->SetValue(kSettings[i].key, fx->values[i]);
    return 1;
}

FX_EXPORT int SetStreamCallBack(StreamCallback callback, void* user, EffectInstance* fx) {
    if (!fx) return 0;
    fx->callback = callback;
    fx->user = user;
    return 1;
}

FX_EXPORT int OpenStream(EffectInstance* fx, const WAVEFORMATEX* format) {
    if (!fx || !format || format->nChannels > fx->values[2]) return 1;
    fx->lines.assign(format->nChannels, std::vector<float>(fx->delay(), 0.0f));
    fx->position = 0;
    fx->inputEnded = false;
    fx->tailLeft = 0;
    fx->produced = 0;
    return 0;
}

FX_EXPORT std::uint32_t ProcessStream(StreamBuffer* buffer, EffectInstance* fx) {
    if (!buffer || !fx || !fx->callback || buffer->channels.size() != fx->lines.size()) return 0;
    const std::uint32_t wanted = buffer->frames;
    for (float* channel : buffer->channels)
        std::fill(channel, channel + wanted, 0.0f);
    buffer->valid = 0;

    std::uint32_t got = 0;
    if (!fx->inputEnded) {
        got = std::min(fx->callback(fx->user, buffer), wanted);
        if (got < wanted) {
            fx->inputEnded = true;
            fx->tailLeft = static_cast<std::uint64_t>(fx->delay());
        }
    }
    std::uint32_t produced = got;
    if (fx->inputEnded) {
        auto tail = static_cast<std::uint32_t>(std::min<std::uint64_t>(fx->tailLeft, wanted - got));
        fx->tailLeft -= tail;
        produced += tail;
    }
    if (fx->values[3]) produced = wanted;
    for (std::uint32_t i = 0; i < produced; ++i)
        DelayFrame(*fx, *buffer, i);

    std::uint64_t before = fx->produced;
    fx->produced += produced;
    const auto interruptAt = static_cast<std::uint64_t>(std::max(fx->values[4], 0));
    if (interruptAt > 0 && before < interruptAt && fx->produced >= interruptAt) std::raise(SIGINT);
    buffer->valid = produced ? wanted : 0;
    return produced;
}

FX_EXPORT int CloseStream(EffectInstance* fx) {
    if (fx) fx->lines.clear();
    return 1;
}

FX_EXPORT void Free(EffectInstance* fx) {
    delete fx;
}
