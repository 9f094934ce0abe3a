// run() is called on a host's audio thread: once a plug-in is activated, no
// call of run() may touch the heap, whatever the block lengths, the law or
// the drum tracking do.
#include "HostPlugins.h"
#include "support/CountingAllocator.h"

#include <gtest/gtest.h>

#include <memory>

using namespace hosttest;
using testsupport::g_allocations;
using testsupport::g_countAllocations;

TEST(HostedAllocation, RunNeverAllocates) {
    // A sung tone with a kick every half second, for the drum tracker.
    auto input = SungTone(4.0);
    for (std::size_t at = kLeadIn; at + 4000 < input.size(); at += 22050)
        for (std::size_t i = 0; i < 4000; ++i)
            input[at + i] += static_cast<float>(0.8 * std::exp(-i / 2646.0) *
                                                std::sin(2 * M_PI * 60.0 * i / kRate));
    const std::vector<std::uint32_t> lengths = {0, 1, 64, 1320, 4096, 333, 2049};
    for (bool lv2 : {true, false})
        for (float law : {0.0f, kLawPeriodic}) {
            std::unique_ptr<Plugin> plugin;
            if (lv2)
                plugin = std::make_unique<Lv2Plugin>(2);
            else
                plugin = std::make_unique<LadspaPlugin>(2);
            ASSERT_TRUE(plugin->Open(kRate));
            plugin->Set(2, 1); // a new ratio every block
            plugin->Set(3, law);
            std::vector<float> left(input.size()), right(input.size());
            g_allocations = 0;
            g_countAllocations = true;
            std::size_t at = 0;
            for (std::size_t k = 0; at < input.size(); ++k) {
                const std::size_t n =
                    std::min<std::size_t>(lengths[k % lengths.size()], input.size() - at);
                plugin->Connect(0, input.data() + at, left.data() + at);
                plugin->Connect(1, input.data() + at, right.data() + at);
                plugin->Run(static_cast<std::uint32_t>(n));
                at += n;
            }
            g_countAllocations = false;
            EXPECT_EQ(g_allocations, 0) << (lv2 ? "LV2" : "LADSPA") << " law " << law;
        }
}
