#include "platform/audio/AlsaProbe.h"

#include <alsa/asoundlib.h>
#include <cstring>

namespace platform::audio {

std::string ProbeSoundSystem() {
    // The global configuration is what PortAudio reads (ALSA_CONFIG_PATH
    // included); updating it is cheap when nothing changed.
    if (const int e = snd_config_update(); e < 0)
        return std::string("the ALSA configuration cannot be read: ") + snd_strerror(e);
    snd_config_t* pcms = nullptr;
    if (snd_config_search(snd_config, "pcm", &pcms) < 0)
        return "ALSA defines no sound device at all";
    // PortAudio lists every defined device but sets "default" and "dmix"
    // apart; with neither of them its count comes out one short.
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, pcms) {
        const char* id = nullptr;
        if (snd_config_get_id(snd_config_iterator_entry(i), &id) < 0 || !id) continue;
        if (std::strcmp(id, "default") == 0 || std::strcmp(id, "dmix") == 0) return {};
    }
    return "ALSA defines no default sound device";
}

} // namespace platform::audio
