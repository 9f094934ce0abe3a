#include "platform/audio/DeviceSelection.h"

#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/audio/PortAudioOutputDevice.h"
#include "platform/audio/TimedOutputDevice.h"

#include <cstdlib>

namespace platform::audio {

namespace {

std::string Selected(const char* variable, const char* key) {
    if (const char* env = std::getenv(variable); env && *env) return env;
    const std::string ini = JoinPath(SettingsDirectory(), "config.ini");
    char value[1024] = {};
    GetPrivateProfileString("AUDIO", key, kDefaultDeviceName, value, sizeof value, ini.c_str());
    return value[0] ? value : kDefaultDeviceName;
}

} // namespace

std::string SelectedOutputDeviceName() {
    return Selected("SONVARA_AUDIO_OUTPUT", "Output");
}

std::string SelectedInputDeviceName() {
    return Selected("SONVARA_AUDIO_INPUT", "Input");
}

std::unique_ptr<OutputDevice> CreateOutputDevice(const std::string& name, std::string* error) {
    if (name == "portaudio") return std::make_unique<PortAudioOutputDevice>();
    if (name == "null") return std::make_unique<NullOutputDevice>();
    if (name.rfind("wav:", 0) == 0) {
        std::string path = name.substr(4);
        if (!path.empty()) return std::make_unique<WavOutputDevice>(std::move(path));
        if (error) *error = "the output device \"wav:\" needs a file path";
        return nullptr;
    }
    if (error) *error = "unknown output device \"" + name + "\"";
    return nullptr;
}

bool OutputSupportsLayout(const std::string& name, std::uint16_t channels,
                          std::uint32_t channelMask, std::uint32_t sampleRate) {
    const std::unique_ptr<OutputDevice> device = CreateOutputDevice(name);
    return device && device->SupportsLayout(channels, channelMask, sampleRate);
}

std::uint32_t DefaultOutputVolume() {
    return 0xFFFFFFFFu;
}

} // namespace platform::audio
