// One channel of the host's ten-band graphic equalizer.
//
// The ten band gains become a 2048-tap linear-phase FIR filter (frequency
// sampling with raised-cosine transitions between neighbouring bands), which
// is applied by 4096-point FFT overlap-add on blocks of 2048 samples. The
// output lags the input by kDelay = 3072 samples: 2048 to collect a block and
// 1024 for the filter's centre tap.
//
// Threads: the object is not synchronised. The player designs on the window
// thread into an equalizer of its own and its output thread copies the
// finished design (TakeDesign) between blocks, so a block never waits for a
// redesign and a redesign never overlaps a block.
//
// Real time: Process and Reset allocate nothing and take no lock; every array
// lives inside the object. The design (SetSampleRate, SetGains) keeps its
// temporaries on the stack. The constructor makes sure the FFT tables of the
// orders used here exist, so the first block does not build them.
#pragma once

#include "dsp/nsp.h"

#include <array>
#include <cstdint>

class CEqualizer {
public:
    static constexpr int kBands = 10;
    static constexpr int kBlock = 2048;               // samples per processed block
    static constexpr int kFft = 2 * kBlock;           // overlap-add transform length
    static constexpr int kBins = kFft / 2 + 1;        // CCS bins of the transform
    static constexpr int kTaps = 2048;                // FIR length
    static constexpr int kDelay = kBlock + kTaps / 2; // input-to-output lag in samples

    CEqualizer();

    // Clears the signal history (collected input, pending output, overlap);
    // the design is kept.
    void Reset();

    // Stores the sample rate in Hz and redesigns the filter. With a rate of
    // 0 no design is possible and the equalizer passes the signal unchanged
    // (still delayed by kDelay).
    void SetSampleRate(std::uint32_t rate);

    // Takes kBands gains (1.0 = flat), shapes them (a gain g above 1.0
    // becomes 5^(g - 1), so 2.0 is about +14 dB), stores them and redesigns.
    void SetGains(const float* gains);

    // Takes the rate, gains and filter of another equalizer's design; the
    // signal history is kept. Real-time safe: a copy of fixed arrays.
    void TakeDesign(const CEqualizer& from);

    // Filters n samples from in to out; in and out may be the same buffer.
    void Process(std::uint32_t n, const float* in, float* out);

    std::uint32_t GetSampleRate() const { return sampleRate; }
    // The shaped gain of band b.
    float GetGain(int b) const { return gains[b]; }
    // The band edges in Hz: band b spans GetEdge(b) .. GetEdge(b + 1).
    int GetEdge(int b) const { return edges[b]; }

    // The design's 2048-point response (1025 real bins) for the given rate
    // and shaped gains; the filter is this response made causal. Exposed so
    // the band layout can be checked without going through a transform.
    static void DesignResponse(std::uint32_t rate, const float* shapedGains,
                               float* response /* kTaps / 2 + 1 values */);

private:
    void Design();

    std::uint32_t pos = 0;
    alignas(32) std::array<float, kBlock> inBlock{};
    alignas(32) std::array<float, kBlock> outBlock{};
    alignas(32) std::array<float, kFft> work{};
    alignas(32) std::array<SCplx, kBins> spectrum{};
    alignas(32) std::array<SCplx, kBins> filter{};
    std::array<float, kBands> gains;
    std::array<std::int32_t, kBands + 1> edges;
    alignas(32) std::array<float, kBlock> tail{};
    std::uint32_t sampleRate = 0;
};
