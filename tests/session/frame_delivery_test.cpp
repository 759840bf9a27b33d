// Frames as a host receives them: capture states, snapshots, the host-buffer copy, live preview
// with frame messages, and a camera pulled during preview.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "session/session.h"
#include "unit/message_probe.h"

namespace {

using kelvox_test::Posted;

// Waits for the next message of one kind on a probe window, dropping others.
bool WaitFor(void* window, unsigned message, Posted* out, int timeout_ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
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

unsigned PipeResets(int camera) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(camera, &s);
    return s.pipe_resets;
}

// Row r of the scene holds r in every sample, so 8-bit pictures show r mod 256 and 16-bit ones
// r << 4: the row a delivered row came from can be read back.
std::vector<unsigned short> RowNumberScene() {
    std::vector<unsigned short> samples(1920u * 1200u);
    for (int r = 0; r < 1200; ++r)
        for (int c = 0; c < 1920; ++c) samples[r * 1920u + c] = static_cast<unsigned short>((r % 256) << 4);
    return samples;
}

class FrameDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        kelvox_test::EnsureThreadQueue();
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "FRAMES-1");
        c.paced = 0;
        c.photometric = 0;
        c.scene = KELVOX_SIM_SCENE_RAW;
        camera_ = KelvoxSim_Attach(&c);
        ASSERT_GE(camera_, 0);
        const std::vector<unsigned short> scene = RowNumberScene();
        ASSERT_EQ(KelvoxSim_SetRawScene(camera_, scene.data(), 1920, 1200), 1);
        notify_ = kelvox_test::CreateProbeWindow();
        callback_ = kelvox_test::CreateProbeWindow();
        handle_ = Kelvox_Initialize(static_cast<KELVOX_HWND>(notify_));
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Kelvox_GetLastError(handle_), 0);
        ASSERT_EQ(Kelvox_SetWaitTime(handle_, 1), 1);
        ASSERT_EQ(Kelvox_SetColorMode(handle_, 8), 1);  // the stored first-run format is 24-bit
    }
    void TearDown() override {
        EXPECT_EQ(Kelvox_Release(handle_), 1);
        KelvoxSim_DetachAll();
        kelvox_test::DestroyProbeWindow(notify_);
        kelvox_test::DestroyProbeWindow(callback_);
    }
    // A window 1001 pixels wide (8-bit stride 1004) starting at scene row 100.
    void OddWindow() { ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 1001, 1200, 100, 300), 1); }

    int camera_ = -1;
    int handle_ = 0;
    void* notify_ = nullptr;
    void* callback_ = nullptr;
};

}  // namespace

