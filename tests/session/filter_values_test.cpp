// Filter values through the exports, on a simulated camera: ranges, packing, the camera-backed
// values and the identifiers this camera turns away.
#include <gtest/gtest.h>

#include <cstring>

#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "session/session.h"

namespace {

using Settings = kelvox::FilterSettings;

class FilterValues : public ::testing::Test {
protected:
    void SetUp() override {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "FILTERS-1");
        camera_ = KelvoxSim_Attach(&c);
        ASSERT_GE(camera_, 0);
        handle_ = Kelvox_Initialize(nullptr);  // the one camera opens by itself
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Kelvox_GetLastError(handle_), 0);
        info_.size = sizeof info_;
        ASSERT_EQ(Kelvox_GetCameraInfo(handle_, &info_), 1);
    }
    void TearDown() override {
        EXPECT_EQ(Kelvox_Release(handle_), 1);
        KelvoxSim_DetachAll();
    }
    kelvox::Session& Session() const { return *kelvox::SessionOf(handle_); }
    const kelvox::CameraSettings& Cache() const { return Session().camera_settings(); }
    unsigned SensorRegister(unsigned reg) const {
        unsigned value = 0xFFFF;
        EXPECT_EQ(KelvoxSim_PeekRegister(camera_, 0x48, reg, &value), 1);
        return value;
    }

    int camera_ = -1;
    int handle_ = 0;
    KELVOX_CAMERA_INFO info_{};
};

// A setting the session holds, its named exports, the field processing reads (none for the two
// session flags, which are private), and its range.
struct Held {
    int id;
    int (*set)(int, int);
    int (*get)(int, int*);
    int (*field)(const Settings&);
    int low, high;
};

#define HELD(id, name, expr, low, high) \
    Held { id, Kelvox_Set##name, Kelvox_Get##name, [](const Settings& f) { return expr; }, low, high }

const Held kHeld[] = {
    HELD(1, Brightness, f.brightness, -255, 255),
    HELD(2, Contrast, f.contrast, -127, 127),
    HELD(3, Hue, f.hue, -360, 360),
    HELD(4, Saturation, f.saturation, -255, 255),
    HELD(5, Sharpness, f.sharpness, 0, 30),
    HELD(7, BayerGainRed, f.bayer_red, 0, 400),
    HELD(8, BayerGainGreen, f.bayer_green, 0, 400),
    HELD(9, BayerGainBlue, f.bayer_blue, 0, 400),
    HELD(11, Gamma, f.gamma, 0, 200),
    HELD(12, BayerMode, f.bayer_mode, 0, 3),
    HELD(19, GrayMode, f.gray_mode, 0, 2),
    HELD(20, GrayGainR, f.gray_gain[0], 0, 255),
    HELD(21, GrayGainG1, f.gray_gain[1], 0, 255),
    HELD(22, GrayGainG2, f.gray_gain[2], 0, 255),
    HELD(23, GrayGainB, f.gray_gain[3], 0, 255),
    HELD(24, GrayOffsetR, f.gray_offset[0], -255, 255),
    HELD(25, GrayOffsetG1, f.gray_offset[1], -255, 255),
    HELD(26, GrayOffsetG2, f.gray_offset[2], -255, 255),
    HELD(27, GrayOffsetB, f.gray_offset[3], -255, 255),
    Held{102, Kelvox_SetDotFilter, Kelvox_GetDotFilter, nullptr, 0, 1},
    Held{103, Kelvox_SetMaskFilter, Kelvox_GetMaskFilter, nullptr, 0, 1},
};

}  // namespace

