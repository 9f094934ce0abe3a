// Analytic test signals and a pitch meter for the plug-in tests.
#pragma once

#include "sonvara/StreamBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace testsignals {

// The plug-in's input from memory: every channel gets the same samples.
struct Input {
    const std::vector<float>* samples;
    std::size_t position = 0;
};

inline std::uint32_t Pull(void* user, StreamBuffer* buffer) {
    auto* input = static_cast<Input*>(user);
    const std::size_t n =
        std::min<std::size_t>(buffer->frames, input->samples->size() - input->position);
    for (float* channel : buffer->channels)
        std::copy_n(input->samples->data() + input->position, n, channel);
    input->position += n;
    return static_cast<std::uint32_t>(n);
}

// A harmonic tone: harmonics 1..count with amplitudes amplitude / k.
inline std::vector<float> HarmonicTone(double f0, double amplitude, int count, std::size_t frames,
                                       double rate) {
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        double v = 0.0;
        for (int k = 1; k <= count; ++k)
            v += amplitude / k * std::sin(2 * M_PI * f0 * k * i / rate);
        out[i] = static_cast<float>(v);
    }
    return out;
}

// A kick every `period` seconds from 0.25 s on (a decaying 60 Hz burst)
// over a sung 220 Hz tone.
inline std::vector<float> DrumLoop(double seconds, double period, double rate) {
    auto out = HarmonicTone(220.0, 0.2, 4, static_cast<std::size_t>(seconds * rate), rate);
    const auto hitLength = static_cast<std::size_t>(0.25 * rate);
    for (double t = 0.25; t < seconds - 0.3; t += period) {
        const auto start = static_cast<std::size_t>(t * rate);
        for (std::size_t i = 0; i < hitLength; ++i) {
            const double time = i / rate;
            out[start + i] +=
                static_cast<float>(0.8 * std::exp(-time / 0.06) * std::sin(2 * M_PI * 60.0 * time));
        }
    }
    return out;
}

inline std::vector<float> Sine(double f, double amplitude, std::size_t frames, double rate) {
    return HarmonicTone(f, amplitude, 1, frames, rate);
}

// Magnitude of the DFT of the (already windowed) w[0..n) at frequency f.
inline double Magnitude(const std::vector<double>& w, double f, double rate) {
    const double step = 2 * M_PI * f / rate;
    const double c = std::cos(step), s = std::sin(step);
    double pr = 1.0, pi = 0.0, re = 0.0, im = 0.0;
    for (double v : w) {
        re += v * pr;
        im += v * pi;
        const double t = pr * c - pi * s;
        pi = pr * s + pi * c;
        pr = t;
    }
    return std::sqrt(re * re + im * im);
}

// The frequency of the strongest spectral peak of the Hann-windowed x[0..n)
// between lo and hi Hz, to a hundredth of a hertz.
inline double PeakFrequency(const float* x, std::size_t n, double lo, double hi, double rate) {
    std::vector<double> w(n);
    for (std::size_t i = 0; i < n; ++i)
        w[i] = (0.5 - 0.5 * std::cos(2 * M_PI * i / (n - 1))) * x[i];
    double best = lo, bestMag = -1.0;
    for (double f = lo; f <= hi; f += 2.0) {
        const double m = Magnitude(w, f, rate);
        if (m > bestMag) bestMag = m, best = f;
    }
    const double centre = best;
    for (double f = centre - 2.0; f <= centre + 2.0; f += 0.02) {
        const double m = Magnitude(w, f, rate);
        if (m > bestMag) bestMag = m, best = f;
    }
    return best;
}

inline double Cents(double f, double reference) {
    return 1200.0 * std::log2(f / reference);
}

} // namespace testsignals
