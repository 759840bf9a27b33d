// Error history and the two reporting forms.
#include <gtest/gtest.h>

#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#include "message_probe.h"
#include "session/error_history.h"
#include "session/session.h"

using kelvox_test::Posted;

TEST(ErrorHistory, PopsNewestFirstThenZero) {
    kelvox::ErrorHistory history;
    EXPECT_EQ(history.Pop(), 0);
    history.Push(7);
    history.Push(9);
    EXPECT_EQ(history.Pop(), 9);
    EXPECT_EQ(history.Pop(), 7);
    EXPECT_EQ(history.Pop(), 0);
    EXPECT_EQ(history.Pop(), 0);
}

TEST(ErrorHistory, KeepsTheTwentyNewest) {
    kelvox::ErrorHistory history;
    for (int code = 1; code <= 21; ++code) history.Push(code);  // code 1 falls off
    for (int expected = 21; expected >= 2; --expected) EXPECT_EQ(history.Pop(), expected);
    EXPECT_EQ(history.Pop(), 0);
}

TEST(ErrorHistory, SuccessRecordsTakeASlot) {
    kelvox::ErrorHistory history;
    history.Push(6);
    history.Push(0);
    EXPECT_EQ(history.Pop(), 0);
    EXPECT_EQ(history.Pop(), 6);
}

class ErrorReporting : public ::testing::Test {
protected:
    void SetUp() override {
        kelvox_test::EnsureThreadQueue();
        kelvox_test::DrainPosted(nullptr);
        window_ = kelvox_test::CreateProbeWindow();
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override { kelvox_test::DestroyProbeWindow(window_); }
    void* window_ = nullptr;
};

TEST_F(ErrorReporting, RecordGoesToHistoryAndNotificationWindow) {
    kelvox::Session session;
    session.Initialize(window_);
    session.RecordError(KELVOX_ERR_PARAM);
    session.RecordError(KELVOX_SUCCESS);

    Posted p{};
    ASSERT_TRUE(kelvox_test::TakePosted(window_, &p));
    EXPECT_EQ(p.message, 0x8003u);
    EXPECT_EQ(p.wparam, 0u);
    EXPECT_EQ(p.lparam, KELVOX_ERR_PARAM);
    ASSERT_TRUE(kelvox_test::TakePosted(window_, &p));
    EXPECT_EQ(p.lparam, KELVOX_SUCCESS);
    EXPECT_FALSE(kelvox_test::TakePosted(window_, &p));
    EXPECT_FALSE(kelvox_test::TakePosted(nullptr, &p));

    EXPECT_EQ(session.PopLastError(), KELVOX_SUCCESS);
    EXPECT_EQ(session.PopLastError(), KELVOX_ERR_PARAM);
}

TEST_F(ErrorReporting, RecordWithoutWindowPostsNothing) {
    kelvox::Session session;
    session.Initialize(nullptr);
    session.RecordError(KELVOX_ERR_BUFFER);
    Posted p{};
    EXPECT_FALSE(kelvox_test::TakePosted(nullptr, &p));
    EXPECT_EQ(session.PopLastError(), KELVOX_ERR_BUFFER);
}

TEST_F(ErrorReporting, NotifyOnlySkipsHistory) {
    kelvox::Session session;
    session.Initialize(window_);
    session.NotifyError(KELVOX_ERR_UNSUPPORTED);
    Posted p{};
    ASSERT_TRUE(kelvox_test::TakePosted(window_, &p));
    EXPECT_EQ(p.message, 0x8003u);
    EXPECT_EQ(p.lparam, KELVOX_ERR_UNSUPPORTED);
    EXPECT_EQ(session.PopLastError(), 0);
}

// PostMessageA with a null window posts a thread message to the caller's own queue.
TEST_F(ErrorReporting, NotifyOnlyWithoutWindowReachesCallingThreadQueue) {
    kelvox::Session session;
    session.Initialize(nullptr);
    session.NotifyError(KELVOX_ERR_NOT_READY);
    Posted p{};
    ASSERT_TRUE(kelvox_test::TakePosted(nullptr, &p));
    EXPECT_EQ(p.window, nullptr);
    EXPECT_EQ(p.message, 0x8003u);
    EXPECT_EQ(p.wparam, 0u);
    EXPECT_EQ(p.lparam, KELVOX_ERR_NOT_READY);
    EXPECT_EQ(session.PopLastError(), 0);
}

TEST_F(ErrorReporting, ErrorsOfOneHandleStayWithIt) {
    const int a = Kelvox_Initialize(static_cast<KELVOX_HWND>(window_));
    const int b = Kelvox_Initialize(nullptr);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    kelvox::SessionOf(a)->RecordError(KELVOX_ERR_FRAME);
    kelvox::SessionOf(b)->RecordError(KELVOX_ERR_THREAD);
    EXPECT_EQ(Kelvox_GetLastError(a), KELVOX_ERR_FRAME);
    EXPECT_EQ(Kelvox_GetLastError(a), 0);
    EXPECT_EQ(Kelvox_GetLastError(b), KELVOX_ERR_THREAD);
    Posted p{};
    ASSERT_TRUE(kelvox_test::TakePosted(window_, &p));  // a's notification window got a's error only
    EXPECT_EQ(p.lparam, KELVOX_ERR_FRAME);
    EXPECT_FALSE(kelvox_test::TakePosted(window_, &p));
    EXPECT_EQ(Kelvox_Release(a), 1);
    EXPECT_EQ(Kelvox_Release(b), 1);
}
