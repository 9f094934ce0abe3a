// Drives one stream through an effect instance the way an effect manager
// does: SetStreamCallBack, OpenStream, ProcessStream until it reports the
// end, CloseStream. The plug-in pulls the input through our callback; what
// each ProcessStream call hands back goes to the output file.
#pragma once

#include "tools/fx/AudioFile.h"
#include "tools/fx/EffectPlugin.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace fx {

struct ProcessConfig {
    // Frames asked for in each ProcessStream call.
    std::uint32_t blockFrames = 1024;
    // Output beyond the input's length that we accept before cutting a
    // plug-in off (a latency tail, a reverb's decay); one that keeps going
    // past it would otherwise never end.
    double maxTailSeconds = 60.0;
    // Polled between calls; set from a signal handler to stop cleanly.
    const std::atomic<bool>* cancel = nullptr;
    // Called after each call with the input frames consumed so far.
    std::function<void(std::uint64_t)> progress;
};

struct ProcessReport {
    std::uint64_t framesIn = 0;
    std::uint64_t framesOut = 0;
    bool interrupted = false; // stopped through `cancel`
    bool cutOff = false;      // the tail exceeded maxTailSeconds
};

// False with a message when the plug-in refuses the stream, misbehaves, or a
// file cannot be read or written. The writer is left open for Commit.
bool RunStream(const EffectPlugin& plugin, const PluginInstance& instance, AudioReader& reader,
               AudioWriter& writer, const ProcessConfig& config, ProcessReport& report,
               std::string& error);

} // namespace fx
