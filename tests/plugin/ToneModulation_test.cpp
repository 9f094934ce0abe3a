// The switching laws, the tone shifter's lengths and its bounds.
#include "Signals.h"
#include "plugin/BlockProcessor.h"
#include "plugin/DrumDetector.h"
#include "plugin/Presets.h"
#include "plugin/Stream.h"
#include "plugin/ToneShifter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kBlock = stavo::kBlockFrames;
constexpr float kUp2 = 1.122f;        // index 4
constexpr float kDown2 = 0.89126563f; // index 8

struct Instance {
    std::unique_ptr<EffectInstance, void (*)(EffectInstance*)> e{stavo::NewInstance(),
                                                                 &stavo::FreeInstance};
    explicit Instance(std::int32_t law, std::int32_t rate, std::uint16_t channels = 1) {
        e->law = law;
        e->Rate = rate;
        WAVEFORMATEX format{};
        format.nChannels = channels;
        format.nSamplesPerSec = 44100;
        EXPECT_EQ(stavo::OpenStream(*e, &format), 0);
    }
};

// Runs `blocks` consecutive blocks of a steady tone (or of silence from
// block `quietFrom` on) and returns the ratio chosen after each.
std::vector<double> Ratios(EffectInstance& e, int blocks, int quietFrom = 1 << 30,
                           int loudAgainFrom = 1 << 30) {
    const auto tone = testsignals::HarmonicTone(220.0, 0.3, 4, kBlock * blocks, 44100);
    std::vector<double> ratios;
    std::vector<float> block(kBlock);
    for (int b = 0; b < blocks; ++b) {
        const bool quiet = b >= quietFrom && b < loudAgainFrom;
        for (std::uint32_t i = 0; i < kBlock; ++i)
            block[i] = quiet ? 0.0f : tone[b * kBlock + i];
        float* channels[1] = {block.data()};
        stavo::ProcessBlock(e, channels, 1);
        ratios.push_back(e.ratio);
    }
    return ratios;
}

void ExpectSequence(const std::vector<double>& got, const std::vector<float>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_FLOAT_EQ(static_cast<float>(got[i]), want[i]) << "block " << i;
}

} // namespace

// The gate opens on block 4 (index 3) of a steady tone with Speed 3.
TEST(SwitchingLaw, PeriodicAlternatesInRunsOfRate) {
    Instance in(stavo::LawPeriodic, 3);
    const auto r = Ratios(*in.e, 13);
    ExpectSequence(r,
                   {1, 1, 1, kUp2, kUp2, kUp2, kDown2, kDown2, kDown2, kUp2, kUp2, kUp2, kDown2});
    // Each shifter runs one block behind the decision.
    EXPECT_FLOAT_EQ(in.e->shifters[0]->Ratio(), static_cast<float>(r[11]));
}

TEST(SwitchingLaw, TwicePlaysFourSegmentsThenTheNaturalVoice) {
    Instance in(stavo::LawTwice, 1);
    ExpectSequence(Ratios(*in.e, 10), {1, 1, 1, kUp2, kDown2, kUp2, kDown2, 1, 1, 1});
}

TEST(SwitchingLaw, OnceRestartsWhenTheToneReturns) {
    Instance in(stavo::LawOnce, 2);
    // Quiet blocks 9 and 10 close the gate; the tone then needs three stable
    // blocks again (quiet blocks leave the last folded frequency as it was).
    ExpectSequence(Ratios(*in.e, 16, 9, 11),
                   {1, 1, 1, kUp2, kUp2, kDown2, kDown2, 1, 1, 1, 1, 1, 1, kUp2, kUp2, kDown2});
}

TEST(SwitchingLaw, UnknownLawsAndBadSettingsKeepTheNaturalVoice) {
    Instance unknown(5, 3);
    for (double r : Ratios(*unknown.e, 8))
        EXPECT_EQ(r, 1.0);
    EXPECT_GT(unknown.e->segmentCounter, 1);

    // Rate 0 would divide by zero; tone indices outside the table would
    // read outside it.
    Instance bad(stavo::LawPeriodic, 0);
    bad.e->FirstTone = 13;
    bad.e->SecondTone = -1;
    for (double r : Ratios(*bad.e, 8))
        EXPECT_EQ(r, 1.0);
}

TEST(SwitchingLaw, DrumsTogglesOnBeatsStartingWithTheFirstTone) {
    EffectInstance e{};
    stavo::ApplyDefaults(e);
    e.ratio = 1.0;
    EXPECT_EQ(stavo::UpdateSwitchingLaw(e, true, false), 1.0);
    EXPECT_EQ(stavo::UpdateSwitchingLaw(e, true, false), 1.0);
    EXPECT_FLOAT_EQ(stavo::UpdateSwitchingLaw(e, true, true), kUp2);
    EXPECT_FLOAT_EQ(stavo::UpdateSwitchingLaw(e, true, false), kUp2);
    EXPECT_FLOAT_EQ(stavo::UpdateSwitchingLaw(e, true, true), kDown2);
    EXPECT_FLOAT_EQ(stavo::UpdateSwitchingLaw(e, true, true), kUp2);
    // The tone stops: back to the natural voice, and the next beat after the
    // tone returns selects the first tone again.
    EXPECT_EQ(stavo::UpdateSwitchingLaw(e, false, true), 1.0);
    EXPECT_EQ(stavo::UpdateSwitchingLaw(e, true, false), 1.0);
    EXPECT_FLOAT_EQ(stavo::UpdateSwitchingLaw(e, true, true), kUp2);
}

