// Steady-tone detection, once per block: CPitchEstimator finds the dominant
// frequency between 250 and 500 Hz, CVoiceGate says whether the block is loud
// enough and its frequency (folded into one octave) has held still for long
// enough. Neither allocates after SetSampleRate.
#pragma once

#include "dsp/nsp.h"

#include <cstdint>
#include <vector>

class CPitchEstimator {
public:
    // Blocks longer than this are not analysed beyond it.
    static constexpr int kMaxFrames = 4096;

    // Stores the rate and sizes the work arrays (the only allocation).
    void SetSampleRate(std::uint32_t samplesPerSecond);
    // The dominant frequency of x[0..n) in Hz. Needs SetSampleRate first.
    float Estimate(const double* x, int n);

    double PreviousFrequency() const { return m_previousFrequency; }

private:
    // Magnitudes of the triangular-weighted single-frequency DFT at count
    // (2 or 3) frequencies g[] Hz, into m[].
    void Magnitudes(const double* g, double* m, int count) const;

    std::int32_t m_bandLow = 250;
    std::int32_t m_bandHigh = 500;
    std::vector<double> m_work;
    int m_workFrames = 0;
    std::uint32_t m_sampleRate = 0;
    double m_previousFrequency = 2000.0;
    double m_previousMagnitude = 0.0;
    // Coarse-peak arrays, kept between blocks instead of reallocated.
    std::vector<double> m_windowed;
    std::vector<DCplx> m_spectrum;
    std::vector<double> m_magnitudes;
};

class CVoiceGate {
public:
    void SetBlockLength(std::int32_t frames) { m_blockLength = frames; }
    void SetLevelThreshold(double meanSquare) { m_levelThreshold = meanSquare; }
    void SetRequiredCount(std::int32_t blocks) { m_requiredCount = blocks; }

    // True when this block continues a long enough run of loud, stable blocks.
    bool Decide(double frequency, const double* x);

    std::int32_t StableCount() const { return m_stableCount; }
    double PreviousFoldedFrequency() const { return m_previousFolded; }

private:
    std::int32_t m_blockLength = 0;
    double m_levelThreshold = 0.001;
    std::int32_t m_requiredCount = 3;
    double m_previousFolded = 1.0;
    std::int32_t m_stableCount = 0;
};
