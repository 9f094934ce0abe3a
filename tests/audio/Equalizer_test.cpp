#include "audio/Equalizer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kDelay = CEqualizer::kDelay;

std::vector<float> Sine(double freq, double rate, std::size_t n) {
    std::vector<float> x(n);
    for (std::size_t t = 0; t < n; ++t)
        x[t] = static_cast<float>(std::sin(2.0 * kPi * freq * t / rate));
    return x;
}

std::vector<float> Noise(std::size_t n, unsigned seed) {
    std::vector<float> x(n);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (float& v : x)
        v = noise(rng);
    return x;
}

// Amplitude of the sinusoid at freq in y[from .. from + count), by a least
// squares fit of sine and cosine (exact for any window length).
double Amplitude(const std::vector<float>& y, std::size_t from, std::size_t count, double freq,
                 double rate) {
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (std::size_t t = from; t < from + count; ++t) {
        const double s = std::sin(2.0 * kPi * freq * t / rate);
        const double c = std::cos(2.0 * kPi * freq * t / rate);
        ss += s * s;
        cc += c * c;
        sc += s * c;
        ys += y[t] * s;
        yc += y[t] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det;
    const double b = (yc * ss - ys * sc) / det;
    return std::hypot(a, b);
}

double Db(double ratio) {
    return 20.0 * std::log10(ratio);
}

std::array<float, 10> Flat() {
    std::array<float, 10> g;
    g.fill(1.0f);
    return g;
}

// The objects are large (all arrays inline); keep them off the test stack.
std::unique_ptr<CEqualizer> Make(std::uint32_t rate, const std::array<float, 10>& gains) {
    auto eq = std::make_unique<CEqualizer>();
    eq->SetSampleRate(rate);
    eq->SetGains(gains.data());
    return eq;
}

std::vector<float> Filter(CEqualizer& eq, const std::vector<float>& x) {
    std::vector<float> y(x.size());
    eq.Process(static_cast<std::uint32_t>(x.size()), x.data(), y.data());
    return y;
}

constexpr std::size_t kLength = 20000;
constexpr std::size_t kSteady = kDelay + CEqualizer::kTaps; // first sample past the transient
constexpr std::size_t kWindow = kLength - kSteady;

} // namespace

// A wrong rotation or scaling of the designed filter shows up as a gain error,
// a different latency or a smeared impulse.
TEST(Equalizer, FlatGainsPassSinesUnchangedAfter3072Samples) {
    const double rate = 44100;
    auto eq = Make(44100, Flat());
    // On the design grid the response is exactly the designed one, so the
    // output must be the input shifted by the delay.
    for (int bin : {5, 46, 232, 697, 929, 1015}) {
        const double f = bin * rate / CEqualizer::kTaps;
        eq->Reset();
        const std::vector<float> x = Sine(f, rate, kLength);
        const std::vector<float> y = Filter(*eq, x);
        double worst = 0;
        for (std::size_t t = kSteady; t < kLength; ++t)
            worst = std::max(worst, std::fabs(double(y[t]) - x[t - kDelay]));
        EXPECT_LT(worst, 2e-3) << f << " Hz";
    }
}

TEST(Equalizer, ImpulseComesOutAfterExactly3072Samples) {
    auto eq = Make(48000, Flat());
    std::vector<float> x(3 * CEqualizer::kBlock, 0.0f);
    x[0] = 1.0f;
    const std::vector<float> y = Filter(*eq, x);
    const auto peak = std::max_element(y.begin(), y.end());
    EXPECT_EQ(peak - y.begin(), kDelay);
    EXPECT_NEAR(*peak, 938.0 / 1024.0, 2e-3); // bins at and above 22 kHz are removed
}

// Block bookkeeping: any split of the input, in place or not, must give the
// same samples as one call.
TEST(Equalizer, ChunkedAndInPlaceProcessingMatchesOneCall) {
    const std::vector<float> x = Noise(5 * CEqualizer::kBlock + 123, 7);
    std::array<float, 10> gains = {1.5f, 0.2f, 1.0f, 2.0f, 0.0f, 1.0f, 0.7f, 1.9f, 1.0f, 0.5f};

    auto whole = Make(44100, gains);
    const std::vector<float> expected = Filter(*whole, x);

    auto pieces = Make(44100, gains);
    std::vector<float> y = x;
    const std::uint32_t sizes[] = {1, 2047, 2048, 5000, 0, 17, 4096};
    std::size_t at = 0;
    for (std::size_t i = 0; at < y.size(); ++i) {
        const std::uint32_t n = std::min<std::size_t>(sizes[i % 7], y.size() - at);
        pieces->Process(n, y.data() + at, y.data() + at);
        at += n;
    }
    EXPECT_EQ(y, expected);
}