// Opening the beat tracker starts the run-time library's random sequence
// from the seed 100, so that a stream behaves the same on every run.
TEST(DrumDetector, OpenSeedsTheRandomSequence) {
    std::srand(100);
    const int first = std::rand();
    std::srand(1);
    CDrumDetector detector;
    WAVEFORMATEX format{};
    format.nChannels = 1;
    format.nSamplesPerSec = 44100;
    ASSERT_TRUE(detector.Open(format));
    EXPECT_EQ(std::rand(), first);
}

TEST(ToneShifter, HopOutAndStretchedLengthFollowTheRatio) {
    CToneShifter shifter;
    shifter.SetSampleRate(44100);
    EXPECT_EQ(shifter.HopIn(), 1320u);
    EXPECT_EQ(shifter.Splicer().WindowLength(), 3528u);
    EXPECT_EQ(shifter.Splicer().CrossFadeLength(), 300u);
    EXPECT_EQ(shifter.Splicer().MinimumLag(), 88u);
    shifter.SetRatio(kUp2);
    EXPECT_EQ(shifter.HopOut(), 1481u);
    EXPECT_EQ(shifter.StretchedLength(), 1481u);
    shifter.SetRatio(kDown2);
    EXPECT_EQ(shifter.HopOut(), 1176u);
    EXPECT_EQ(shifter.StretchedLength(), 1176u);
    shifter.SetRatio(0.0f);
    EXPECT_EQ(shifter.HopOut(), 0u);
    EXPECT_EQ(shifter.StretchedLength(), 0u);
}

// The splicer's output queue was a fixed 44 100 frames: high rates, extreme
// ratios or low notes whose period never fits the excess must not overrun it.
TEST(ToneShifter, SplicerQueueStaysInsideItsStorageAtEveryRateAndRatio) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    for (std::uint32_t rate : {8000u, 11025u, 22050u, 44100u, 48000u, 96000u, 192000u}) {
        for (float ratio : stavo::kToneRatios) {
            CToneShifter shifter;
            shifter.SetSampleRate(rate);
            shifter.SetRatio(ratio);
            const std::uint32_t hop = shifter.HopIn();
            const auto low = testsignals::Sine(31.0, 0.5, hop * 24, rate);
            std::vector<float> x(hop);
            for (int frame = 0; frame < 24; ++frame) {
                for (std::uint32_t i = 0; i < hop; ++i)
                    x[i] = frame < 12 ? low[frame * hop + i] : noise(random);
                shifter.Process(x.data(), hop);
                ASSERT_LE(shifter.Splicer().QueueFill(), shifter.Splicer().QueueCapacity())
                    << rate << " " << ratio;
                for (float v : x)
                    ASSERT_TRUE(std::isfinite(v));
            }
        }
    }
}

// With the gate closed the voice passes unchanged, only delayed and smoothed
// by the two-tap average.
TEST(ToneShifter, ClosedGateGivesTheDelayedSmoothedInput) {
    Instance in(stavo::LawPeriodic, 3);
    in.e->Threshold = 60;
    WAVEFORMATEX format{};
    format.nChannels = 1;
    format.nSamplesPerSec = 44100;
    ASSERT_EQ(stavo::OpenStream(*in.e, &format), 0); // Threshold takes effect at open
    const std::uint32_t total = 40 * kBlock;
    const auto input = testsignals::HarmonicTone(233.0, 0.05, 5, total, 44100);
    std::vector<float> output(total);
    for (std::uint32_t b = 0; b < total / kBlock; ++b) {
        std::vector<float> block(input.begin() + b * kBlock, input.begin() + (b + 1) * kBlock);
        StreamBuffer buffer;
        buffer.channels = {block.data()};
        buffer.frames = kBlock;
        stavo::FeedBlocks(*in.e, buffer);
        std::copy(block.begin(), block.end(), output.begin() + b * kBlock);
    }
    // Find the delay, then demand an exact match after the start-up blocks.
    const std::uint32_t from = 12 * kBlock, to = 38 * kBlock;
    auto error = [&](std::uint32_t d, std::uint32_t end) {
        double worst = 0.0;
        for (std::uint32_t i = from; i < end; ++i) {
            const double want = (static_cast<double>(input[i - d]) + input[i - d - 1]) / 2;
            worst = std::max(worst, std::fabs(output[i] - want));
        }
        return worst;
    };
    std::uint32_t best = 2640;
    for (std::uint32_t d = 2640; d < 8000; ++d)
        if (error(d, from + 600) < error(best, from + 600)) best = d;
    EXPECT_LT(error(best, to), 1e-6) << "delay " << best;
    EXPECT_EQ(in.e->ratio, 1.0);
}

// Every supported rate through the whole chain (drum tracker included), in
// stereo, with the tones changing every block.
TEST(ToneShifter, WholeChainRunsAtEverySupportedRate) {
    for (std::uint32_t rate : {8000u, 11025u, 96000u, 192000u}) {
        for (std::int32_t law : {stavo::LawDrums, stavo::LawPeriodic}) {
            Instance in(law, 1, 2);
            WAVEFORMATEX format{};
            format.nChannels = 2;
            format.nSamplesPerSec = rate;
            ASSERT_EQ(stavo::OpenStream(*in.e, &format), 0);
            const auto tone = testsignals::HarmonicTone(220.0, 0.3, 4, kBlock * 12, rate);
            for (int b = 0; b < 12; ++b) {
                std::vector<float> left(tone.begin() + b * kBlock, tone.begin() + (b + 1) * kBlock);
                std::vector<float> right = left;
                float* channels[2] = {left.data(), right.data()};
                stavo::ProcessBlock(*in.e, channels, 2);
                for (float v : left)
                    ASSERT_TRUE(std::isfinite(v)) << rate;
            }
        }
    }
}
