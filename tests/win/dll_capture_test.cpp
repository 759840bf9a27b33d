// Frames through the DLL as a Windows host receives them: real window queues, both row orders,
// short buffers and a camera pulled during preview.
#include <chrono>
#include <cstring>
#include <vector>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"

namespace {

struct Api {
    KELVOX_EXPORT(KelvoxSim_DefaultCamera);
    KELVOX_EXPORT(KelvoxSim_Attach);
    KELVOX_EXPORT(KelvoxSim_Detach);
    KELVOX_EXPORT(KelvoxSim_DetachAll);
    KELVOX_EXPORT(KelvoxSim_SetRawScene);
    KELVOX_EXPORT(Kelvox_Initialize);
    KELVOX_EXPORT(Kelvox_Release);
    KELVOX_EXPORT(Kelvox_GetLastError);
    KELVOX_EXPORT(Kelvox_SetCaptureWindowEx);
    KELVOX_EXPORT(Kelvox_SetWaitTime);
    KELVOX_EXPORT(Kelvox_SetColorMode);
    KELVOX_EXPORT(Kelvox_Capture);
    KELVOX_EXPORT(Kelvox_StartPreview);
    KELVOX_EXPORT(Kelvox_CallBackPreview);
    KELVOX_EXPORT(Kelvox_StopPreview);
    KELVOX_EXPORT(Kelvox_Close);
    KELVOX_EXPORT(Kelvox_SnapShot);
    KELVOX_EXPORT(Kelvox_GetImage);
};

HWND MessageWindow() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KelvoxCaptureProbe";
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExA(0, "KelvoxCaptureProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// Pumps the window's queue until a message of the kind arrives.
bool WaitFor(HWND window, UINT message, MSG* out, int timeout_ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
        if (PeekMessageA(out, window, 0, 0, PM_REMOVE)) {
            if (out->message == message) return true;
            continue;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
    }
    return false;
}

// Removes what is already queued for the window: frames posted before a stop returned.
void Drain(HWND window) {
    MSG m;
    while (PeekMessageA(&m, window, 0, 0, PM_REMOVE)) {
    }
}

class DllCapture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(api_.Kelvox_SnapShot, nullptr);
        KELVOX_SIM_CAMERA c;
        api_.KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "WIN-FRAMES");
        c.paced = 0;
        c.photometric = 0;
        c.scene = KELVOX_SIM_SCENE_RAW;
        camera_ = api_.KelvoxSim_Attach(&c);
        ASSERT_GE(camera_, 0);
        std::vector<unsigned short> rows(1920u * 1200u);
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<unsigned short>((i / 1920 % 256) << 4);
        ASSERT_EQ(api_.KelvoxSim_SetRawScene(camera_, rows.data(), 1920, 1200), 1);
        notify_ = MessageWindow();
        callback_ = MessageWindow();
        handle_ = api_.Kelvox_Initialize(notify_);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(api_.Kelvox_SetWaitTime(handle_, 1), 1);
        ASSERT_EQ(api_.Kelvox_SetColorMode(handle_, 8), 1);  // the stored first-run format is 24-bit
        ASSERT_EQ(api_.Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 333, 1200, 20, 100), 1);  // stride 336
    }
    void TearDown() override {
        EXPECT_EQ(api_.Kelvox_Release(handle_), 1);
        api_.KelvoxSim_DetachAll();
        DestroyWindow(notify_);
        DestroyWindow(callback_);
    }
    static constexpr int kStride = 336, kHeight = 100, kSize = kStride * kHeight;
    Api api_;
    int camera_ = -1;
    int handle_ = 0;
    HWND notify_ = nullptr, callback_ = nullptr;
};

}  // namespace

TEST_F(DllCapture, SnapshotsInBothRowOrdersAndTheStates) {
    std::vector<unsigned char> top(kSize), bottom(kSize);
    ASSERT_EQ(api_.Kelvox_SnapShot(handle_, top.data(), kSize, 1), 1);
    for (int r = 0; r < kHeight; ++r) ASSERT_EQ(top[r * kStride], (20 + r) % 256) << "row " << r;
    ASSERT_EQ(api_.Kelvox_Capture(handle_), 1);
    ASSERT_EQ(api_.Kelvox_Capture(handle_), 1);
    EXPECT_EQ(api_.Kelvox_StartPreview(handle_), 0);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), KELVOX_ERR_NOT_READY);
    ASSERT_EQ(api_.Kelvox_SnapShot(handle_, bottom.data(), kSize, 0), 1);
    for (int r = 0; r < kHeight; ++r)
        ASSERT_EQ(std::memcmp(&bottom[r * kStride], &top[(kHeight - 1 - r) * kStride], kStride), 0) << "row " << r;
    EXPECT_EQ(api_.Kelvox_SnapShot(handle_, bottom.data(), kSize - 1, 0), 0);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), 0);
    EXPECT_EQ(api_.Kelvox_Close(handle_), 1);
    EXPECT_EQ(api_.Kelvox_Close(123456), 0);  // not a handle
}

TEST_F(DllCapture, CallbackPreviewPostsFramesAndShortBufferNotices) {
    std::vector<unsigned char> buffer(kSize);
    ASSERT_EQ(api_.Kelvox_CallBackPreview(handle_, callback_, buffer.data(), kSize, 1), 1);
    MSG m{};
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &m)) << "frame " << i;
        ASSERT_NE(m.wParam, 0u) << "failure " << m.lParam;
    }
    ASSERT_EQ(api_.Kelvox_StopPreview(handle_), 1);
    const auto* info = reinterpret_cast<const KELVOX_FRAME_INFO*>(m.wParam);
    EXPECT_EQ(info->width, 333);
    EXPECT_EQ(info->height, 100);
    EXPECT_EQ(info->bits_per_pixel, 8);
    EXPECT_EQ(info->buffer, buffer.data());
    for (int r = 0; r < kHeight; ++r) ASSERT_EQ(buffer[r * kStride + 5], (20 + r) % 256) << "row " << r;

    // One byte short: each frame is refused with (0, 5) and nothing is copied.
    Drain(callback_);
    ASSERT_EQ(api_.Kelvox_CallBackPreview(handle_, callback_, buffer.data(), kSize - 1, 1), 1);
    ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &m));
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(m.lParam, KELVOX_ERR_BUFFER);
    ASSERT_EQ(api_.Kelvox_StopPreview(handle_), 1);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    EXPECT_EQ(api_.Kelvox_GetImage(handle_, buffer.data(), kSize, 0), 1);
}

TEST_F(DllCapture, PulledCameraIsReportedAndStopReturns) {
    ASSERT_EQ(api_.Kelvox_CallBackPreview(handle_, callback_, nullptr, 0, 0), 1);
    MSG m{};
    ASSERT_TRUE(WaitFor(callback_, KELVOX_WM_FRAME, &m));
    ASSERT_EQ(api_.KelvoxSim_Detach(camera_), 1);
    bool lost = false;
    while (!lost && WaitFor(callback_, KELVOX_WM_FRAME, &m, 20000)) lost = m.wParam == 0;
    ASSERT_TRUE(lost);
    EXPECT_EQ(m.lParam, KELVOX_ERR_DEVICE_LOST);
    ASSERT_TRUE(WaitFor(notify_, KELVOX_WM_ERROR, &m, 2000));
    EXPECT_EQ(m.lParam, KELVOX_ERR_DEVICE_LOST);
    EXPECT_EQ(api_.Kelvox_StopPreview(handle_), 1);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), KELVOX_ERR_DEVICE_LOST);
}
