// Whether PortAudio may be started at all. Its ALSA back-end aborts the
// whole process (a failed assertion while it lists devices) on a machine
// whose ALSA configuration defines no "default" or "dmix" device: there it
// runs out of device names to skip. A machine without sound, a container, a
// broken ~/.asoundrc. The probe looks at the same configuration through
// alsa-lib first, so such a machine gets a clean "no device" instead.
#pragma once

#include <string>

namespace platform::audio {

// "" when PortAudio can be initialised; otherwise why there is no device.
std::string ProbeSoundSystem();

} // namespace platform::audio
