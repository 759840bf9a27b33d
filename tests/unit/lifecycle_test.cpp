// Handle lifecycle through the exported functions.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "api/call_frame.h"
#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#include "platform/clock.h"

namespace {

int32_t LiveCount() {
    auto& table = kelvox::Handles();
    std::lock_guard<std::mutex> guard(table.lock());
    return table.count();
}

bool IsIssued(int32_t h) {
    auto& table = kelvox::Handles();
    std::lock_guard<std::mutex> guard(table.lock());
    return table.Contains(h);
}

int32_t UnissuedHandle() {
    int32_t h = 0x13572468;
    while (IsIssued(h)) ++h;
    return h;
}

}  // namespace

TEST(Lifecycle, VersionNeedsNoHandle) { EXPECT_EQ(Kelvox_GetDllVersion(), 33096993); }

TEST(Lifecycle, InitializeReleaseAndReleaseAgain) {
    const int32_t before = LiveCount();
    const int h = Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(LiveCount(), before + 1);
    EXPECT_EQ(Kelvox_GetLastError(h), 0);  // nothing raised by initialisation

    EXPECT_EQ(Kelvox_Release(h), 1);
    EXPECT_EQ(LiveCount(), before);
    EXPECT_FALSE(IsIssued(h));
    EXPECT_EQ(Kelvox_Release(h), 0);
    EXPECT_EQ(Kelvox_GetLastError(h), 0);
}

TEST(Lifecycle, UnknownHandlesGetFailureValues) {
    const int stranger = UnissuedHandle();
    EXPECT_EQ(Kelvox_Release(stranger), 0);
    EXPECT_EQ(Kelvox_GetLastError(stranger), 0);
    EXPECT_EQ(Kelvox_Release(0), 0);
    EXPECT_EQ(Kelvox_GetLastError(0), 0);
}

TEST(Lifecycle, HandlesAreDistinctAndIndependent) {
    const int a = Kelvox_Initialize(nullptr);
    const int b = Kelvox_Initialize(nullptr);
    const int c = Kelvox_Initialize(nullptr);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    ASSERT_NE(c, 0);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_NE(a, c);
    EXPECT_EQ(Kelvox_Release(b), 1);
    EXPECT_EQ(Kelvox_GetLastError(a), 0);  // neighbours still reachable after an unlink
    EXPECT_EQ(Kelvox_GetLastError(c), 0);
    EXPECT_EQ(Kelvox_Release(b), 0);
    EXPECT_EQ(Kelvox_Release(a), 1);
    EXPECT_EQ(Kelvox_Release(c), 1);
}

// The handle is tick count + rand() + number of records, in 32-bit wrap-around.
TEST(Lifecycle, HandleFollowsTickRandAndCount) {
    ASSERT_EQ(LiveCount(), 0) << "earlier tests left handles open";
    for (int open_before = 0; open_before < 3; ++open_before) {
        std::vector<int> others;
        for (int i = 0; i < open_before; ++i) others.push_back(Kelvox_Initialize(nullptr));
        std::srand(4242);
        const uint32_t r = static_cast<uint32_t>(std::rand());
        std::srand(4242);
        const uint32_t t0 = kelvox::platform::TickCount();
        const int h = Kelvox_Initialize(nullptr);
        const uint32_t t1 = kelvox::platform::TickCount();
        const uint32_t tick = static_cast<uint32_t>(h) - r - static_cast<uint32_t>(open_before);
        EXPECT_LE(tick - t0, t1 - t0) << "count term " << open_before;
        EXPECT_EQ(Kelvox_Release(h), 1);
        for (int o : others) EXPECT_EQ(Kelvox_Release(o), 1);
    }
    EXPECT_EQ(LiveCount(), 0);
}

// A host may release a handle from inside a call on it (a window procedure run by a modal loop):
// the release must neither wait for that call nor free the session under it.
TEST(Lifecycle, ReleaseFromInsideACallOnItsHandle) {
    const int h = Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    int inner = -1;
    auto waited = std::chrono::seconds(0);
    const int code = kelvox::CallFrame(h, 0, [&](kelvox::Session& s) {
        const auto start = std::chrono::steady_clock::now();
        inner = Kelvox_Release(h);
        waited = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
        EXPECT_EQ(Kelvox_GetLastError(h), 0);  // the handle is gone for new calls at once
        s.RecordError(KELVOX_ERR_FRAME);       // while the running call still has its session
        return s.PopLastError();
    });
    EXPECT_EQ(inner, 1);
    EXPECT_LT(waited.count(), 2);  // its own call is not waited for
    EXPECT_EQ(code, KELVOX_ERR_FRAME);
    EXPECT_FALSE(IsIssued(h));
    EXPECT_EQ(Kelvox_Release(h), 0);
}
