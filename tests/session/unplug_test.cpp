// Cameras pulled and plugged back: during live preview (many times), during a snapshot and a
// waiting one, during a save and a recording. Every call returns, the loss is reported as 13, and
// the same handle opens the camera again once it is back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "unit/message_probe.h"

namespace {

using kelvox_test::Posted;
using Clock = std::chrono::steady_clock;

constexpr const char* kSerial = "UNPLUG-1";

int Attach() {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, kSerial);
    c.paced = 0;
    return KelvoxSim_Attach(&c);
}

// The next message of the kind on the window within the time, others dropped.
bool WaitFor(void* window, unsigned message, Posted* out, int timeout_ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < end) {
        Posted p;
        if (kelvox_test::TakePosted(window, &p)) {
            if (p.message == message) {
                *out = p;
                return true;
            }
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// A frame message carrying a frame, skipping failures.
bool WaitForFrame(void* window, int timeout_ms) {
    Posted p;
    while (WaitFor(window, KELVOX_WM_FRAME, &p, timeout_ms))
        if (p.wparam != 0) return true;
    return false;
}

class Unplug : public ::testing::Test {
protected:
    void SetUp() override {
        kelvox_test::EnsureThreadQueue();
        camera_ = Attach();
        ASSERT_GE(camera_, 0);
        notify_ = kelvox_test::CreateProbeWindow();
        callback_ = kelvox_test::CreateProbeWindow();
        handle_ = Kelvox_Initialize(static_cast<KELVOX_HWND>(notify_));
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Kelvox_SetColorMode(handle_, 8), 1);
        ASSERT_EQ(Kelvox_SetWaitTime(handle_, 0), 1);
        ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 320, 1200, 0, 240), 1);
    }
    void TearDown() override {
        EXPECT_EQ(Kelvox_Release(handle_), 1);
        KelvoxSim_DetachAll();
        kelvox_test::DestroyProbeWindow(notify_);
        kelvox_test::DestroyProbeWindow(callback_);
    }
    // Plugs the camera back in and opens it again on the same handle; a snapshot proves it. A
    // camera pulled while nothing ran is only found lost by the first frame that fails (8).
    void Replug(bool loss_seen = true) {
        camera_ = Attach();
        ASSERT_GE(camera_, 0);
        ASSERT_EQ(Kelvox_SetDeviceNumber(handle_, 0), 1) << Kelvox_GetLastError(handle_);
        if (!loss_seen) {
            ASSERT_EQ(Kelvox_SnapShot(handle_, frame_.data(), static_cast<int>(frame_.size()), 0), 0);
            EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_FRAME);
            ASSERT_EQ(Kelvox_SetDeviceNumber(handle_, 0), 1) << Kelvox_GetLastError(handle_);
        }
        ASSERT_EQ(Kelvox_SnapShot(handle_, frame_.data(), static_cast<int>(frame_.size()), 0), 1)
            << Kelvox_GetLastError(handle_);
    }
    void ClearErrors() {
        while (Kelvox_GetLastError(handle_) != 0) {
        }
        kelvox_test::DrainPosted(notify_);
        kelvox_test::DrainPosted(callback_);
    }

    int camera_ = -1, handle_ = 0;
    void* notify_ = nullptr;
    void* callback_ = nullptr;
    std::vector<unsigned char> frame_ = std::vector<unsigned char>(320 * 240);
};

}  // namespace

// 200 cycles take two minutes under the sanitizers: the soak run (KELVOX_SOAK=1) does them all.
TEST_F(Unplug, ManyTimesDuringLivePreview) {
    const int cycles = std::getenv("KELVOX_SOAK") ? 200 : 25;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(callback_), frame_.data(),
                                         static_cast<int>(frame_.size()), 0),
                  1);
        ASSERT_TRUE(WaitForFrame(callback_, 5000));
        ASSERT_EQ(KelvoxSim_Detach(camera_), 1);
        Posted p{};
        bool lost = false;
        while (!lost && WaitFor(callback_, KELVOX_WM_FRAME, &p, 5000)) lost = p.wparam == 0;
        ASSERT_TRUE(lost);
        EXPECT_EQ(p.lparam, KELVOX_ERR_DEVICE_LOST);
        ASSERT_TRUE(WaitFor(notify_, KELVOX_WM_ERROR, &p, 1000));
        EXPECT_EQ(p.lparam, KELVOX_ERR_DEVICE_LOST);
        EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
        ClearErrors();
        Replug();
    }
}

