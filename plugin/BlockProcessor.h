// The per-block work of an open stream: pitch tracking, the switching law and
// the per-channel tone shifters.
#pragma once

#include "plugin/EffectInstance.h"

#include <cstdint>

namespace stavo {

enum SwitchingLaw : std::int32_t {
    LawDrums = 0,
    LawPeriodic = 1,
    LawTwice = 2,
    LawOnce = 3,
};

inline constexpr int kToneCount = 13;
// +6 .. -6 semitones in the order of the settings panel's lists: the upward
// ratios rounded to three decimals, the downward ones their reciprocals.
inline constexpr float kToneRatios[kToneCount] = {
    1.414f,      1.335f,      1.26f,       1.189f,      1.122f,      1.059f,     1.0f,
    0.94428706f, 0.89126563f, 0.84104288f, 0.79365081f, 0.74906367f, 0.70721358f};

// The ratio of a tone index; an index outside the table (a hand-edited
// preset) stands for the unchanged voice.
inline float ToneRatio(std::int32_t index) {
    return index >= 0 && index < kToneCount ? kToneRatios[index] : 1.0f;
}

// Chooses the ratio for this block from the gate's answer and the beat flag,
// advancing the instance's segment counter; returns the new ratio.
double UpdateSwitchingLaw(EffectInstance& instance, bool voiced, bool beat);

// Processes `count` channel arrays of kBlockFrames frames in place. The
// instance must be open.
void ProcessBlock(EffectInstance& instance, float* const* channels, std::uint32_t count);

} // namespace stavo
