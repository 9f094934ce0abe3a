// run() is called on a host's audio thread: once a plug-in is activated, no
// call of run() may touch the heap, whatever the block lengths, the law or
// the drum tracking do.
#include "HostPlugins.h"
#include "support/CountingAllocator.h"

using namespace hosttest;

template <typename Plugin> long AllocationsOfRuns(float law, const std::vector<float>& input) {
    Plugin plugin(2);
    EXPECT_TRUE(plugin.Open(kRate));
    plugin.Set(Rate, 1); // a new ratio every block
    plugin.Set(Law, law);
    std::vector<float> left(input.size()), right(input.size());
    const std::uint32_t lengths[] = {0, 1, 64, 1320, 4096, 333, 2049};
    testsupport::g_allocations = 0;
    testsupport::g_countAllocations = true;
    for (std::size_t at = 0, k = 0; at < input.size(); ++k) {
        const auto n = std::min<std::size_t>(lengths[k % 7], input.size() - at);
        plugin.Connect(0, input.data() + at, left.data() + at);
        plugin.Connect(1, input.data() + at, right.data() + at);
        plugin.Run(static_cast<std::uint32_t>(n));
        at += n;
    }
    testsupport::g_countAllocations = false;
    return testsupport::g_allocations;
}

TEST(HostedAllocation, RunNeverAllocates) {
    auto input = SungTone(4.0);
    for (std::size_t at = kLeadIn; at + 4000 < input.size(); at += 22050) // kicks
        for (std::size_t i = 0; i < 4000; ++i)
            input[at + i] += 0.8 * std::exp(-i / 2646.0) * std::sin(2 * M_PI * 60.0 * i / kRate);
    for (float law : {0.0f, kPeriodic}) {
        EXPECT_EQ(AllocationsOfRuns<Lv2Plugin>(law, input), 0) << "LV2, law " << law;
        EXPECT_EQ(AllocationsOfRuns<LadspaPlugin>(law, input), 0) << "LADSPA, law " << law;
    }
}
