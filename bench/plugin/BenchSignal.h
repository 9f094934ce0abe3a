// The signal the plug-in's benchmarks run: a 196 Hz tone with five harmonics
// and a slight vibrato, plus a decaying 60 Hz thump every half second, so
// that the voice gate opens, the tone shifters work and the Drums law has
// beats to follow.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

inline std::vector<double> SungToneWithDrums(double seconds, std::uint32_t rate) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<double> signal(frames);
    double phase = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += 2.0 * M_PI * 196.0 * (1.0 + 0.004 * std::sin(2.0 * M_PI * 5.0 * t)) / rate;
        double tone = 0.0;
        for (int k = 1; k <= 5; ++k)
            tone += std::sin(k * phase) / k;
        const double sinceHit = std::fmod(t, 0.5);
        const double drum = std::exp(-sinceHit * 30.0) * std::sin(2.0 * M_PI * 60.0 * sinceHit);
        signal[i] = 0.25 * tone + 0.4 * drum;
    }
    return signal;
}