// Both edges are accepted; one past either edge is code 9 and leaves the value as it was. Each
// named export must reach its own identifier, and each identifier its own field.
TEST_F(FilterValues, HeldSettingsKeepTheirRanges) {
    for (const Held& h : kHeld) {
        SCOPED_TRACE(h.id);
        ASSERT_EQ(h.set(handle_, h.low), 1);
        int ok = -1;
        EXPECT_EQ(Kelvox_GetFilterValue(handle_, h.id, &ok), h.low);
        EXPECT_EQ(ok, 1);
        ASSERT_EQ(Kelvox_SetFilterValue(handle_, h.id, h.high), 1);
        ok = -1;
        EXPECT_EQ(h.get(handle_, &ok), h.high);
        EXPECT_EQ(ok, 1);
        if (h.field) {
            EXPECT_EQ(h.field(Session().filters()), h.high);
        }

        EXPECT_EQ(h.set(handle_, h.high + 1), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
        EXPECT_EQ(h.set(handle_, h.low - 1), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
        EXPECT_EQ(h.get(handle_, nullptr), h.high);
        EXPECT_EQ(Kelvox_GetLastError(handle_), 0);  // nothing recorded by the successful calls
    }
}

TEST_F(FilterValues, BayerGainsPackIntoOneValue) {
    ASSERT_EQ(Kelvox_SetBayerGainRGB(handle_, 0x00C86432), 1);
    EXPECT_EQ(Kelvox_GetBayerGainRed(handle_, nullptr), 50);
    EXPECT_EQ(Kelvox_GetBayerGainGreen(handle_, nullptr), 100);
    EXPECT_EQ(Kelvox_GetBayerGainBlue(handle_, nullptr), 200);
    int ok = 0;
    EXPECT_EQ(Kelvox_GetBayerGainRGB(handle_, &ok), 0x00C86432);
    EXPECT_EQ(ok, 1);

    // Any value is taken and its top byte dropped; a gain above 255 packs as its low byte.
    ASSERT_EQ(Kelvox_SetBayerGainRGB(handle_, static_cast<int>(0xFF0A0B0Cu)), 1);
    EXPECT_EQ(Kelvox_GetBayerGainBlue(handle_, nullptr), 0x0A);
    ASSERT_EQ(Kelvox_SetBayerGainRed(handle_, 300), 1);
    EXPECT_EQ(Kelvox_GetBayerGainRGB(handle_, nullptr), 0x000A0B00 | (300 & 0xFF));
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(FilterValues, AutomaticBayerGainAndGrayCalibrationAreSwitches) {
    for (int value : {7, -3, 0}) {
        ASSERT_EQ(Kelvox_SetBayerGainAuto(handle_, value), 1);
        EXPECT_EQ(Kelvox_GetBayerGainAuto(handle_, nullptr), value != 0 ? 1 : 0);
    }
    // The calibration request can be made but not read back.
    EXPECT_EQ(Kelvox_SetFilterValue(handle_, KELVOX_FILTER_GRAY_CALIBRATE, 2), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    ASSERT_EQ(Kelvox_SetFilterValue(handle_, KELVOX_FILTER_GRAY_CALIBRATE, 1), 1);
    EXPECT_EQ(Session().filters().gray_calibration, 1);
    int ok = -1;
    EXPECT_EQ(Kelvox_GetFilterValue(handle_, KELVOX_FILTER_GRAY_CALIBRATE, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
}

// The global gain goes to the sensor and becomes the cached colour gains too, which a later
// colour gain overrides one at a time.
TEST_F(FilterValues, GlobalGainCarriesTheColourGains) {
    const int before = Kelvox_GetGlobalGain(handle_, nullptr);
    const int cached = Cache().global_gain;
    for (int outside : {info_.gain_max + 1, info_.gain_min - 1}) {
        EXPECT_EQ(Kelvox_SetGlobalGain(handle_, outside), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    }
    EXPECT_EQ(Kelvox_GetGlobalGain(handle_, nullptr), before);
    EXPECT_EQ(Cache().global_gain, cached);

    const int gain = info_.gain_max;
    const int low = info_.color_gain_min;
    ASSERT_NE(gain, low);  // so the cache shows which colour gain a setter reached
    ASSERT_EQ(Kelvox_SetGlobalGain(handle_, gain), 1);
    EXPECT_EQ(Kelvox_GetGlobalGain(handle_, nullptr), gain);
    EXPECT_EQ(SensorRegister(0x0404) | SensorRegister(0x0405) << 8, static_cast<unsigned>(gain));
    EXPECT_EQ(Cache().global_gain, gain);

    using kelvox::CameraSettings;
    const struct {
        int (*set)(int, int);
        int CameraSettings::*cached;
    } colours[] = {{Kelvox_SetColorGainRed, &CameraSettings::gain_red},
                   {Kelvox_SetColorGainGreen1, &CameraSettings::gain_green1},
                   {Kelvox_SetColorGainGreen2, &CameraSettings::gain_green2},
                   {Kelvox_SetColorGainBlue, &CameraSettings::gain_blue}};
    for (const auto& c : colours) EXPECT_EQ(Cache().*c.cached, gain);
    EXPECT_EQ(Kelvox_SetColorGainRed(handle_, info_.color_gain_max + 1), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(colours[i].set(handle_, low), 1);
        for (size_t j = 0; j < 4; ++j) EXPECT_EQ(Cache().*colours[j].cached, j <= i ? low : gain) << i << j;
    }
    EXPECT_EQ(Cache().global_gain, gain);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(FilterValues, ExposureFollowsTheCameraRange) {
    ASSERT_LT(info_.exposure_min, info_.exposure_max);
    ASSERT_EQ(Kelvox_SetExposureTime(handle_, info_.exposure_max), 1);
    int ok = 0;
    EXPECT_EQ(Kelvox_GetExposureTime(handle_, &ok), info_.exposure_max);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Cache().exposure, info_.exposure_max);
    // The seconds that prepare steps apply follow the new exposure.
    EXPECT_DOUBLE_EQ(Cache().exposure_seconds, info_.exposure_max / 10000.0);

    for (int outside : {info_.exposure_max + 1, info_.exposure_min - 1}) {
        EXPECT_EQ(Kelvox_SetExposureTime(handle_, outside), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    }
    EXPECT_EQ(Kelvox_GetExposureTime(handle_, nullptr), info_.exposure_max);
    EXPECT_EQ(Cache().exposure, info_.exposure_max);

    ASSERT_EQ(Kelvox_SetExposureTime(handle_, info_.exposure_min), 1);
    EXPECT_EQ(Kelvox_GetExposureTime(handle_, nullptr), info_.exposure_min);
    EXPECT_DOUBLE_EQ(Kelvox_GetExposureTimeEx(handle_, nullptr), info_.exposure_min / 10000.0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

// Unknown identifiers, the read-only temperature, and the channel identifiers 29-36: code 9 with
// the out-pointer cleared. A channel outside 1-4 goes nowhere and records nothing.
TEST_F(FilterValues, UnknownIdentifiersAndChannelsAreRefused) {
    for (int id : {0, -1, 29, 36, 37, 99, 107}) {
        SCOPED_TRACE(id);
        int ok = 7;
        EXPECT_EQ(Kelvox_GetFilterValue(handle_, id, &ok), 0);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
        EXPECT_EQ(Kelvox_SetFilterValue(handle_, id, 0), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    }
    EXPECT_EQ(Kelvox_SetFilterValue(handle_, KELVOX_FILTER_TEMPERATURE, 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);

    for (int channel : {1, 4}) {
        int ok = 7;
        EXPECT_EQ(Kelvox_SetChannelGain(handle_, channel, 1), 0);
        EXPECT_EQ(Kelvox_GetChannelOffset(handle_, channel, &ok), 0);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_PARAM);
    }
    for (int channel : {0, 5}) {
        EXPECT_EQ(Kelvox_SetChannelGain(handle_, channel, 1), 0);
        EXPECT_EQ(Kelvox_SetChannelOffset(handle_, channel, 1), 0);
        EXPECT_EQ(Kelvox_GetChannelGain(handle_, channel, nullptr), 0);
    }
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

// This sensor has no Peltier element, temperature, control D or black level, and its gain-mode
// hooks answer 0 and 0xFFFFFFFF.
TEST_F(FilterValues, OptionalControlsThisCameraLacks) {
    auto* device = Session().device();
    ASSERT_EQ(device->optional().IsPeltierSupported(), 0);
    ASSERT_EQ(device->optional().IsShortExposureModeSupported(), 0);
    ASSERT_EQ(device->optional().IsBlackLevelSupported(), 0);

    int ok = 7;
    EXPECT_EQ(Kelvox_GetTemperature(handle_, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_UNSUPPORTED);
    EXPECT_EQ(Kelvox_SetPeltier(handle_, 1), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_UNSUPPORTED);
    EXPECT_EQ(Kelvox_GetPeltier(handle_, &ok), -1);
    EXPECT_EQ(ok, 1);  // the read was dispatched; only the temperature clears it
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_UNSUPPORTED);

    for (int id : {KELVOX_FILTER_CONTROL_D, KELVOX_FILTER_BLACK_LEVEL}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(Kelvox_SetFilterValue(handle_, id, 1), 0);
        EXPECT_EQ(Kelvox_GetFilterValue(handle_, id, nullptr), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_UNSUPPORTED);
        EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_UNSUPPORTED);
        EXPECT_EQ(Kelvox_GetLastError(handle_), 0);  // no success record behind the refusals
    }
    EXPECT_EQ(Cache().black_level, 0);

    EXPECT_EQ(Kelvox_GetFilterValue(handle_, KELVOX_FILTER_GAIN_MODE, nullptr), -1);
    EXPECT_EQ(Kelvox_SetFilterValue(handle_, KELVOX_FILTER_GAIN_MODE, 1), 0);
    EXPECT_EQ(Cache().gain_mode, 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

// A session whose initialise step never made the device object: every identifier, known or not,
// is code 1 with the out-pointer cleared.
TEST(FilterValuesWithoutDevice, EveryIdentifierNeedsTheDevice) {
    kelvox::Session session;
    for (int id : {1, 13, 99, 101, 106}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(session.SetFilterValue(id, 0), 0);
        int ok = 7;
        EXPECT_EQ(session.GetFilterValue(id, &ok), 0);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(session.GetFilterValue(id, nullptr), 0);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(session.PopLastError(), KELVOX_ERR_NOT_READY);
        EXPECT_EQ(session.PopLastError(), 0);
    }
}
