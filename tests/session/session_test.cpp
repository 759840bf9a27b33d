// A host's view of the session exports, on simulated cameras.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "unit/message_probe.h"

namespace {

int AttachCamera(const char* serial, int srom = 0) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strncpy(c.serial, serial, sizeof c.serial - 1);
    c.paced = 0;
    c.srom_id = static_cast<unsigned char>(srom);
    return KelvoxSim_Attach(&c);
}

unsigned ControlRequests(int id) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(id, &s);
    return s.control_requests;
}

// One handle, opened with one simulated camera attached (so it selects camera 0 by itself).
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        camera_ = AttachCamera("SN-0001");
        ASSERT_GE(camera_, 0);
        handle_ = Kelvox_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Kelvox_GetLastError(handle_), 0);
    }
    void TearDown() override {
        EXPECT_EQ(Kelvox_Release(handle_), 1);
        KelvoxSim_DetachAll();
    }
    int camera_ = -1;
    int handle_ = 0;
};

}  // namespace

TEST_F(SessionTest, NamesNumberThePresentCameras) {
    const int second = AttachCamera("SN-0002");
    ASSERT_GE(second, 0);
    char names[10][256];
    std::memset(names, 'x', sizeof names);
    ASSERT_EQ(Kelvox_EnumDevice(handle_, names), 2);
    EXPECT_STREQ(names[0], "KelvoxNx40-USB3-Q5_01");
    EXPECT_STREQ(names[1], "KelvoxNx40-USB3-Q5_02");
    for (int k = 2; k < 10; ++k) EXPECT_EQ(names[k][0], '\0');

    // A camera held elsewhere is not present. The walk covers as many indices as there are
    // openable cameras, so the second one missing leaves one entry...
    ASSERT_EQ(KelvoxSim_InjectFault(second, KELVOX_SIM_FAULT_OPEN, -1), 1);
    ASSERT_EQ(Kelvox_EnumDevice(handle_, names), 1);
    EXPECT_STREQ(names[0], "KelvoxNx40-USB3-Q5_01");
    char name[64];
    EXPECT_EQ(Kelvox_GetDeviceName(handle_, 1, name, sizeof name), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NO_CAMERA);
    ASSERT_EQ(Kelvox_GetDeviceName(handle_, 0, name, sizeof name), 1);
    EXPECT_STREQ(name, "KelvoxNx40-USB3-Q5_01");  // named by index + 1
    wchar_t wide[10][256];
    ASSERT_EQ(Kelvox_EnumDeviceW(handle_, wide), 1);
    EXPECT_EQ(std::wcscmp(wide[0], L"KelvoxNx40-USB3-Q5_01"), 0);
    EXPECT_EQ(wide[1][0], L'\0');

    // ...while the first one missing leaves none: index 0 is walked and is not present.
    ASSERT_EQ(KelvoxSim_InjectFault(second, KELVOX_SIM_FAULT_OPEN, 0), 1);
    ASSERT_EQ(KelvoxSim_InjectFault(camera_, KELVOX_SIM_FAULT_OPEN, -1), 1);
    EXPECT_EQ(Kelvox_EnumDevice(handle_, names), 0);
    ASSERT_EQ(Kelvox_GetDeviceName(handle_, 1, name, sizeof name), 1);
    EXPECT_STREQ(name, "KelvoxNx40-USB3-Q5_02");
}

