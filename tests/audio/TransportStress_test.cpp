// The player and the recorder on the real-time null devices, driven by two
// control threads at once with random transport, format, setting and
// callback changes (support/TransportStress.h). Built with ThreadSanitizer
// (SONVARA_SANITIZE_THREAD) this is the race check of the whole transport;
// in the other builds it is a quick check that no sequence of operations
// hangs or crashes.
#include "support/TransportStress.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

using testsupport::StressOperations;
using testsupport::TransportStress;

TEST(TransportStress, TwoControlThreadsChangingEverythingAtRandomNeitherHangNorRace) {
    auto player = testsupport::MakeNullPlayer();
    auto micro = testsupport::MakeNullMicro();
    TransportStress stress(*player, *micro);
    ASSERT_TRUE(stress.Prepare());

    const int operations = StressOperations();
    std::thread first([&] { stress.Control(1u, operations / 2); });
    std::thread second([&] { stress.Control(2u, operations / 2); });
    first.join();
    second.join();
    EXPECT_EQ(stress.Done(), operations / 2 * 2);
    EXPECT_TRUE(stress.Finish());
    // The devices really ran in between.
    EXPECT_GT(stress.Pulls(), 0);
    RecordProperty("operations", stress.Done());
}

} // namespace
