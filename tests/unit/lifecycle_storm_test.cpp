// Many host threads creating, using and releasing handles at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#ifdef KELVOX_SIM_BUILD
#include "kelvox/kelvox_sim.h"
#endif
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

namespace {

// Host threads calling on one handle while two others release it. Every call gives a valid
// result or the failure value, every call begun after a release returned fails, and exactly one
// release succeeds. With a camera the session also has a preview thread for the release to stop.
int RaceReleaseAgainstCalls(bool preview) {
    constexpr int kCallers = 3;
    constexpr int kCallsBeforeRelease = 40;  // per caller, so the release lands among running calls
    int faults = 0;
    const int h = Kelvox_Initialize(nullptr);
    if (h == 0) return 1;
    if (preview && Kelvox_StartPreview(h) != 1) ++faults;
    std::atomic<int> calls{0};
    std::atomic<bool> released{false};
    std::atomic<int> bad{0};
    std::atomic<int> successes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kCallers; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 1000000; ++i) {
                const bool after = released.load();
                const int mode = Kelvox_GetColorMode(h);
                if (mode != -1 && mode != 8 && mode != 16 && mode != 24 && mode != 32 && mode != 48 && mode != 64)
                    ++bad;
                const int set = Kelvox_SetWaitTime(h, (i + t) % 3);
                const int error = Kelvox_GetLastError(h);
                if (set != 0 && set != 1) ++bad;
                if (error < 0 || error > 14) ++bad;
                if (after && (set != 0 || mode != -1 || error != 0)) ++bad;  // released: the handle is gone
                ++calls;
                if (after) return;
            }
            ++bad;  // never saw the release
        });
    for (int r = 0; r < 2; ++r)
        threads.emplace_back([&] {
            while (calls.load() < kCallers * kCallsBeforeRelease) std::this_thread::yield();
            const int result = Kelvox_Release(h);
            if (result == 1) ++successes;
            else if (result != 0) ++bad;
            released = true;
        });
    for (auto& t : threads) t.join();
    return faults + bad + (successes == 1 ? 0 : 1);
}

}  // namespace

TEST(LifecycleStorm, ReleaseRacesCallsOnItsOwnHandle) {
    constexpr int kRounds = 30;
    int faults = 0;
    for (int round = 0; round < kRounds; ++round) faults += RaceReleaseAgainstCalls(false);
#ifdef KELVOX_SIM_BUILD
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "RACE");
    ASSERT_GE(KelvoxSim_Attach(&c), 0);  // one camera: each handle opens it by itself
    for (int round = 0; round < kRounds; ++round) faults += RaceReleaseAgainstCalls(true);
    KelvoxSim_DetachAll();
#endif
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(kelvox::Handles().Count(), 0);
}