TEST_F(SessionTest, NameBuffersTooSmallAreRefused) {
    char name[32];
    std::memset(name, '#', sizeof name);
    EXPECT_EQ(Kelvox_GetDeviceName(handle_, 0, name, 18), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    EXPECT_EQ(Kelvox_GetDeviceName(handle_, 0, name, 21), 0);  // the name needs 22 with its terminator
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    EXPECT_EQ(name[0], '#');  // nothing written
    ASSERT_EQ(Kelvox_GetDeviceName(handle_, 0, name, 22), 1);
    EXPECT_STREQ(name, "KelvoxNx40-USB3-Q5_01");
    EXPECT_EQ(Kelvox_GetDeviceName(handle_, 32, name, sizeof name), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NO_CAMERA);

    wchar_t wide[32];
    EXPECT_EQ(Kelvox_GetDeviceNameW(handle_, 0, wide, 21), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CONVERT);
    ASSERT_EQ(Kelvox_GetDeviceNameW(handle_, 0, wide, 22), 1);
    EXPECT_EQ(std::wcscmp(wide, L"KelvoxNx40-USB3-Q5_01"), 0);
    EXPECT_EQ(Kelvox_GetDeviceNameW(handle_, 5, wide, 32), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NO_CAMERA);  // recorded once
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(SessionTest, InvalidWindowIsStoredYetRefused) {
    EXPECT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 1000, 1000, 1200, 0, 1200), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CAPTURE_WINDOW);
    int tw = 0, x = 0, w = 0, th = 0, y = 0, h = 0;
    ASSERT_EQ(Kelvox_GetCaptureWindowEx(handle_, &tw, &x, &w, &th, &y, &h), 1);
    EXPECT_EQ(x, 1000);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(Kelvox_Width(handle_), 1000);
    ASSERT_EQ(Kelvox_GetCaptureWindowEx(handle_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 100, 640, 1200, 200, 480), 1);
    EXPECT_EQ(Kelvox_Width(handle_), 640);
    EXPECT_EQ(Kelvox_Height(handle_), 480);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(SessionTest, FormatSubsampleAndWaitTime) {
    EXPECT_EQ(Kelvox_GetColorMode(handle_), 24);  // the stored first-run format
    EXPECT_EQ(Kelvox_GetWaitTime(handle_), 1);
    EXPECT_EQ(Kelvox_SetColorMode(handle_, 16), 1);  // only the 8- and 24-bit capabilities are asked
    EXPECT_EQ(Kelvox_GetColorMode(handle_), 16);
    EXPECT_EQ(Kelvox_SetColorMode(handle_, 64), 1);
    EXPECT_EQ(Kelvox_SetColorMode(handle_, 12), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    EXPECT_EQ(Kelvox_GetColorMode(handle_), 64);

    EXPECT_EQ(Kelvox_SetSubSample(handle_, 1), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
    EXPECT_EQ(Kelvox_SetSubSample(handle_, 0), 1);
    EXPECT_EQ(Kelvox_GetSubSample(handle_), 0);
    EXPECT_EQ(Kelvox_SetWaitTime(handle_, -1), 0);
    EXPECT_EQ(Kelvox_SetWaitTime(handle_, 0), 1);
    EXPECT_EQ(Kelvox_GetWaitTime(handle_), 0);
    int rate = 77;
    EXPECT_EQ(Kelvox_GetSamplingRate(handle_, &rate), 0);
    EXPECT_EQ(rate, 0);
    EXPECT_EQ(Kelvox_SetSamplingRate(handle_, 5), 1);
    EXPECT_EQ(Kelvox_GetColorMode(12345), -1);
    EXPECT_EQ(Kelvox_GetWaitTime(12345), -1);
}

TEST_F(SessionTest, CameraInfoBySize) {
    KELVOX_CAMERA_INFO info;
    std::memset(&info, 0, sizeof info);
    info.size = 35;
    EXPECT_EQ(Kelvox_GetCameraInfo(handle_, &info), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_BUFFER);
    info.size = 36;
    info.exposure_seconds_min = -5;
    ASSERT_EQ(Kelvox_GetCameraInfo(handle_, &info), 1);
    EXPECT_EQ(info.max_width, 1920);
    EXPECT_EQ(info.max_height, 1200);
    EXPECT_EQ(info.gain_max, 480);
    EXPECT_EQ(info.exposure_min, 1);
    EXPECT_EQ(info.exposure_max, 396);
    EXPECT_EQ(info.exposure_seconds_min, -5);  // beyond the host's size: untouched
    info.size = 56;
    ASSERT_EQ(Kelvox_GetCameraInfo(handle_, &info), 1);
    EXPECT_EQ(info.exposure_seconds_min, 0.000023427);
    EXPECT_EQ(info.exposure_seconds_max, 0.039625);
    EXPECT_EQ(Kelvox_GetCameraInfo(handle_, nullptr), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
}

TEST_F(SessionTest, SerialTextAndErasedEeprom) {
    char serial[40];
    EXPECT_EQ(Kelvox_ReadSerialNumberA(handle_, serial, 31), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    ASSERT_EQ(Kelvox_ReadSerialNumberA(handle_, serial, sizeof serial), 1);
    EXPECT_STREQ(serial, "SN-0001");
    wchar_t wide[16];
    ASSERT_EQ(Kelvox_ReadSerialNumberW(handle_, wide, 16), 1);
    EXPECT_EQ(std::wcscmp(wide, L"SN-0001"), 0);
    EXPECT_EQ(Kelvox_ReadSerialNumberW(handle_, wide, 7), 0);  // 8 with the terminator
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CONVERT);

    ASSERT_EQ(KelvoxSim_PokeRegister(camera_, 0xA2, 0x1040, 0xFF), 1);  // erased
    std::memset(serial, '#', sizeof serial);
    EXPECT_EQ(Kelvox_ReadSerialNumberA(handle_, serial, sizeof serial), 1);
    EXPECT_EQ(serial[0], '#');
}

TEST_F(SessionTest, SelectingTheOpenCameraDoesNotReopen) {
    const unsigned before = ControlRequests(camera_);
    EXPECT_EQ(Kelvox_SetDeviceNumber(handle_, 0), 1);
    // Availability is checked (one probe of the table), the camera is not opened again.
    EXPECT_LT(ControlRequests(camera_) - before, 3u);
    EXPECT_EQ(Kelvox_SetDeviceNumber(handle_, 3), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NO_CAMERA);
}

TEST_F(SessionTest, ExposureMirrorsAndTemperature) {
    ASSERT_EQ(Kelvox_SetRealExposureTime(handle_, 12000), 1);
    int ok = 0;
    EXPECT_EQ(Kelvox_GetRealExposureTime(handle_, &ok), 12000);
    EXPECT_EQ(ok, 1);
    EXPECT_DOUBLE_EQ(Kelvox_GetExposureTimeEx(handle_, &ok), 0.012);
    EXPECT_EQ(Kelvox_SetRealExposureTime(handle_, 50), 0);  // 0 units: below the range
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    ASSERT_EQ(Kelvox_SetExposureTimeEx(handle_, 0.02), 1);
    EXPECT_DOUBLE_EQ(Kelvox_GetExposureTimeEx(handle_, &ok), 0.02);
    EXPECT_EQ(Kelvox_GetRealExposureTime(handle_, &ok), 0);  // whole seconds only: 0

    ASSERT_EQ(Kelvox_SetMirrorH(handle_, 7), 1);
    EXPECT_EQ(Kelvox_GetMirrorH(handle_), 1);
    unsigned reg = 0;
    ASSERT_EQ(KelvoxSim_PeekRegister(camera_, 0x48, 0x0216, &reg), 1);
    EXPECT_EQ(reg, 1u);  // horizontal on, vertical off
    ASSERT_EQ(Kelvox_SetMirrorV(handle_, 1), 1);
    EXPECT_EQ(Kelvox_GetMirrorV(handle_), 1);

    EXPECT_EQ(Kelvox_GetTemperatureEx(handle_, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_UNSUPPORTED);
    EXPECT_EQ(Kelvox_SetConfigFilter(handle_), -1);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_UNSUPPORTED);
    EXPECT_EQ(Kelvox_GetExposureTimeEx(424242, &ok), 0.0);
}

TEST_F(SessionTest, RegistersPortAndEeprom) {
    ASSERT_EQ(Kelvox_WriteRegisterEx(handle_, 0x3010, 0x5A), 1);
    int ok = 0;
    EXPECT_EQ(Kelvox_ReadRegisterEx(handle_, 0x3010, &ok), 0x5A);
    EXPECT_EQ(ok, 1);
    ASSERT_EQ(Kelvox_WriteRegister(handle_, 0x3011, 0x77), 1);  // low 8 bits of the address: 0x0011
    unsigned v = 0;
    ASSERT_EQ(KelvoxSim_PeekRegister(camera_, 0x48, 0x0011, &v), 1);
    EXPECT_EQ(v, 0x77u);
    ASSERT_EQ(KelvoxSim_InjectFault(camera_, KELVOX_SIM_FAULT_I2C_NACK, 2), 1);
    EXPECT_EQ(Kelvox_ReadRegister(handle_, 0x11, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_DEVICE_IO);
    ASSERT_EQ(KelvoxSim_InjectFault(camera_, KELVOX_SIM_FAULT_I2C_NACK, 0), 1);

    ASSERT_EQ(Kelvox_Fpga_WriteRegister(handle_, 0x150, 0x1234), 1);  // register 0x50, value 0x34
    EXPECT_EQ(Kelvox_Fpga_ReadRegister(handle_, 0x50, &ok), 0x34);
    ASSERT_EQ(Kelvox_SetIOPort(handle_, 0x1C3), 1);
    unsigned char port = 0;
    ASSERT_EQ(Kelvox_GetIOPort(handle_, &port), 1);
    EXPECT_EQ(port, 0xC3);

    ASSERT_EQ(Kelvox_WriteSromID(handle_, 0x1080, 0x42), 1);
    EXPECT_EQ(Kelvox_ReadSromID(handle_, 0x1080, &ok), 0x42);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(SessionTest, NotifyOnlyErrorsReachTheCallersQueue) {
    kelvox_test::EnsureThreadQueue();
    kelvox_test::DrainPosted(nullptr);
    EXPECT_EQ(Kelvox_Trigger(handle_), 0);
    EXPECT_EQ(Kelvox_SetAutoIris(handle_, 3), 0);
    unsigned char port;
    EXPECT_EQ(Kelvox_GetIOPort(handle_, nullptr), 0);
    EXPECT_EQ(Kelvox_SetInternalCorrection(handle_, 1), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);  // none of these records
    std::vector<intptr_t> codes;
    kelvox_test::Posted p{};
    while (kelvox_test::TakePosted(nullptr, &p)) {
        EXPECT_EQ(p.message, 0x8003u);
        codes.push_back(p.lparam);
    }
    EXPECT_EQ(codes, (std::vector<intptr_t>{KELVOX_ERR_UNSUPPORTED, KELVOX_ERR_PARAM, KELVOX_ERR_PARAM,
                                            KELVOX_ERR_UNSUPPORTED}));
    (void)port;
    EXPECT_EQ(Kelvox_SendText(handle_), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_UNSUPPORTED);
    EXPECT_EQ(Kelvox_SetAutoIris(handle_, 2), 1);
    int ok = 0;
    EXPECT_EQ(Kelvox_GetAutoIris(handle_, &ok), 2);
    EXPECT_EQ(ok, 1);
}

TEST(SessionWithoutCamera, EnumeratesNothingAndOpensNothing) {
    const int h = Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    char names[10][256];
    std::memset(names, 'x', sizeof names);
    EXPECT_EQ(Kelvox_EnumDevice(h, names), 0);
    for (auto& n : names) EXPECT_EQ(n[0], '\0');
    EXPECT_EQ(Kelvox_SetDeviceNumber(h, 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(h), KELVOX_ERR_NO_CAMERA);
    EXPECT_EQ(Kelvox_Release(h), 1);
}
