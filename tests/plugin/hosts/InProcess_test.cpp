// The LV2 and LADSPA builds driven in-process, as a host with its own block
// sizes, rates and buffer layout drives them.
#include "HostPlugins.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numeric>

using namespace hosttest;

namespace {

std::unique_ptr<Plugin> Make(bool lv2, int channels) {
    if (lv2) return std::make_unique<Lv2Plugin>(channels);
    return std::make_unique<LadspaPlugin>(channels);
}

const char* Name(bool lv2) {
    return lv2 ? "LV2" : "LADSPA";
}

// Runs `input` (the same on every channel) through the plug-in in blocks of
// the given lengths, repeated; `inPlace` hands the same arrays as input and
// output. `change` is called before the first block that starts at or after
// `changeAt`, which is made a block boundary.
std::vector<std::vector<float>> RunBlocks(Plugin& plugin, const std::vector<float>& input,
                                          const std::vector<std::uint32_t>& lengths, bool inPlace,
                                          std::size_t changeAt = SIZE_MAX,
                                          const std::function<void()>& change = {}) {
    const int C = plugin.Channels();
    std::vector<std::vector<float>> output(C, std::vector<float>(input.size()));
    std::vector<std::vector<float>> source(C, input);
    std::size_t at = 0, next = 0;
    bool changed = false;
    while (at < input.size()) {
        if (!changed && at >= changeAt) {
            if (change) change();
            changed = true;
        }
        std::size_t n = std::min<std::size_t>(lengths[next++ % lengths.size()], input.size() - at);
        if (!changed && at < changeAt) n = std::min(n, changeAt - at);
        for (int c = 0; c < C; ++c) {
            if (inPlace) std::copy_n(source[c].data() + at, n, output[c].data() + at);
            plugin.Connect(c, inPlace ? output[c].data() + at : source[c].data() + at,
                           output[c].data() + at);
        }
        plugin.Run(static_cast<std::uint32_t>(n));
        at += n;
    }
    return output;
}

} // namespace

// A wrong latency figure would make a host's delay compensation misplace the
// effect against the other tracks: with the voice left alone, every output
// frame must be the input of exactly `latency` frames before (through the
// shifter's two-tap smoothing), at every rate the plug-in accepts; rates it
// cannot serve are refused at instantiation.
TEST(HostedPlugins, OutputIsTheInputDelayedByTheReportedLatency) {
    for (bool lv2 : {true, false}) {
        for (double rate : {8000.0, 44100.0, 48000.0, 192000.0}) {
            auto plugin = Make(lv2, 2);
            ASSERT_TRUE(plugin->Open(rate)) << Name(lv2) << " " << rate;
            plugin->Set(1, 60); // a threshold that the quiet tone never reaches
            plugin->Set(3, kLawPeriodic);
            const auto input =
                testsignals::HarmonicTone(kToneHz, 0.1, 5, static_cast<std::size_t>(rate), rate);
            const auto output = RunBlocks(*plugin, input, {512}, false);
            const auto latency = static_cast<std::size_t>(plugin->Latency());
            // 1320-frame block, one shifter frame of 30 ms, half the
            // splicer's 80 ms window less that frame.
            const std::size_t hop = static_cast<std::size_t>(rate) * 30 / 1000 / 4 * 4;
            const std::size_t window = static_cast<std::size_t>(rate) * 80 / 1000 / 4 * 4;
            EXPECT_EQ(latency, 1320 + hop + (window - hop) / 2) << Name(lv2) << " " << rate;
            double worst = 0;
            for (int c = 0; c < 2; ++c)
                for (std::size_t i = 0; i < input.size(); ++i) {
                    const double a = i >= latency ? input[i - latency] : 0.0;
                    const double b = i >= latency + 1 ? input[i - latency - 1] : 0.0;
                    worst = std::max(worst, std::fabs(output[c][i] - (a + b) / 2));
                }
            EXPECT_LT(worst, 1e-5) << Name(lv2) << " " << rate;
        }
        for (double rate : {7999.0, 192001.0, 44100.5}) {
            if (!lv2 && rate == 44100.5) continue; // LADSPA rates are whole numbers
            auto plugin = Make(lv2, 1);
            EXPECT_FALSE(plugin->Open(rate)) << Name(lv2) << " " << rate;
        }
    }
}

// A host's block length (0 included, changing from call to call, in-place
// buffers) must not change a single output sample; and a control changed
// anywhere inside a 1320-frame block is taken at the end of that block, so
// two hosts that change it at different points of the block agree.
TEST(HostedPlugins, BlockLengthsAndInPlaceBuffersDoNotChangeTheOutput) {
    const auto input = SungTone(3.0);
    constexpr std::size_t kBlock = 1320 * 40; // the law changes inside this block
    for (bool lv2 : {true, false}) {
        auto fixed = Make(lv2, 2);
        auto varying = Make(lv2, 2);
        ASSERT_TRUE(fixed->Open(kRate));
        ASSERT_TRUE(varying->Open(kRate));
        for (Plugin* p : {fixed.get(), varying.get()}) {
            p->Set(2, 1); // Rate 1: a new tone every block
            p->Set(3, kLawPeriodic);
        }
        const auto a =
            RunBlocks(*fixed, input, {1024}, false, kBlock + 10, [&] { fixed->Set(3, 3); });
        const auto b = RunBlocks(*varying, input, {0, 1, 1319, 1320, 1321, 4096, 7, 0, 2500}, true,
                                 kBlock + 1300, [&] { varying->Set(3, 3); });
        for (int c = 0; c < 2; ++c) {
            std::size_t firstDifference = a[c].size();
            for (std::size_t i = 0; i < a[c].size(); ++i)
                if (a[c][i] != b[c][i]) {
                    firstDifference = i;
                    break;
                }
            EXPECT_EQ(firstDifference, a[c].size()) << Name(lv2) << " channel " << c;
        }
        // The run did shift the voice: the output is not the delayed input.
        const auto latency = static_cast<std::size_t>(fixed->Latency());
        double difference = 0;
        for (std::size_t i = latency + 1; i < input.size(); ++i)
            difference =
                std::max(difference,
                         std::fabs(a[0][i] - (input[i - latency] + input[i - latency - 1]) / 2.0));
        EXPECT_GT(difference, 0.05) << Name(lv2);
    }
}
