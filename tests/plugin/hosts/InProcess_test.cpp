// The LV2 and LADSPA builds driven in-process, with a host's own block
// lengths, rates and buffer layout.
#include "HostPlugins.h"

using namespace hosttest;

namespace {

// Runs `input` on both channels in blocks of the given lengths, repeated; in
// place hands the output arrays as input too. Before the first block from
// `changeAt` on (made a block boundary), the law becomes Once.
template <typename Plugin>
std::vector<float> RunBlocks(Plugin& plugin, const std::vector<float>& input,
                             const std::vector<std::uint32_t>& lengths, bool inPlace = false,
                             std::size_t changeAt = SIZE_MAX) {
    std::vector<float> source[2] = {input, input}, out[2] = {input, input};
    for (std::size_t at = 0, k = 0; at < input.size(); ++k) {
        if (at == changeAt) plugin.Set(Law, kOnce);
        const std::size_t n = std::min({std::size_t{lengths[k % lengths.size()]}, input.size() - at,
                                        at < changeAt ? changeAt - at : SIZE_MAX});
        for (int c = 0; c < 2; ++c)
            plugin.Connect(c, (inPlace ? out : source)[c].data() + at, out[c].data() + at);
        plugin.Run(static_cast<std::uint32_t>(n));
        at += n;
    }
    EXPECT_EQ(out[0], out[1]);
    return out[0];
}

} // namespace

// A wrong latency figure would make a host's delay compensation misplace the
// effect: with the voice left alone (a tone under the threshold), every
// output frame must be the input of exactly the reported latency before
// (through the shifter's two-tap smoothing), at every rate the plug-in
// accepts; rates it cannot serve are refused at instantiation.
template <typename Plugin> void ExpectDelayByReportedLatency(const char* name) {
    for (double rate : {8000.0, 44100.0, 48000.0, 192000.0}) {
        Plugin plugin(2);
        ASSERT_TRUE(plugin.Open(rate)) << name << " " << rate;
        plugin.Set(Threshold, 60);
        plugin.Set(Law, kPeriodic);
        const auto input = testsignals::HarmonicTone(kToneHz, 0.1, 5, rate, rate);
        const auto output = RunBlocks(plugin, input, {512});
        // The 1320-frame block, the shifter's 30 ms frame and the splicer's
        // look-ahead (half its 80 ms window less a frame), in whole quads.
        const auto r = static_cast<std::size_t>(rate), L = plugin.Latency();
        const std::size_t hop = r * 30 / 1000 / 4 * 4, window = r * 80 / 1000 / 4 * 4;
        EXPECT_EQ(L, 1320 + hop + (window - hop) / 2) << name << " " << rate;
        double worst = 0;
        for (std::size_t i = 0; i < input.size(); ++i) {
            const double a = i >= L ? input[i - L] : 0.0, b = i > L ? input[i - L - 1] : 0.0;
            worst = std::max(worst, std::fabs(output[i] - (a + b) / 2));
        }
        EXPECT_LT(worst, 1e-5) << name << " " << rate;
    }
    for (double rate : {7999.0, 192001.0})
        EXPECT_FALSE(Plugin(1).Open(rate)) << name << " " << rate;
}

TEST(HostedPlugins, OutputIsTheInputDelayedByTheReportedLatency) {
    ExpectDelayByReportedLatency<Lv2Plugin>("LV2");
    ExpectDelayByReportedLatency<LadspaPlugin>("LADSPA");
    EXPECT_FALSE(Lv2Plugin(1).Open(44100.5));
}

// A host's block length (0 included, changing from call to call, in-place
// buffers) must not change a single output sample; a control changed inside
// a 1320-frame block is taken when that block ends, so two hosts that change
// it at different points of the block agree.
template <typename Plugin> void ExpectSameOutputForAnyBlocks(const char* name) {
    const auto input = SungTone(3.0);
    constexpr std::size_t kBlock = 1320 * 40;
    Plugin fixed(2), varying(2);
    for (Plugin* p : {&fixed, &varying}) {
        ASSERT_TRUE(p->Open(kRate));
        p->Set(Rate, 1);
        p->Set(Law, kPeriodic);
    }
    const auto a = RunBlocks(fixed, input, {1024}, false, kBlock + 10);
    const auto b =
        RunBlocks(varying, input, {0, 1, 1319, 1320, 1321, 4096, 7, 0, 2500}, true, kBlock + 1300);
    const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin();
    EXPECT_EQ(mismatch, static_cast<long>(a.size())) << name;
    // And the voice was shifted, not merely delayed.
    const std::size_t L = fixed.Latency();
    double difference = 0;
    for (std::size_t i = L + 1; i < input.size(); ++i)
        difference =
            std::max(difference, std::fabs(a[i] - (input[i - L] + input[i - L - 1]) / 2.0));
    EXPECT_GT(difference, 0.05) << name;
}

TEST(HostedPlugins, BlockLengthsAndInPlaceBuffersDoNotChangeTheOutput) {
    ExpectSameOutputForAnyBlocks<Lv2Plugin>("LV2");
    ExpectSameOutputForAnyBlocks<LadspaPlugin>("LADSPA");
}
