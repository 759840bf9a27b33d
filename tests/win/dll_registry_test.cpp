// The settings the DLL keeps, read straight from the registry with the system's own calls.
#include <cstring>
#include <string>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"

namespace {

struct Api {
    KELVOX_EXPORT(KelvoxSim_DefaultCamera);
    KELVOX_EXPORT(KelvoxSim_Attach);
    KELVOX_EXPORT(KelvoxSim_DetachAll);
    KELVOX_EXPORT(Kelvox_Initialize);
    KELVOX_EXPORT(Kelvox_Release);
    KELVOX_EXPORT(Kelvox_SetBrightness);
    KELVOX_EXPORT(Kelvox_GetBrightness);
    KELVOX_EXPORT(Kelvox_SetExposureTimeEx);
    KELVOX_EXPORT(Kelvox_GetExposureTimeEx);
    KELVOX_EXPORT(Kelvox_GetColorMode);
    KELVOX_EXPORT(Kelvox_GetFilterValue);
    KELVOX_EXPORT(Kelvox_SetCaptureWindow);
    KELVOX_EXPORT(Kelvox_GetLastError);
};

const std::string kCamera0 = "Software\\Quorin\\DizoruDu403Z5Avo\\Camera_00";

// The value's type and bytes; type 0 when it is missing.
DWORD Raw(const std::string& key, const char* name, void* data, DWORD size) {
    DWORD type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS) return 0;
    return type;
}

DWORD Dword(const std::string& key, const char* name) {
    DWORD v = 0xDEADBEEF;
    EXPECT_EQ(Raw(key, name, &v, 4), static_cast<DWORD>(REG_DWORD)) << key << " " << name;
    return v;
}

void Put(const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(k);
}

class DllRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(api_.Kelvox_SetCaptureWindow && api_.Kelvox_GetExposureTimeEx);
        KELVOX_SIM_CAMERA c;
        api_.KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "WIN-REGISTRY");
        c.paced = 0;
        ASSERT_GE(api_.KelvoxSim_Attach(&c), 0);
    }
    void TearDown() override { api_.KelvoxSim_DetachAll(); }
    Api api_;
};

}  // namespace

TEST_F(DllRegistry, FirstRunDefaultsAndTheGroupsAfterRelease) {
    int h = api_.Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(Dword(kCamera0, "Size"), 0u);
    EXPECT_EQ(Dword(kCamera0, "Color"), 2u);
    EXPECT_EQ(Dword(kCamera0, "WaitTime"), 1u);
    EXPECT_EQ(Dword(kCamera0 + "\\Size_00", "EH"), 1920u);
    EXPECT_EQ(Dword(kCamera0 + "\\Size_00", "Buf"), 4u);
    HKEY none;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, (kCamera0 + "\\Filter").c_str(), 0, KEY_READ, &none), ERROR_SUCCESS);

    ASSERT_EQ(api_.Kelvox_SetBrightness(h, -99), 1);
    ASSERT_EQ(api_.Kelvox_SetExposureTimeEx(h, 0.1 / 3.0), 1);
    int ok = 0;
    const double seconds = api_.Kelvox_GetExposureTimeEx(h, &ok);
    EXPECT_EQ(api_.Kelvox_Release(h), 1);

    EXPECT_EQ(static_cast<int>(Dword(kCamera0 + "\\Filter", "Brightness")), -99);
    EXPECT_EQ(Dword(kCamera0 + "\\Filter", "Gamma"), 100u);
    EXPECT_EQ(Dword(kCamera0 + "\\Gray", "GainB1"), 128u);
    unsigned char stored[16] = {};
    EXPECT_EQ(Raw(kCamera0 + "\\Gain", "ExposureEx", stored, sizeof stored), static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(std::memcmp(stored, &seconds, 8), 0);
    DWORD size = 0;
    RegGetValueA(HKEY_CURRENT_USER, (kCamera0 + "\\Gain").c_str(), "ExposureEx", RRF_RT_ANY, nullptr, nullptr, &size);
    EXPECT_EQ(size, 8u);

    // A stored 16-bit mono format reads back as 24-bit colour on this sensor; values of the wrong
    // type or size are taken no further than they go.
    const DWORD mono16 = 1;
    Put(kCamera0, "Color", REG_DWORD, &mono16, 4);
    Put(kCamera0 + "\\Filter", "Brightness", REG_SZ, "12345678901234", 15);
    const unsigned char two[2] = {7, 0};
    Put(kCamera0 + "\\Filter", "Contrast", REG_BINARY, two, 2);
    h = api_.Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(api_.Kelvox_GetColorMode(h), 24);
    EXPECT_EQ(api_.Kelvox_GetBrightness(h, &ok), 0);  // left at the value it had
    EXPECT_EQ(api_.Kelvox_GetFilterValue(h, KELVOX_FILTER_CONTRAST, &ok), 7);
    const double again = api_.Kelvox_GetExposureTimeEx(h, &ok);
    EXPECT_EQ(std::memcmp(&again, &seconds, 8), 0);

    // Presets live under the camera's key.
    const DWORD preset[7] = {1920, 1200, 320, 200, 8, 16, 2};
    const char* names[7] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
    for (int i = 0; i < 7; ++i) Put(kCamera0 + "\\Size_01", names[i], REG_DWORD, &preset[i], 4);
    EXPECT_EQ(api_.Kelvox_SetCaptureWindow(h, 320, 200), 1);
    EXPECT_EQ(api_.Kelvox_SetCaptureWindow(h, 321, 200), 0);
    EXPECT_EQ(api_.Kelvox_GetLastError(h), KELVOX_ERR_WINDOW);
    EXPECT_EQ(api_.Kelvox_Release(h), 1);
}
