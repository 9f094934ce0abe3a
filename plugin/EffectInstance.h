// The record behind every effect handle. An instance is created by one of the
// creating exports with its six settings, opened on a stream (which creates
// the processing objects), and driven by ProcessStream on the caller's audio
// thread. The settings panel may rewrite the six 32-bit settings at any time;
// each is written whole and read once per block.
#pragma once

#include "sonvara/StreamBuffer.h"

#include <cstdint>

class CToneShifter;
class CVoiceGate;
class CPitchEstimator;
class CDrumDetector;

namespace stavo {

inline constexpr int kMaxChannels = 8;
// Processing works in blocks of this many frames whatever the sample rate.
inline constexpr std::uint32_t kBlockFrames = 1320;
// Input frames pulled and thrown away before the first output, so that the
// output starts with processed input instead of the pipeline's start-up silence.
inline constexpr std::uint32_t kPrimingFrames = 4195;

// The settings panel writes the six settings on the window thread while the
// audio thread reads them: each access is a whole, unordered 32-bit one.
inline std::int32_t LoadSetting(const std::int32_t& field) {
    return __atomic_load_n(&field, __ATOMIC_RELAXED);
}
inline void StoreSetting(std::int32_t& field, std::int32_t value) {
    __atomic_store_n(&field, value, __ATOMIC_RELAXED);
}

// Per-stream storage that is not part of the settings: the priming buffer is
// made when the stream opens so that the first ProcessStream does not have to
// allocate on the audio thread.
struct StreamStorage;

} // namespace stavo

struct EffectInstance {
    CToneShifter* shifters[stavo::kMaxChannels];
    CVoiceGate* gate;
    CPitchEstimator* estimator;
    CDrumDetector* drums;

    // The six settings (see Presets.h for keys and defaults).
    std::int32_t Speed;
    std::int32_t Threshold;
    std::int32_t law; // SwitchingLaw, stored under the key "Drums"
    std::int32_t Rate;
    std::int32_t FirstTone;
    std::int32_t SecondTone;

    // Switching law state; survives a re-open of the stream.
    std::int32_t segmentCounter;
    double ratio;

    float inputRing[stavo::kMaxChannels][stavo::kBlockFrames];
    float outputRing[stavo::kMaxChannels][stavo::kBlockFrames];
    std::uint32_t ringPosition;
    std::uint32_t primed;
    std::uint32_t inputEnded;
    std::uint32_t tailRemaining;

    StreamCallback callback;
    void* callbackUser;

    // Not part of the original record: storage of the open stream (null
    // while closed or after a refused open).
    stavo::StreamStorage* stream;
};
