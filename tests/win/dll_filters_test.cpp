// Filter values through the DLL, reached by the names a host resolves.
#include <cstring>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"

namespace {

struct Api {
    KELVOX_EXPORT(KelvoxSim_DefaultCamera);
    KELVOX_EXPORT(KelvoxSim_Attach);
    KELVOX_EXPORT(KelvoxSim_DetachAll);
    KELVOX_EXPORT(Kelvox_Initialize);
    KELVOX_EXPORT(Kelvox_Release);
    KELVOX_EXPORT(Kelvox_GetLastError);
    KELVOX_EXPORT(Kelvox_GetFilterValue);
    KELVOX_EXPORT(Kelvox_SetBrightness);
    KELVOX_EXPORT(Kelvox_GetBrightness);
    KELVOX_EXPORT(Kelvox_SetBayerGainRGB);
    KELVOX_EXPORT(Kelvox_GetBayerGainRGB);
    KELVOX_EXPORT(Kelvox_GetBayerGainRed);
    KELVOX_EXPORT(Kelvox_GetBayerGainBlue);
    KELVOX_EXPORT(Kelvox_GetTemperature);
    KELVOX_EXPORT(Kelvox_SetChannelGain);
};

}  // namespace

TEST(DllFilters, NamedWrappersReachTheirValues) {
    Api api;
    ASSERT_TRUE(api.Kelvox_SetBrightness && api.Kelvox_GetBrightness && api.Kelvox_SetBayerGainRGB &&
                api.Kelvox_GetBayerGainRGB && api.Kelvox_GetBayerGainRed && api.Kelvox_GetBayerGainBlue &&
                api.Kelvox_GetTemperature && api.Kelvox_SetChannelGain);
    KELVOX_SIM_CAMERA c;
    api.KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "WIN-FILTERS");
    ASSERT_GE(api.KelvoxSim_Attach(&c), 0);
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const int h = api.Kelvox_Initialize(window);
    ASSERT_NE(h, 0);

    EXPECT_EQ(api.Kelvox_SetBrightness(h, 255), 1);
    EXPECT_EQ(api.Kelvox_SetBrightness(h, 256), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, window, KELVOX_WM_ERROR, KELVOX_WM_ERROR, PM_REMOVE));
    EXPECT_EQ(m.lParam, KELVOX_ERR_PARAM);
    EXPECT_EQ(api.Kelvox_GetLastError(h), KELVOX_ERR_PARAM);
    int ok = 0;
    EXPECT_EQ(api.Kelvox_GetBrightness(h, &ok), 255);
    EXPECT_EQ(ok, 1);

    ASSERT_EQ(api.Kelvox_SetBayerGainRGB(h, 0x00C86432), 1);
    EXPECT_EQ(api.Kelvox_GetBayerGainRed(h, nullptr), 50);
    EXPECT_EQ(api.Kelvox_GetBayerGainBlue(h, nullptr), 200);
    EXPECT_EQ(api.Kelvox_GetBayerGainRGB(h, nullptr), 0x00C86432);
    EXPECT_EQ(api.Kelvox_GetFilterValue(h, KELVOX_FILTER_BAYER_GAIN_RGB, nullptr), 0x00C86432);

    ok = 7;
    EXPECT_EQ(api.Kelvox_GetTemperature(h, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(api.Kelvox_GetLastError(h), KELVOX_ERR_UNSUPPORTED);
    EXPECT_EQ(api.Kelvox_SetChannelGain(h, 5, 1), 0);
    EXPECT_EQ(api.Kelvox_GetLastError(h), 0);

    EXPECT_EQ(api.Kelvox_Release(h), 1);
    DestroyWindow(window);
    api.KelvoxSim_DetachAll();
}