TEST_F(FrameDelivery, CaptureStatesFollowTheirTransitions) {
    EXPECT_EQ(Kelvox_Capture(handle_), 1);
    EXPECT_EQ(Kelvox_Capture(handle_), 1);  // already prepared
    EXPECT_EQ(Kelvox_StartPreview(handle_), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NOT_READY);
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);

    ASSERT_EQ(Kelvox_StartPreview(handle_), 1);
    EXPECT_EQ(Kelvox_StartPreview(handle_), 1);  // running already: nothing new
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
    EXPECT_EQ(Kelvox_Capture(handle_), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NOT_READY);
    std::vector<unsigned char> buffer(1920 * 1200);
    EXPECT_EQ(Kelvox_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NOT_READY);
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);  // stopping twice is harmless
    EXPECT_EQ(Kelvox_Capture(handle_), 1);      // idle again
    EXPECT_EQ(Kelvox_Close(handle_), 1);
    EXPECT_EQ(Kelvox_StartPreview(handle_), 1);  // close leaves it idle
    EXPECT_EQ(Kelvox_Close(handle_), 1);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(FrameDelivery, PrepareRefusesWhatCannotBeCaptured) {
    // Stored but invalid window: code 7, and nothing starts.
    EXPECT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 1000, 1000, 1200, 0, 1200), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CAPTURE_WINDOW);
    EXPECT_EQ(Kelvox_StartPreview(handle_), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CAPTURE_WINDOW);
    EXPECT_EQ(Kelvox_Capture(handle_), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CAPTURE_WINDOW);
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 640, 1200, 0, 480), 1);

    // No picture of the mode exists before a prepare step made one.
    ASSERT_EQ(Kelvox_SetColorMode(handle_, 48), 1);
    std::vector<unsigned char> buffer(640 * 480 * 6);
    EXPECT_EQ(Kelvox_GetImage(handle_, buffer.data(), static_cast<int>(buffer.size()), 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    ASSERT_EQ(Kelvox_SetColorMode(handle_, 8), 1);

    // A camera that is gone: code 2.
    ASSERT_EQ(KelvoxSim_Detach(camera_), 1);
    EXPECT_EQ(Kelvox_Capture(handle_), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NO_CAMERA);
    EXPECT_EQ(Kelvox_SnapShot(handle_, nullptr, 0, 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NO_CAMERA);
}

TEST_F(FrameDelivery, SnapshotStopsTheDeviceOnlyWhenIdle) {
    OddWindow();
    const int stride = 1004, height = 300;
    std::vector<unsigned char> top(stride * height, 0xEE), bottom(stride * height, 0xEE);

    const unsigned resets = PipeResets(camera_);
    ASSERT_EQ(Kelvox_SnapShot(handle_, top.data(), static_cast<int>(top.size()), 1), 1);
    EXPECT_GT(PipeResets(camera_), resets);  // state 0: started and stopped again
    for (int r = 0; r < height; ++r) {
        const unsigned char expected = static_cast<unsigned char>((100 + r) % 256);
        for (int c = 0; c < 16; ++c) ASSERT_EQ(top[r * stride + c], expected) << "row " << r << " column " << c;
        for (int c = 1001; c < stride; ++c) ASSERT_EQ(top[r * stride + c], 0) << "padding of row " << r;
    }

    ASSERT_EQ(Kelvox_Capture(handle_), 1);
    ASSERT_EQ(Kelvox_SnapShot(handle_, bottom.data(), static_cast<int>(bottom.size()), 0), 1);
    const unsigned prepared = PipeResets(camera_);
    ASSERT_EQ(Kelvox_SnapShot(handle_, bottom.data(), static_cast<int>(bottom.size()), 0), 1);
    EXPECT_EQ(PipeResets(camera_), prepared);  // state 2: the device keeps running between snapshots
    for (int r = 0; r < height; ++r)
        ASSERT_EQ(std::memcmp(&bottom[r * stride], &top[(height - 1 - r) * stride], stride), 0) << "row " << r;

    // Without a buffer the frame is still taken, and GetImage hands it over in either order.
    ASSERT_EQ(Kelvox_SnapShot(handle_, nullptr, 0, 0), 1);
    std::vector<unsigned char> again(stride * height);
    ASSERT_EQ(Kelvox_GetImage(handle_, again.data(), static_cast<int>(again.size()), 1), 1);
    EXPECT_EQ(again, top);
    ASSERT_EQ(Kelvox_GetImage(handle_, again.data(), static_cast<int>(again.size()), 0), 1);
    EXPECT_EQ(again, bottom);
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
    EXPECT_GT(PipeResets(camera_), prepared);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(FrameDelivery, SixteenBitFramesKeepTheirSamples) {
    ASSERT_EQ(Kelvox_SetColorMode(handle_, 16), 1);
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 641, 1200, 8, 40), 1);
    const int stride = 1284, height = 40;  // 641 x 2 bytes, padded to 4
    std::vector<unsigned char> image(stride * height);
    ASSERT_EQ(Kelvox_SnapShot(handle_, image.data(), static_cast<int>(image.size()), 1), 1);
    for (int r = 0; r < height; ++r) {
        const unsigned sample = image[r * stride + 20] | image[r * stride + 21] << 8;
        EXPECT_EQ(sample, static_cast<unsigned>(((8 + r) % 256) << 8)) << "row " << r;  // 12-bit << 4
        EXPECT_EQ(image[r * stride + 1282] | image[r * stride + 1283], 0) << "padding of row " << r;
    }
}

TEST_F(FrameDelivery, EveryColourModeDeliversItsStride) {
    // One pixel: the 24-bit row is padded to 4 bytes, and 3 are one short.
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 100, 1, 1200, 100, 1), 1);
    ASSERT_EQ(Kelvox_SetColorMode(handle_, 24), 1);
    unsigned char pixel[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(Kelvox_SnapShot(handle_, pixel, 3, 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    ASSERT_EQ(Kelvox_SnapShot(handle_, pixel, 4, 0), 1);
    EXPECT_EQ(pixel[3], 0);  // padding
    // Larger windows in each mode: the frame record and a full buffer of the mode's stride.
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 33, 1200, 0, 7), 1);
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        ASSERT_EQ(Kelvox_SetColorMode(handle_, bits), 1);
        const int stride = (33 * bits / 8 + 3) & ~3;
        std::vector<unsigned char> image(stride * 7);
        ASSERT_EQ(Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(callback_), image.data(),
                                         static_cast<int>(image.size()), 1),
                  1)
            << bits;
        Posted p{};
        ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &p)) << bits;
        ASSERT_EQ(Kelvox_StopPreview(handle_), 1);
        ASSERT_NE(p.wparam, 0u) << bits << " failure " << p.lparam;
        EXPECT_EQ(reinterpret_cast<const KELVOX_FRAME_INFO*>(p.wparam)->bits_per_pixel, bits);
        kelvox_test::DrainPosted(callback_);
    }
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(FrameDelivery, ShortBuffersAreRefusedWithCodeFiveTwice) {
    OddWindow();
    const int size = 1004 * 300;
    std::vector<unsigned char> buffer(size);
    // A callback window from an earlier preview receives the failure notices of later copies.
    ASSERT_EQ(Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(callback_), buffer.data(), size - 1, 1), 1);
    Posted p{};
    ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &p));
    EXPECT_EQ(p.wparam, 0u);
    EXPECT_EQ(p.lparam, KELVOX_ERR_BUFFER);
    ASSERT_EQ(Kelvox_StopPreview(handle_), 1);
    while (Kelvox_GetLastError(handle_) != 0) {
    }
    kelvox_test::DrainPosted(callback_);

    EXPECT_EQ(Kelvox_SnapShot(handle_, buffer.data(), size - 1, 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
    ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &p, 1000));
    EXPECT_EQ(p.wparam, 0u);
    EXPECT_EQ(p.lparam, KELVOX_ERR_BUFFER);

    EXPECT_EQ(Kelvox_GetImage(handle_, buffer.data(), size - 1, 1), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
    ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &p, 1000));
    EXPECT_EQ(p.lparam, KELVOX_ERR_BUFFER);

    EXPECT_EQ(Kelvox_GetImage(handle_, buffer.data(), -5, 1), 0);  // negative sizes are short too
    EXPECT_EQ(Kelvox_GetImage(handle_, nullptr, size, 1), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    // The exact size is enough.
    EXPECT_EQ(Kelvox_SnapShot(handle_, buffer.data(), size, 0), 1);
    EXPECT_EQ(Kelvox_GetImage(handle_, buffer.data(), size, 0), 1);
}

