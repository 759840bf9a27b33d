#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/event.h"

using kelvox::platform::Event;

TEST(Event, AutoResetReleasesOneWaitThenCloses) {
    Event e(Event::Reset::Auto);
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    EXPECT_TRUE(e.IsSet());
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.IsSet());
    EXPECT_FALSE(e.Wait(5));
}

TEST(Event, ManualResetStaysOpenUntilReset) {
    Event e(Event::Reset::Manual, true);
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(0));
    e.Reset();
    EXPECT_FALSE(e.Wait(1));
}

TEST(Event, SetFromAnotherThreadWakesWaiter) {
    Event e(Event::Reset::Auto);
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke = e.Wait(Event::kInfinite); });
    e.Set();
    waiter.join();
    EXPECT_TRUE(woke);
}

TEST(Event, ManualResetWakesEveryWaiter) {
    Event e(Event::Reset::Manual);
    std::atomic<int> woke{0};
    std::thread a([&] { woke += e.Wait(Event::kInfinite); });
    std::thread b([&] { woke += e.Wait(Event::kInfinite); });
    e.Set();
    a.join();
    b.join();
    EXPECT_EQ(woke, 2);
}
