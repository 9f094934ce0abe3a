// The message bus used from module worker threads while the transport is
// driven from two control threads (support/TransportStress.h) and the
// devices' threads play and record. Built with ThreadSanitizer this is the
// race check of the bus against the audio engine.
#include "ModulesTestSupport.h"
#include "support/TransportStress.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(BusStress, WorkerThreadsPostingWhileTheTransportRunsLoseNoRequestAndNeitherHangNorRace) {
    HostFixture f(true);
    f.Load({"alpha", "beta"});
    testsupport::TransportStress stress(*f.player, *f.micro);
    ASSERT_TRUE(stress.Prepare());

    const int operations = testsupport::StressOperations();
    const int messages = operations / 4;
    std::atomic<bool> transportDone{false};
    std::thread first([&] { stress.Control(3u, operations / 2); });
    std::thread second([&] { stress.Control(4u, operations / 2); });
    // Each worker sends to one module, to all of them and to the host, and
    // keeps going until the transport threads are done.
    auto worker = [&](const char* self, const char* other) {
        for (int i = 0; i < messages || !transportDone.load(); ++i) {
            f.host->SendModuleMessage(other, self, "x");
            f.host->SendModuleMessage("All modules", self, "y");
            f.host->SendModuleMessage("Main frame", self, "z");
        }
    };
    std::thread alpha(worker, "Alpha", "Beta"), beta(worker, "Beta", "Alpha");
    first.join();
    second.join();
    transportDone = true;
    alpha.join();
    beta.join();
    EXPECT_TRUE(stress.Finish());
    EXPECT_GT(stress.Pulls(), 0);

    // Every request is in the history with its own result: the direct and
    // broadcast ones accepted, the host's refused (the test site answers no
    // host message).
    int direct = 0, broadcast = 0, host = 0, wrong = 0;
    for (const auto& item : f.host->History().Snapshot()) {
        if (item.Recipient == "All modules")
            ++broadcast, wrong += item.Result != MESSAGE_OK;
        else if (item.Recipient == "Main frame")
            ++host, wrong += item.Result != MESSAGE_RECIPIER_ERROR;
        else
            ++direct, wrong += item.Result != MESSAGE_OK;
    }
    EXPECT_GE(direct, 2 * messages);
    EXPECT_EQ(broadcast, direct);
    EXPECT_EQ(host, direct);
    EXPECT_EQ(wrong, 0);
    RecordProperty("messages", direct + broadcast + host);
}

} // namespace