TEST_F(FrameDelivery, LivePreviewCopiesEveryFrameAndPostsItsRecord) {
    OddWindow();
    const int stride = 1004, height = 300, size = stride * height;
    std::vector<unsigned char> buffer(size, 0xEE);
    ASSERT_EQ(Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(callback_), buffer.data(), size, 0), 1);
    Posted p{};
    uintptr_t record = 0;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &p)) << "frame " << i;
        ASSERT_NE(p.wparam, 0u) << "failure " << p.lparam;
        EXPECT_EQ(p.lparam, 0);
        if (record) {
            EXPECT_EQ(p.wparam, record);  // one record per session, rewritten every frame
        }
        record = p.wparam;
    }
    ASSERT_EQ(Kelvox_StopPreview(handle_), 1);
    const auto* info = reinterpret_cast<const KELVOX_FRAME_INFO*>(record);
    EXPECT_EQ(info->reserved, 0);
    EXPECT_EQ(info->width, 1001);
    EXPECT_EQ(info->height, 300);
    EXPECT_EQ(info->bits_per_pixel, 8);
    EXPECT_EQ(info->buffer, buffer.data());
    // Bottom row first.
    for (int r = 0; r < height; ++r)
        ASSERT_EQ(buffer[r * stride + 7], static_cast<unsigned char>((100 + height - 1 - r) % 256)) << "row " << r;
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
    // What the host got is also what GetImage gives.
    std::vector<unsigned char> last(size);
    ASSERT_EQ(Kelvox_GetImage(handle_, last.data(), size, 0), 1);
    EXPECT_EQ(last, buffer);
}

TEST_F(FrameDelivery, FrameRateIsMeasuredOverEachSecond) {
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 320, 1200, 0, 240), 1);
    ASSERT_EQ(Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(callback_), nullptr, 0, 0), 1);
    Posted p{};
    const auto start = std::chrono::steady_clock::now();
    int frames = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(2300))
        if (WaitFor(callback_, KELVOX_WM_FRAME, &p, 100) && p.wparam) ++frames;
    ASSERT_EQ(Kelvox_StopPreview(handle_), 1);
    ASSERT_GT(frames, 10);
    const auto* info = reinterpret_cast<const KELVOX_FRAME_INFO*>(p.wparam);
    EXPECT_GT(info->frame_rate, 0);  // at least one full second was counted
    EXPECT_EQ(info->buffer, nullptr);
}

TEST_F(FrameDelivery, PulledCameraEndsPreviewAndStopDoesNotBlock) {
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 640, 1200, 0, 480), 1);
    std::vector<unsigned char> buffer(640 * 480);
    ASSERT_EQ(Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(callback_), buffer.data(),
                                     static_cast<int>(buffer.size()), 1),
              1);
    Posted p{};
    ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &p));
    kelvox_test::DrainPosted(notify_);
    ASSERT_EQ(KelvoxSim_Detach(camera_), 1);
    bool lost = false;
    while (!lost && WaitFor(callback_, KELVOX_WM_FRAME, &p, 20000)) lost = p.wparam == 0;
    ASSERT_TRUE(lost);
    EXPECT_EQ(p.lparam, KELVOX_ERR_DEVICE_LOST);
    ASSERT_TRUE(WaitFor(notify_, KELVOX_WM_ERROR, &p, 1000));
    EXPECT_EQ(p.lparam, KELVOX_ERR_DEVICE_LOST);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_DEVICE_LOST);
    // The thread has ended by itself; the host still stops and closes as usual.
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
    EXPECT_EQ(Kelvox_Close(handle_), 1);
    EXPECT_EQ(Kelvox_StartPreview(handle_), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NO_CAMERA);
}

