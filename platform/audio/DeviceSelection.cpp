#include "platform/audio/DeviceSelection.h"

#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/audio/PortAudioCaptureDevice.h"
#include "platform/audio/PortAudioOutputDevice.h"
#include "platform/audio/TimedCaptureDevice.h"
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

std::unique_ptr<CaptureDevice> CreateCaptureDevice(const std::string& name, std::string* error) {
    auto fail = [error](std::string why) {
        if (error) *error = std::move(why);
        return nullptr;
    };
    if (name == "portaudio") return std::make_unique<PortAudioCaptureDevice>();
    if (name.rfind("portaudio:", 0) == 0) {
        if (name.size() > 10) return std::make_unique<PortAudioCaptureDevice>(name.substr(10));
        return fail("the input device \"portaudio:\" needs a device name");
    }
    if (name == "null") return std::make_unique<NullCaptureDevice>();
    if (name.rfind("tone:", 0) == 0) {
        char* end = nullptr;
        const double hz = std::strtod(name.c_str() + 5, &end);
        if (end != name.c_str() + 5 && *end == '\0' && hz > 0)
            return std::make_unique<ToneCaptureDevice>(hz);
        return fail("the input device \"" + name + "\" needs a frequency in Hz");
    }
    if (name.rfind("wav:", 0) == 0) {
        if (name.size() > 4) return std::make_unique<WavCaptureDevice>(name.substr(4));
        return fail("the input device \"wav:\" needs a file path");
    }
    return fail("unknown input device \"" + name + "\"");
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
