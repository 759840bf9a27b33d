// Many host threads creating, using and releasing handles at once.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#include "session/session.h"

TEST(LifecycleStorm, InitializeReleaseFromManyThreads) {
    constexpr int kThreads = 6;
    constexpr int kRounds = 60;  // each session holds its camera layer and 35 MB of mask planes
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            std::vector<int> mine;
            for (int i = 0; i < kRounds; ++i) {
                const int h = Kelvox_Initialize(nullptr);
                if (h == 0) {
                    ++failures;
                    continue;
                }
                mine.push_back(h);
                if (Kelvox_GetLastError(h) != 0) ++failures;
                if (i % 3 == 2) {  // keep a few open so the ring has depth while others walk it
                    for (int held : mine)
                        if (Kelvox_Release(held) != 1) ++failures;
                    mine.clear();
                }
            }
            for (int held : mine)
                if (Kelvox_Release(held) != 1 || Kelvox_Release(held) != 0) ++failures;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures, 0);
    auto& table = kelvox::Handles();
    std::lock_guard<std::mutex> guard(table.lock());
    EXPECT_EQ(table.count(), 0);
}

TEST(LifecycleStorm, LiveHandlesAreNeverEqual) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 30;
    std::vector<std::vector<int>> issued(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) issued[t].push_back(Kelvox_Initialize(nullptr));
        });
    for (auto& t : threads) t.join();
    std::set<int> all;
    for (const auto& v : issued)
        for (int h : v) {
            EXPECT_NE(h, 0);
            EXPECT_TRUE(all.insert(h).second) << "handle issued twice: " << h;
        }
    for (int h : all) EXPECT_EQ(Kelvox_Release(h), 1);
}

// Errors raised on one thread (as the frame thread does) while the host pops them on another.
TEST(LifecycleStorm, HistoryWrittenAndReadConcurrently) {
    const int h = Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    kelvox::Session* session = kelvox::SessionOf(h);
    ASSERT_NE(session, nullptr);
    std::atomic<bool> done{false};
    std::thread raiser([&] {
        for (int i = 0; i < 5000; ++i) session->RecordError(1 + i % 14);
        done = true;
    });
    while (!done) {
        const int code = Kelvox_GetLastError(h);
        EXPECT_GE(code, 0);
        EXPECT_LE(code, 14);
    }
    raiser.join();
    int rest = 0;
    while (Kelvox_GetLastError(h) != 0) ++rest;
    EXPECT_LE(rest, 20);
    EXPECT_EQ(Kelvox_Release(h), 1);
}