// Play resets the equalizers: nothing of the previous track may come out.
TEST(Equalizer, ResetForgetsTheSignal) {
    auto eq = Make(44100, Flat());
    Filter(*eq, std::vector<float>(3000, 0.9f));
    eq->Reset();
    for (float v : Filter(*eq, std::vector<float>(3 * CEqualizer::kBlock, 0.0f)))
        ASSERT_EQ(v, 0.0f);
}

// A band at full boost (slider at 0, gain 2.0, shaped 5.0) must lift its own
// frequencies by about 14 dB and a band at 0 must take them out. Each band
// glides from its neighbour's gain at its lower edge to its own gain at its
// upper edge, so a band's own gain is reached at its top design bin, which is
// its upper edge where the bands are several bins wide (from 200 Hz up).
TEST(Equalizer, FullBoostAndCutOfOneBandMeasuredOnSines) {
    const double rate = 44100;
    const double full = 20.0 * std::log10(5.0);
    auto probe = std::make_unique<CEqualizer>();
    for (int band = 0; band < 10; ++band) {
        const double edge = probe->GetEdge(band + 1);
        const int topBin = static_cast<int>(std::min(edge / rate, 0.5) * CEqualizer::kTaps) - 1;
        std::vector<double> freqs = {topBin * rate / CEqualizer::kTaps};
        if (band >= 3 && band <= 8) freqs.push_back(edge);

        std::array<float, 10> gains = Flat();
        gains[band] = 2.0f;
        auto boosted = Make(44100, gains);
        gains[band] = 0.0f;
        auto cut = Make(44100, gains);
        for (double f : freqs) {
            const std::vector<float> x = Sine(f, rate, kLength);
            boosted->Reset();
            cut->Reset();
            const double up = Amplitude(Filter(*boosted, x), kSteady, kWindow, f, rate);
            EXPECT_NEAR(Db(up), full, 0.5) << "band " << band << " at " << f << " Hz";
            const double down = Amplitude(Filter(*cut, x), kSteady, kWindow, f, rate);
            EXPECT_LT(Db(down), -30.0) << "band " << band << " at " << f << " Hz";
        }

        // Two bands further up, the boost no longer reaches.
        if (band >= 3 && band <= 6) {
            const double far = probe->GetEdge(band + 3);
            boosted->Reset();
            const double level =
                Amplitude(Filter(*boosted, Sine(far, rate, kLength)), kSteady, kWindow, far, rate);
            EXPECT_NEAR(Db(level), 0.0, 0.5) << "band " << band << " at " << far << " Hz";
        }
    }
}

TEST(Equalizer, DesignBinsAt44100And48000) {
    std::array<float, 10> gains = Flat();
    float h[CEqualizer::kTaps / 2 + 1];

    // 22000 / 44100 * 2048 = 1021.7: bins 1021 .. 1024 are outside the last band.
    CEqualizer::DesignResponse(44100, gains.data(), h);
    EXPECT_FLOAT_EQ(h[1020], 1.0f);
    for (int k = 1021; k <= 1024; ++k)
        EXPECT_EQ(h[k], 0.0f) << k;

    // 22000 / 48000 * 2048 = 938.7: everything from bin 938 (21984 Hz) up is gone.
    CEqualizer::DesignResponse(48000, gains.data(), h);
    EXPECT_FLOAT_EQ(h[937], 1.0f);
    for (int k = 938; k <= 1024; ++k)
        ASSERT_EQ(h[k], 0.0f) << k;

    // The 0-50 Hz band covers bins 0 and 1 at 44100; the next band's glide
    // starts halfway (its width is two bins).
    gains[0] = 0.0f;
    CEqualizer::DesignResponse(44100, gains.data(), h);
    EXPECT_EQ(h[0], 0.0f);
    EXPECT_EQ(h[1], 0.0f);
    EXPECT_NEAR(h[2], 0.5f, 1e-6);
    EXPECT_FLOAT_EQ(h[3], 1.0f);
}

// Before the player hands over a rate there is no design; the signal must
// still come through (not silence, not garbage from dividing by zero).
TEST(Equalizer, WithoutASampleRateTheSignalPassesDelayed) {
    auto eq = std::make_unique<CEqualizer>();
    const std::array<float, 10> gains = {2, 0, 2, 0, 2, 0, 2, 0, 2, 0};
    eq->SetGains(gains.data());
    const std::vector<float> x = Noise(3 * CEqualizer::kBlock + 500, 3);
    const std::vector<float> y = Filter(*eq, x);
    for (std::size_t t = kDelay; t < x.size(); ++t)
        ASSERT_NEAR(y[t], x[t - kDelay], 1e-5) << t;
}
