// Whole-effect checks on synthetic signals, through the loaded plug-in: the
// output is measured, not the internals.
#include "PluginLoader.h"
#include "Signals.h"
#include "plugin/DrumDetector.h"
#include "plugin/EffectInstance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr double kRate = 44100;

using testsignals::Input;
using testsignals::Pull;

std::vector<float> DrumLoop(double seconds, double period) {
    return testsignals::DrumLoop(seconds, period, kRate);
}

// Runs a mono signal through the plug-in with the given law; the output, and
// the ratio the instance held after each buffer.
std::vector<float> RunEffect(const std::vector<float>& signal, std::int32_t law, std::int32_t rate,
                             std::vector<double>* ratios = nullptr) {
    const PluginExports& p = Plugin();
    EffectInstance* instance = nullptr;
    EXPECT_EQ(p.Initialize(nullptr, nullptr, nullptr, &instance), 1);
    instance->law = law;
    instance->Rate = rate;
    Input input{&signal};
    p.SetStreamCallBack(&Pull, &input, instance);
    WAVEFORMATEX format{};
    format.nChannels = 1;
    format.nSamplesPerSec = static_cast<std::uint32_t>(kRate);
    EXPECT_EQ(p.OpenStream(instance, &format), 0);
    std::vector<float> output;
    std::vector<float> block(1320);
    StreamBuffer buffer;
    buffer.channels = {block.data()};
    buffer.frames = 1320;
    for (std::uint32_t got; (got = p.ProcessStream(&buffer, instance)) != 0;) {
        output.insert(output.end(), block.begin(), block.begin() + got);
        if (ratios) ratios->push_back(instance->ratio);
    }
    p.CloseStream(instance);
    p.Free(instance);
    return output;
}

} // namespace

// A steady 220 Hz tone under Periodic (Rate 20, +2 and -2 semitones) must
// come out alternating between 220 * 1.122 and 220 * 0.89126563 Hz.
TEST(EndToEnd, PeriodicToneAlternatesBetweenTheTwoPitches) {
    const auto input = testsignals::HarmonicTone(220.0, 0.3, 5, 6 * 44100, kRate);
    const auto output = RunEffect(input, 1, 20);
    ASSERT_EQ(output.size(), input.size());

    const double up = 220.0 * 1.122, down = 220.0 * 0.89126563;
    constexpr std::size_t kWindow = 4096, kHop = 2048;
    std::vector<char> labels; // 'u', 'd' or '?'
    std::vector<double> cents;
    for (std::size_t at = 0; at + kWindow <= output.size(); at += kHop) {
        const double f = testsignals::PeakFrequency(output.data() + at, kWindow, 150, 300, kRate);
        const double offUp = std::fabs(testsignals::Cents(f, up));
        const double offDown = std::fabs(testsignals::Cents(f, down));
        labels.push_back(offUp < 10 ? 'u' : offDown < 10 ? 'd' : '?');
        cents.push_back(std::min(offUp, offDown));
    }
    // Runs of one pitch, then the other: a segment lasts 20 blocks (0.6 s,
    // about 13 windows).
    std::string runs;
    for (char c : labels)
        if (c != '?' && (runs.empty() || runs.back() != c)) runs.push_back(c);
    EXPECT_GE(runs.size(), 8u) << std::string(labels.begin(), labels.end());
    EXPECT_EQ(runs.substr(0, 2), "ud");
    const auto known = std::count_if(labels.begin(), labels.end(), [](char c) { return c != '?'; });
    EXPECT_GT(known, static_cast<long>(labels.size() * 3 / 4))
        << std::string(labels.begin(), labels.end());
    // Inside a segment (away from the windows that straddle a change) the
    // pitch is the intended one within a few cents.
    double worstCents = 0.0;
    for (std::size_t i = 1; i + 1 < labels.size(); ++i)
        if (labels[i] != '?' && labels[i - 1] == labels[i] && labels[i + 1] == labels[i])
            worstCents = std::max(worstCents, cents[i]);
    EXPECT_LT(worstCents, 3.0) << std::string(labels.begin(), labels.end());
}

// A rate with no divisor near 150 once ran the envelope at the sample rate
// itself, and the resonators took gigabytes (found by fuzzing the stream).
TEST(EndToEnd, DrumDetectorAtAnOddRateKeepsItsEnvelopeRateNear150) {
    CDrumDetector detector;
    WAVEFORMATEX format{};
    format.nChannels = 1;
    for (std::uint32_t rate : {170063u, 44101u, 7919u}) {
        format.nSamplesPerSec = rate;
        ASSERT_TRUE(detector.Open(format));
        EXPECT_GE(detector.EnvelopeRate(), 150u) << rate;
        EXPECT_LT(detector.EnvelopeRate(), 300u) << rate;
        EXPECT_EQ(detector.Decimation(), rate / detector.EnvelopeRate()) << rate;
    }
}

// The detector's beats on a loop of kicks every half second.
TEST(EndToEnd, DrumDetectorFindsTheBeatOfALoop) {
    const auto loop = DrumLoop(12.0, 0.5);
    CDrumDetector detector;
    WAVEFORMATEX format{};
    format.nChannels = 1;
    format.nSamplesPerSec = 44100;
    ASSERT_TRUE(detector.Open(format));
    EXPECT_EQ(detector.EnvelopeRate(), 150u);
    EXPECT_EQ(detector.Decimation(), 294u);
    std::vector<double> beats;
    std::vector<float> block(1320);
    for (std::size_t at = 0; at + 1320 <= loop.size(); at += 1320) {
        std::copy_n(loop.data() + at, 1320, block.data());
        float* channels[1] = {block.data()};
        if (detector.ProcessChannels(channels, 1, 1320)) beats.push_back(detector.LastBeat());
    }
    // The resonators need a few seconds to build up; after that every kick
    // (at 0.25 + k / 2 seconds) is reported, and nothing else.
    std::vector<double> settled;
    for (double t : beats)
        if (t > 5.0) settled.push_back(t);
    ASSERT_GE(settled.size(), 10u);
    for (double t : settled) {
        const double phase = std::fmod(t - 0.25, 0.5);
        EXPECT_LT(std::min(phase, 0.5 - phase), 0.03) << t;
    }
    for (std::size_t i = 1; i < settled.size(); ++i)
        EXPECT_NEAR(settled[i] - settled[i - 1], 0.5, 0.03) << settled[i];
    // The chosen period is the beat or twice it.
    const double tempo = detector.Tempo();
    EXPECT_NEAR(tempo / 0.5, std::round(tempo / 0.5), 0.05) << tempo;
}

// Under Drums the voice toggles between the two tones on the beats.
TEST(EndToEnd, DrumsLawTogglesTheToneOnBeats) {
    const auto loop = DrumLoop(12.0, 0.5);
    std::vector<double> ratios;
    RunEffect(loop, 0, 3, &ratios);
    int toggles = 0;
    for (std::size_t i = 1; i < ratios.size(); ++i)
        if (ratios[i] != ratios[i - 1] && ratios[i] != 1.0 && ratios[i - 1] != 1.0) ++toggles;
    EXPECT_GE(toggles, 4);
    EXPECT_NE(std::find(ratios.begin(), ratios.end(), static_cast<double>(1.122f)), ratios.end());
}
