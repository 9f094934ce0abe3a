#include "platform/Event.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

using platform::Event;
using platform::kWaitTimeout;
using platform::WaitForAny;

TEST(Event, AutoResetReleasesOneWaitAndSaturates) {
    Event e(Event::Reset::Auto);
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    e.Set(); // a second signal before anyone waited is not counted
    EXPECT_TRUE(e.IsSet());
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(0));
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    Event e(Event::Reset::Manual, true);
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(0));
    e.ResetEvent();
    EXPECT_FALSE(e.Wait(0));
    EXPECT_FALSE(e.IsSet());
}

// The player's thread waits on its segment events and a stop event at once;
// when several are signalled the lowest index must win, as the thread relies
// on handling them in order.
TEST(Event, WaitForAnyReturnsLowestSignalledIndexAndConsumesIt) {
    Event a(Event::Reset::Auto), b(Event::Reset::Auto), stop(Event::Reset::Manual);
    EXPECT_EQ(WaitForAny({&a, &b, &stop}, 0), kWaitTimeout);
    b.Set();
    stop.Set();
    EXPECT_EQ(WaitForAny({&a, &b, &stop}, 0), 1);
    EXPECT_EQ(WaitForAny({&a, &b, &stop}, 0), 2);
    EXPECT_EQ(WaitForAny({&a, &b, &stop}, 0), 2); // manual: still set
}

TEST(Event, WaitWakesWhenAnotherThreadSignals) {
    Event ready(Event::Reset::Auto), go(Event::Reset::Auto);
    std::atomic<int> woke{-2};
    std::thread t([&] {
        ready.Set();
        woke = WaitForAny({&go}, -1);
    });
    ASSERT_TRUE(ready.Wait(-1));
    go.Set();
    t.join();
    EXPECT_EQ(woke.load(), 0);
}

} // namespace