TEST_F(FrameDelivery, PreviewStartsAndStopsAtRandomMoments) {
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 320, 1200, 0, 240), 1);
    ASSERT_EQ(Kelvox_SetWaitTime(handle_, 0), 1);
    std::vector<unsigned char> buffer(320 * 240);
    ASSERT_EQ(Kelvox_SnapShot(handle_, nullptr, 0, 0), 1);  // so there is a last image from the start
    std::atomic<bool> done{false};
    std::atomic<int> reader_failures{0};
    // Another host thread reads the last image all along; it must never see a half-made picture.
    std::thread reader([&] {
        std::vector<unsigned char> copy(320 * 240);
        while (!done.load())
            if (Kelvox_GetImage(handle_, copy.data(), static_cast<int>(copy.size()), 1) != 1) ++reader_failures;
    });
    std::mt19937 random(1234);
    int frames = 0, failures = 0;
    for (int cycle = 0; cycle < 300 && failures == 0; ++cycle) {
        const int how = cycle % 3;
        int started = 0;
        if (how == 0) started = Kelvox_StartPreview(handle_);
        else started = Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(callback_), buffer.data(),
                                              static_cast<int>(buffer.size()), how - 1);
        if (started != 1) ADD_FAILURE() << "cycle " << cycle << " error " << Kelvox_GetLastError(handle_), ++failures;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        if (Kelvox_StopPreview(handle_) != 1) ADD_FAILURE() << "stop in cycle " << cycle, ++failures;
        Posted p;
        while (kelvox_test::TakePosted(callback_, &p)) {
            if (p.message != KELVOX_WM_FRAME || p.wparam == 0)
                ADD_FAILURE() << "cycle " << cycle << " message " << p.message << " failure " << p.lparam, ++failures;
            ++frames;
        }
    }
    done = true;
    reader.join();
    EXPECT_EQ(reader_failures, 0);
    EXPECT_GT(frames, 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(FrameDelivery, SettingsChangeWhileFramesAreProcessed) {
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 64, 1200, 0, 48), 1);
    ASSERT_EQ(Kelvox_SetColorMode(handle_, 24), 1);
    // Rows shared out among four threads; the preview keeps them and stops them with its own.
    kelvox::SessionOf(handle_)->StartBandWorkers(4);
    // A wait time stored by an earlier test could let a 64 x 48 window flood the queue faster
    // than this loop reads it.
    ASSERT_EQ(Kelvox_SetWaitTime(handle_, 10), 1);
    std::vector<unsigned char> buffer(64 * 3 * 48);
    ASSERT_EQ(Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(callback_), buffer.data(),
                                     static_cast<int>(buffer.size()), 0),
              1);
    std::mt19937 random(99);
    int frames = 0;
    for (int i = 0; i < 200; ++i) {
        // Picture settings, the mirrors and the automatic control all feed the processing.
        EXPECT_EQ(Kelvox_SetFilterValue(handle_, 3, static_cast<int>(random() % 721) - 360), 1);
        EXPECT_EQ(Kelvox_SetFilterValue(handle_, 5, static_cast<int>(random() % 31)), 1);
        EXPECT_EQ(Kelvox_SetFilterValue(handle_, 11, 50 + static_cast<int>(random() % 150)), 1);
        EXPECT_EQ(Kelvox_SetFilterValue(handle_, 10, static_cast<int>(random() % 2)), 1);
        EXPECT_EQ(Kelvox_SetMirrorH(handle_, static_cast<int>(random() % 2)), 1);
        EXPECT_EQ(Kelvox_SetAutoIris(handle_, static_cast<int>(random() % 3)), 1);
        EXPECT_EQ(Kelvox_SetRealExposureTime(handle_, 1000 + static_cast<int>(random() % 5000)), 1);
        int ok = 0;
        Kelvox_GetFilterValue(handle_, 7, &ok);  // the white balance writes it on the frame thread
        EXPECT_EQ(ok, 1);
        Posted p;
        for (int n = 0; n < 100 && kelvox_test::TakePosted(callback_, &p); ++n) frames += p.wparam != 0;
    }
    ASSERT_EQ(Kelvox_StopPreview(handle_), 1);
    EXPECT_GT(frames, 0);
}
