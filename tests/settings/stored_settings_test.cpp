// The stored camera settings as the library reads and writes them, looked at in the store itself
// (the registry under Wine, the per-user file natively).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "platform/registry.h"
#include "session/session.h"
#include "settings/camera_store.h"

namespace {

namespace st = kelvox::settings;
using kelvox::platform::RegistryKey;
using kelvox::platform::RegistryType;

const std::string kCamera0 = std::string(st::kRootKey) + "\\Camera_00";

int AttachCamera(const char* serial) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strncpy(c.serial, serial, sizeof c.serial - 1);
    c.paced = 0;
    return KelvoxSim_Attach(&c);
}

int Dword(const std::string& key, const char* name) {
    RegistryKey k;
    int v = -12345;
    if (!k.Open(key) || !k.QueryDword(name, &v)) ADD_FAILURE() << key << " " << name << " missing";
    return v;
}

bool KeyExists(const std::string& key) {
    RegistryKey k;
    return k.Open(key);
}

void SetDword(const std::string& key, const char* name, int v) {
    RegistryKey k;
    ASSERT_TRUE(k.Create(key));
    ASSERT_TRUE(k.SetDword(name, v));
}

void SetBytes(const std::string& key, const char* name, std::vector<unsigned char> bytes) {
    RegistryKey k;
    ASSERT_TRUE(k.Create(key));
    ASSERT_TRUE(k.Set(name, RegistryType::kBinary, bytes.data(), static_cast<uint32_t>(bytes.size())));
}

std::string TempFile(const char* name) {
#ifdef _WIN32
    return std::string("kelvox_") + name;
#else
    return std::string("/tmp/kelvox_") + std::to_string(getpid()) + "_" + name;
#endif
}

void WriteFile(const std::string& path, size_t bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (size_t i = 0; i < bytes; ++i) std::fputc(static_cast<int>(i + 1), f);
    std::fclose(f);
}

class StoredSettings : public ::testing::Test {
protected:
    void TearDown() override {
        for (int h : handles_) Kelvox_Release(h);
        KelvoxSim_DetachAll();
    }
    int Open() {
        const int h = Kelvox_Initialize(nullptr);
        EXPECT_NE(h, 0);
        handles_.push_back(h);
        return h;
    }
    void Release(int h) {
        EXPECT_EQ(Kelvox_Release(h), 1);
        std::erase(handles_, h);
    }
    std::vector<int> handles_;
};

}  // namespace

