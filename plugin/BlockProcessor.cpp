#include "plugin/BlockProcessor.h"

#include "plugin/DrumDetector.h"
#include "plugin/PitchTracker.h"
#include "plugin/ToneShifter.h"

#include <algorithm>

namespace stavo {

double UpdateSwitchingLaw(EffectInstance& instance, bool voiced, bool beat) {
    // The settings panel may write these at any time: read each once.
    const std::int32_t law = LoadSetting(instance.law);
    const std::int32_t first = LoadSetting(instance.FirstTone);
    const std::int32_t second = LoadSetting(instance.SecondTone);
    // A Rate below 1 (only from a hand-edited preset) would divide by zero.
    const std::int32_t rate = std::max(LoadSetting(instance.Rate), std::int32_t{1});

    std::int32_t& s = instance.segmentCounter;
    if (!voiced)
        s = 0;
    else if (s == 0)
        s = 1;

    if (s < 1) {
        instance.ratio = 1.0;
    } else if (law == LawDrums) {
        if (beat) ++s;
        if (s > 1) instance.ratio = ((s - 1) % 2 != 0) ? ToneRatio(first) : ToneRatio(second);
    } else {
        const std::int32_t k = (s - 1) / rate;
        const double alternating = (k % 2 == 0) ? ToneRatio(first) : ToneRatio(second);
        switch (law) {
        case LawPeriodic:
            instance.ratio = alternating;
            break;
        case LawTwice:
            instance.ratio = k < 4 ? alternating : 1.0;
            break;
        case LawOnce:
            instance.ratio = k < 2 ? alternating : 1.0;
            break;
        default:
            instance.ratio = 1.0;
            break;
        }
        ++s;
    }
    return instance.ratio;
}

void ProcessBlock(EffectInstance& instance, float* const* channels, std::uint32_t count) {
    if (count == 0 || !instance.estimator || !instance.gate) return;
    const double previousRatio = instance.ratio;

    bool beat = false;
    if (LoadSetting(instance.law) == LawDrums && instance.drums)
        beat = instance.drums->ProcessChannels(channels, count, kBlockFrames);

    // The analysis block: channel 0, or the mean of the first two channels.
    double mono[kBlockFrames];
    if (count == 1) {
        for (std::uint32_t i = 0; i < kBlockFrames; ++i)
            mono[i] = channels[0][i];
    } else {
        for (std::uint32_t i = 0; i < kBlockFrames; ++i)
            mono[i] = (static_cast<double>(channels[0][i]) + channels[1][i]) / 2;
    }
    const float frequency = instance.estimator->Estimate(mono, static_cast<int>(kBlockFrames));
    const bool voiced = instance.gate->Decide(static_cast<double>(frequency), mono);

    UpdateSwitchingLaw(instance, voiced, beat);

    // Each shifter takes the new ratio only after this block, so a decision
    // is heard one block later.
    for (std::uint32_t c = 0; c < count; ++c) {
        if (!instance.shifters[c]) continue;
        instance.shifters[c]->Process(channels[c], kBlockFrames);
        instance.shifters[c]->SetRatio(static_cast<float>(previousRatio));
    }
}

} // namespace stavo