TEST_F(Unplug, DuringEachKindOfCapture) {
    const int h = handle_;
    unsigned char* frame = frame_.data();
    const int size = static_cast<int>(frame_.size());
    const struct {
        const char* what;
        std::function<int()> start;  // 1 once running
        bool preview;
    } kinds[] = {
        {"live preview without a window", [h] { return Kelvox_StartPreview(h); }, true},
        {"prepared capture after a snapshot", [=] { return Kelvox_Capture(h) && Kelvox_SnapShot(h, frame, size, 0); },
         false},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.what);
        ASSERT_EQ(k.start(), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(KelvoxSim_Detach(camera_), 1);
        const auto t0 = Clock::now();
        Posted p{};
        if (k.preview) {  // the frame thread finds the camera gone and says so
            ASSERT_TRUE(WaitFor(notify_, KELVOX_WM_ERROR, &p, 5000));
            EXPECT_EQ(p.lparam, KELVOX_ERR_DEVICE_LOST);
        } else {
            EXPECT_EQ(Kelvox_SnapShot(handle_, frame_.data(), static_cast<int>(frame_.size()), 0), 0);
        }
        EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
        EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
        ClearErrors();
        Replug();
        EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
    }
}

TEST_F(Unplug, WhileASnapshotWaits) {
    ASSERT_EQ(KelvoxSim_InjectFault(camera_, KELVOX_SIM_FAULT_STALL, -1), 1);  // no frame comes
    auto snapshot = std::async(std::launch::async, [&] {
        return Kelvox_SnapShot(handle_, frame_.data(), static_cast<int>(frame_.size()), 0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(KelvoxSim_Detach(camera_), 1);
    ASSERT_EQ(snapshot.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(snapshot.get(), 0);
    ClearErrors();
    Replug();
}

TEST_F(Unplug, DuringASaveAndARecording) {
    ASSERT_EQ(Kelvox_SnapShot(handle_, frame_.data(), static_cast<int>(frame_.size()), 0), 1);
    const std::string image = testing::TempDir() + "unplug-save.bmp", avi = testing::TempDir() + "unplug.avi";
    auto saved = std::async(std::launch::async, [&] { return Kelvox_SaveImage(handle_, image.c_str(), 0); });
    KelvoxSim_Detach(camera_);
    EXPECT_EQ(saved.get(), 1);  // the picture is the session's own: the camera is not needed
    std::FILE* f = std::fopen(image.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 54 + 1024 + 320 * 240);
    std::fclose(f);
    ClearErrors();
    Replug(false);

    ASSERT_EQ(Kelvox_Record(handle_, avi.c_str(), -1, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(KelvoxSim_Detach(camera_), 1);
    Posted p{};
    while (WaitFor(notify_, KELVOX_WM_ERROR, &p, 5000) && p.lparam != KELVOX_ERR_DEVICE_LOST) {
    }
    EXPECT_EQ(p.lparam, KELVOX_ERR_DEVICE_LOST);
    const auto t0 = Clock::now();
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
    ClearErrors();
    Replug();
    // The next recording closes the file the first one left open.
    const std::string next = testing::TempDir() + "unplug-next.avi";
    ASSERT_EQ(Kelvox_Record(handle_, next.c_str(), 0, 0), 1);
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
    // A capture stop before the deadline leaves the recording as written so far: its opening
    // header (232 bytes) and whole frames.
    f = std::fopen(avi.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char riff[4] = {};
    ASSERT_EQ(std::fread(riff, 1, 4, f), 4u);
    std::fseek(f, 0, SEEK_END);
    const long length = std::ftell(f);
    std::fclose(f);
    EXPECT_EQ(std::memcmp(riff, "RIFF", 4), 0);
    const long chunk = 8 + 320 * 3 * 240;
    EXPECT_GT(length, 232 + chunk);
    EXPECT_EQ((length - 232) % chunk, 0);
    std::remove(next.c_str());
    std::remove(image.c_str());
    std::remove(avi.c_str());
}
