// Steady-tone detection: the estimator's coarse peak and refinement, the
// gate's run counting.
#include "Signals.h"
#include "plugin/PitchTracker.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kBlock = 1320;

std::vector<double> Block(const std::vector<float>& signal, int index) {
    return std::vector<double>(signal.begin() + index * kBlock,
                               signal.begin() + (index + 1) * kBlock);
}

} // namespace

TEST(PitchTracker, SteadyToneOpensTheGateOnTheFourthBlock) {
    const double amplitude = std::pow(10.0, -10.0 / 20); // -10 dBFS
    const auto tone = testsignals::Sine(440.0, amplitude, 10 * kBlock, 44100);
    CPitchEstimator estimator;
    estimator.SetSampleRate(44100);
    CVoiceGate gate;
    gate.SetBlockLength(kBlock);
    gate.SetRequiredCount(3);
    gate.SetLevelThreshold(std::pow(10 * 0.005, 2));
    for (int b = 0; b < 10; ++b) {
        const auto x = Block(tone, b);
        const float f = estimator.Estimate(x.data(), kBlock);
        // Coarse bin 10 of a 1024-point FFT: 10 * 44100 / 1024 Hz.
        EXPECT_NEAR(f, 430.664, 0.001) << b;
        const bool open = gate.Decide(f, x.data());
        EXPECT_NEAR(gate.PreviousFoldedFrequency(), 107.666, 0.001);
        // The first block is compared with the initial 1.0 and is unstable.
        EXPECT_EQ(open, b >= 3) << b;
    }
}

TEST(PitchTracker, QuietToneNeverCounts) {
    // RMS just below Threshold * 0.0025 with Threshold 10.
    const double amplitude = 0.024 * std::sqrt(2.0);
    const auto tone = testsignals::Sine(440.0, amplitude, 8 * kBlock, 44100);
    CPitchEstimator estimator;
    estimator.SetSampleRate(44100);
    CVoiceGate gate;
    gate.SetBlockLength(kBlock);
    gate.SetLevelThreshold(std::pow(10 * 0.005, 2));
    for (int b = 0; b < 8; ++b) {
        const auto x = Block(tone, b);
        EXPECT_FALSE(gate.Decide(estimator.Estimate(x.data(), kBlock), x.data()));
        EXPECT_EQ(gate.StableCount(), 0);
    }
}

TEST(PitchTracker, GateFoldsOctavesAndRestartsOnJumps) {
    CVoiceGate gate;
    gate.SetBlockLength(kBlock);
    gate.SetRequiredCount(2);
    const std::vector<double> loud(kBlock, 0.5);
    EXPECT_FALSE(gate.Decide(220.0, loud.data())); // against the initial 1.0
    EXPECT_FALSE(gate.Decide(440.0, loud.data())); // same folded value: run of 1
    EXPECT_TRUE(gate.Decide(880.0, loud.data()));  // run of 2
    // A glide of more than 30 Hz after folding restarts the run each block.
    for (double f : {300.0, 380.0, 230.0, 290.0}) {
        EXPECT_FALSE(gate.Decide(f, loud.data())) << f;
        EXPECT_EQ(gate.StableCount(), 0) << f;
    }
    // Below 200 Hz no estimate counts.
    EXPECT_FALSE(gate.Decide(199.0, loud.data()));
    EXPECT_EQ(gate.StableCount(), 0);
}

// At 8000 samples per second the whole-hertz bin width is 7 Hz, so the
// search covers bins 35..71: a 300 Hz tone lands in bin 38.
TEST(PitchTracker, LowSampleRateSearchesTheSameBand) {
    const auto tone = testsignals::Sine(300.0, 0.3, 2 * kBlock, 8000);
    CPitchEstimator estimator;
    estimator.SetSampleRate(8000);
    const auto x = Block(tone, 0);
    EXPECT_NEAR(estimator.Estimate(x.data(), kBlock), 38 * 8000.0 / 1024, 0.001);
}
