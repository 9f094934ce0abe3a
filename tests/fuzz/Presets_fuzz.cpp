// The plug-in's three preset stores (INI file, settings registry, XML file)
// reading damaged files: any bytes give settings or defaults, never a
// crash, and a stream opened with what was read runs.
#include "FuzzSupport.h"
#include "platform/Registry.h"
#include "plugin/EffectInstance.h"
#include "plugin/Presets.h"
#include "plugin/Stream.h"
#include "xml/XmlNode.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

std::uint32_t Sine(void* user, StreamBuffer* buffer) {
    auto* phase = static_cast<double*>(user);
    for (std::uint32_t i = 0; i < buffer->frames; ++i, *phase += 0.0314)
        for (float* channel : buffer->channels)
            channel[i] = static_cast<float>(0.5 * std::sin(*phase));
    buffer->valid = buffer->frames;
    return buffer->frames;
}

void RunWith(EffectInstance* instance) {
    double phase = 0;
    instance->callback = &Sine;
    instance->callbackUser = &phase;
    WAVEFORMATEX format{3, 1, 44100, 44100 * 4, 4, 32, 0};
    if (stavo::OpenStream(*instance, &format) == 0) {
        std::vector<float> samples(4096);
        StreamBuffer buffer;
        buffer.channels = {samples.data()};
        buffer.frames = 4096;
        for (int i = 0; i < 3; ++i)
            stavo::ProcessStream(*instance, buffer);
    }
    stavo::FreeInstance(instance);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // INI: the input is the preset file, section "Preset".
    {
        const std::string path = fuzzsupport::WriteInput("preset.ini", data, size);
        EffectInstance* instance = stavo::NewInstance();
        stavo::ReadSettings(stavo::ValueStore{path.c_str(), "Preset", nullptr, nullptr}, *instance);
        RunWith(instance);
    }
    // Registry: the input is the store file, key HKEY_CURRENT_USER\Preset.
    {
        const std::string path = fuzzsupport::WriteInput("registry.ini", data, size);
        platform::RegSetStoreFile(path);
        HKEY key = nullptr;
        if (platform::RegOpenKey(HKEY_CURRENT_USER, "Preset", &key) == platform::ERROR_SUCCESS) {
            EffectInstance* instance = stavo::NewInstance();
            stavo::ReadSettings(stavo::ValueStore{nullptr, nullptr, key, nullptr}, *instance);
            platform::RegCloseKey(key);
            RunWith(instance);
        }
        platform::RegSetStoreFile("");
    }
    // XML: the input is the preset document.
    {
        const std::string path = fuzzsupport::WriteInput("preset.xml", data, size);
        CXmlNode node;
        if (node.LoadFromFile(path)) {
            EffectInstance* instance = stavo::NewInstance();
            stavo::ReadSettings(stavo::ValueStore{nullptr, nullptr, nullptr, &node}, *instance);
            RunWith(instance);
        }
    }
    return 0;
}