TEST_F(StoredSettings, FirstRunCreatesTheDefaultsOfCameraZero) {
    ASSERT_FALSE(KeyExists(st::kRootKey));
    const int h = Open();  // no camera attached: camera number 0 all the same
    EXPECT_EQ(Dword(kCamera0, "Size"), 0);
    EXPECT_EQ(Dword(kCamera0, "Color"), 2);
    EXPECT_EQ(Dword(kCamera0, "SubSample"), 0);
    EXPECT_EQ(Dword(kCamera0, "WaitTime"), 1);
    EXPECT_EQ(Dword(kCamera0, "Clock"), 0);
    const char* names[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
    const int expected[] = {1920, 1200, 1920, 1200, 0, 0, 4};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(Dword(kCamera0 + "\\Size_00", names[i]), expected[i]) << names[i];
    EXPECT_FALSE(KeyExists(std::string(st::kRootKey) + "\\Camera_-1"));
    EXPECT_EQ(Kelvox_GetWaitTime(h), 1);
    EXPECT_EQ(Kelvox_GetColorMode(h), 24);
    // A session that never had a camera leaves no camera groups behind.
    Release(h);
    EXPECT_FALSE(KeyExists(kCamera0 + "\\Gain"));
    EXPECT_FALSE(KeyExists(kCamera0 + "\\Filter"));

    // Once the root exists, another camera number gets no defaults and keeps its geometry.
    kelvox::CaptureWindow window;
    window.width = 640;
    EXPECT_EQ(st::LoadStreamGeometry(1, {}, &window), 0);
    EXPECT_EQ(window.width, 640);
    EXPECT_FALSE(KeyExists(std::string(st::kRootKey) + "\\Camera_01"));
}

TEST_F(StoredSettings, StreamFormatIsCorrectedAndCheckedForThisSensor) {
    ASSERT_GE(AttachCamera("SN-1"), 0);
    Release(Open());
    SetDword(kCamera0, "Color", 1);  // 16-bit mono: this sensor cannot, so 24-bit colour
    SetDword(kCamera0, "WaitTime", 7);
    int h = Open();
    EXPECT_EQ(Kelvox_GetColorMode(h), 24);
    EXPECT_EQ(Kelvox_GetWaitTime(h), 7);
    Release(h);
    SetDword(kCamera0, "Color", 3);
    h = Open();
    EXPECT_EQ(Kelvox_GetColorMode(h), 32);
    Release(h);
    // Values no setter would take are passed over.
    SetDword(kCamera0, "Color", 9);
    SetDword(kCamera0, "WaitTime", -5);
    h = Open();
    EXPECT_EQ(Kelvox_GetColorMode(h), 8);
    EXPECT_EQ(Kelvox_GetWaitTime(h), 10);

    // The corrections for cameras with other capabilities.
    st::StreamFormat f;
    SetDword(kCamera0, "Color", 0);
    ASSERT_EQ(st::LoadStreamFormat(0, {false, true, true}, &f), 1);
    EXPECT_EQ(f.color, 1);
    SetDword(kCamera0, "Color", 2);
    ASSERT_EQ(st::LoadStreamFormat(0, {true, false, false}, &f), 1);
    EXPECT_EQ(f.color, 0);
    EXPECT_EQ(st::LoadStreamFormat(5, {}, &f), 0);
}

TEST_F(StoredSettings, GroupsAreWrittenAtReleaseAndReadAtTheNextOpen) {
    ASSERT_GE(AttachCamera("SN-1"), 0);
    int h = Open();
    ASSERT_EQ(Kelvox_SetFilterValue(h, KELVOX_FILTER_BRIGHTNESS, -40), 1);
    ASSERT_EQ(Kelvox_SetFilterValue(h, KELVOX_FILTER_GAMMA, 150), 1);
    ASSERT_EQ(Kelvox_SetFilterValue(h, KELVOX_FILTER_BAYER_MODE, 1), 1);
    ASSERT_EQ(Kelvox_SetFilterValue(h, KELVOX_FILTER_GRAY_MODE, 1), 1);
    ASSERT_EQ(Kelvox_SetFilterValue(h, KELVOX_FILTER_GRAY_OFFSET_G2, -7), 1);
    ASSERT_EQ(Kelvox_SetExposureTimeEx(h, 0.0123456789), 1);
    ASSERT_EQ(Kelvox_SetMirrorV(h, 1), 1);
    int ok = 0;
    const double seconds = Kelvox_GetExposureTimeEx(h, &ok);
    ASSERT_EQ(ok, 1);
    Release(h);

    EXPECT_EQ(Dword(kCamera0 + "\\Filter", "Brightness"), -40);
    EXPECT_EQ(Dword(kCamera0 + "\\Filter", "Gamma"), 150);
    EXPECT_EQ(Dword(kCamera0 + "\\Filter", "BayerMode"), 1);
    EXPECT_EQ(Dword(kCamera0 + "\\Gray", "Mode"), 1);
    EXPECT_EQ(Dword(kCamera0 + "\\Gray", "OffsetG2"), -7);
    EXPECT_EQ(Dword(kCamera0 + "\\Gain", "V_Mirror"), 1);
    RegistryKey gain;
    ASSERT_TRUE(gain.Open(kCamera0 + "\\Gain"));
    unsigned char stored[8] = {};
    ASSERT_EQ(gain.Query("ExposureEx", stored, 8), 8);
    EXPECT_EQ(std::memcmp(stored, &seconds, 8), 0);

    h = Open();
    EXPECT_EQ(Kelvox_GetFilterValue(h, KELVOX_FILTER_BRIGHTNESS, &ok), -40);
    EXPECT_EQ(Kelvox_GetFilterValue(h, KELVOX_FILTER_GRAY_OFFSET_G2, &ok), -7);
    EXPECT_EQ(Kelvox_GetMirrorV(h), 1);
    const double again = Kelvox_GetExposureTimeEx(h, &ok);
    EXPECT_EQ(std::memcmp(&again, &seconds, 8), 0);
}

TEST_F(StoredSettings, AnalogValuesShareOneBufferAndMissingGroupsGiveDefaults) {
    // The extended exposure round-trips bit for bit, including values with no short decimal form.
    kelvox::CameraSettings analog;
    analog.exposure_seconds = 1.0 / 3.0;
    analog.global_gain = 17;
    ASSERT_EQ(st::SaveAnalog(0, analog), 1);
    kelvox::CameraSettings back;
    ASSERT_EQ(st::LoadAnalog(0, {}, &back), 1);
    EXPECT_EQ(std::memcmp(&back.exposure_seconds, &analog.exposure_seconds, 8), 0);
    EXPECT_EQ(back.global_gain, 17);

    // A missing value repeats the one before it; a short one keeps the upper bytes; a long one is
    // not read at all.
    const std::string gain = std::string(st::kRootKey) + "\\Camera_03\\Gain";
    SetDword(gain, "Global", 0x00070009);
    SetBytes(gain, "ColorR", {0x34, 0x12});
    SetBytes(gain, "ColorB", {1, 2, 3, 4, 5, 6, 7, 8});
    SetBytes(gain, "ExposureEx", {1, 2, 3});
    kelvox::CameraSettings read;
    read.exposure_seconds = 99.0;
    ASSERT_EQ(st::LoadAnalog(3, {}, &read), 1);
    EXPECT_EQ(read.global_gain, 0x00070009);
    EXPECT_EQ(read.gain_green1, 0x00070009);
    EXPECT_EQ(read.gain_red, 0x00071234);
    EXPECT_EQ(read.gain_blue, 0x00071234);
    EXPECT_EQ(read.gain_mode, 0x00071234);
    EXPECT_EQ(read.black_level, 0x00071234);
    const unsigned char three[8] = {1, 2, 3, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&read.exposure_seconds, three, 8), 0);

    // No "Gain" key: the device's defaults, automatic control and gain mode off.
    st::AnalogDefaults d;
    d.global_gain = 5;
    d.colour_gain = 6;
    d.exposure = 100;
    d.mirror_h = 1;
    kelvox::CameraSettings fresh;
    fresh.auto_iris = 2;
    fresh.gain_mode = 1;
    ASSERT_EQ(st::LoadAnalog(4, d, &fresh), 1);
    EXPECT_EQ(fresh.global_gain, 5);
    EXPECT_EQ(fresh.gain_red, 6);
    EXPECT_EQ(fresh.gain_green2, 6);
    EXPECT_EQ(fresh.exposure, 100);
    EXPECT_EQ(fresh.mirror_h, 1);
    EXPECT_EQ(fresh.auto_iris, 0);
    EXPECT_EQ(fresh.gain_mode, 0);

    kelvox::FilterSettings f;
    f.brightness = 9;
    f.gamma = 3;
    f.bayer_mode = 0;
    f.bayer_auto_once = 1;
    f.gray_mode = 2;
    f.gray_gain[2] = 1;
    EXPECT_EQ(st::LoadFilter(4, &f), 0);
    EXPECT_EQ(f.brightness, 0);
    EXPECT_EQ(f.gamma, 100);
    EXPECT_EQ(f.bayer_red, 100);
    EXPECT_EQ(f.bayer_mode, 2);
    EXPECT_EQ(f.bayer_auto_once, 0);
    EXPECT_EQ(f.gray_mode, 2);  // the grey group is its own
    EXPECT_EQ(st::LoadGray(4, &f), 0);
    EXPECT_EQ(f.gray_mode, 0);
    EXPECT_EQ(f.gray_gain[2], 128);
    EXPECT_EQ(f.gray_offset[0], 128);
}

