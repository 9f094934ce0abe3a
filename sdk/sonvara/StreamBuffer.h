// The audio block that crosses every audio boundary: host player to module,
// effect host to effect plug-in. Planar 32-bit float, full scale 1.0.
#pragma once

#include <cstdint>
#include <vector>

struct StreamBuffer {
    // One pointer per channel, each to at least `frames` samples; the
    // channel count is the vector's size.
    std::vector<float*> channels;
    // Frames requested: the capacity of every channel array.
    std::uint32_t frames = 0;
    // Frames handed back that a consumer may take.
    std::uint32_t valid = 0;
    // Carried unchanged; never interpreted by the callee.
    std::uint32_t user = 0;
};

// An effect plug-in's input: fills the buffer from index 0 with up to
// `frames` frames and returns how many it supplied (0 = the input has ended).
using StreamCallback = std::uint32_t (*)(void* user, StreamBuffer* buffer);