TEST_F(StoredSettings, CaptureWindowPresets) {
    ASSERT_GE(AttachCamera("SN-1"), 0);
    const int h = Open();
    EXPECT_EQ(Kelvox_SetCaptureWindow(h, 640, 480), 0);
    EXPECT_EQ(Kelvox_GetLastError(h), KELVOX_ERR_WINDOW);
    const std::string size1 = kCamera0 + "\\Size_01", size2 = kCamera0 + "\\Size_02";
    const char* names[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
    const int vga[] = {1920, 1200, 640, 480, 100, 60, 3};
    const int bad[] = {1920, 1200, 800, 600, 1500, 0, 4};
    for (int i = 0; i < 7; ++i) {
        SetDword(size1, names[i], vga[i]);
        SetDword(size2, names[i], bad[i]);
    }
    ASSERT_EQ(Kelvox_SetCaptureWindow(h, 640, 480), 1);
    int tw, x, w, th, y, hh;
    Kelvox_GetCaptureWindowEx(h, &tw, &x, &w, &th, &y, &hh);
    EXPECT_EQ(std::vector<int>({x, y, w, hh}), std::vector<int>({100, 60, 640, 480}));
    // A stored preset the window check refuses: error 7 and the whole sensor.
    EXPECT_EQ(Kelvox_SetCaptureWindow(h, 800, 600), 1);
    EXPECT_EQ(Kelvox_GetLastError(h), KELVOX_ERR_CAPTURE_WINDOW);
    Kelvox_GetCaptureWindowEx(h, &tw, &x, &w, &th, &y, &hh);
    EXPECT_EQ(std::vector<int>({tw, th, x, y, w, hh}), std::vector<int>({1920, 1200, 0, 0, 1920, 1200}));
    EXPECT_EQ(Kelvox_SetCaptureWindow(h, 1920, 1200), 1);  // preset 0
    EXPECT_EQ(Kelvox_GetLastError(h), 0);
}

TEST_F(StoredSettings, ConfigurationFiles) {
    const int h = Open();
    kelvox::Session* session = kelvox::SessionOf(h);
    ASSERT_NE(session, nullptr);
    const std::string twenty = TempFile("twenty.cfg"), seven = TempFile("seven.cfg");
    WriteFile(twenty, 20);
    WriteFile(seven, 7);
    ASSERT_EQ(Kelvox_LoadConfigFileA(h, twenty.c_str()), 1);
    const auto pairs = session->config_pairs();
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].first, 0x04030201);
    EXPECT_EQ(pairs[1].second, 0x100F0E0D);
    EXPECT_EQ(Kelvox_LoadConfigFileA(h, TempFile("missing.cfg").c_str()), 0);
    EXPECT_EQ(Kelvox_LoadConfigFileA(h, nullptr), 0);
    EXPECT_EQ(session->config_pairs().size(), 2u);
    EXPECT_EQ(Kelvox_GetLastError(h), 0);
    const std::wstring wide(seven.begin(), seven.end());
    ASSERT_EQ(Kelvox_LoadConfigFileW(h, wide.c_str()), 1);
    EXPECT_TRUE(session->config_pairs().empty());
    EXPECT_EQ(Kelvox_LoadConfigFileW(h, std::wstring(1100, L'a').c_str()), 0);
    EXPECT_EQ(Kelvox_GetLastError(h), KELVOX_ERR_CONVERT);
    std::remove(twenty.c_str());
    std::remove(seven.c_str());
}
