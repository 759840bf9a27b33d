// The settings dialogs' decisions, driven natively as the window layer drives them: control
// changes in, control changes out, and what reaches the camera, the session and the registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "platform/registry.h"
#include "resources/resource_ids.h"
#include "session/analog_dialog.h"
#include "session/image_dialog.h"
#include "session/session.h"
#include "settings/camera_dialog.h"
#include "settings/exposure_units.h"

namespace {

namespace st = kelvox::settings;
using kelvox::platform::RegistryKey;

const std::string kCamera0 = std::string(st::kRootKey) + "\\Camera_00";

int Stored(const std::string& key, const char* name) {
    RegistryKey k;
    int v = -12345;
    if (!k.Open(key) || !k.QueryDword(name, &v)) ADD_FAILURE() << key << " " << name << " missing";
    return v;
}

// The last change the model asked for on control `id`, or null.
const st::ControlUpdate* Last(const st::Updates& updates, int id, unsigned field) {
    const st::ControlUpdate* found = nullptr;
    for (const st::ControlUpdate& u : updates)
        if (u.id == id && (u.fields & field)) found = &u;
    return found;
}

// A session with the simulated camera open.
class WithCamera : public testing::Test {
protected:
    void SetUp() override {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        camera_ = KelvoxSim_Attach(&c);
        handle_ = Kelvox_Initialize(nullptr);
        ASSERT_TRUE(Kelvox_SetDeviceNumber(handle_, 0));
    }
    void TearDown() override {
        Kelvox_Release(handle_);
        KelvoxSim_DetachAll();
    }
    kelvox::Session& session() { return *kelvox::SessionOf(handle_); }
    unsigned SensorGain() {
        unsigned low = 0, high = 0;
        KelvoxSim_PeekRegister(camera_, 0x48, 0x0404, &low);
        KelvoxSim_PeekRegister(camera_, 0x48, 0x0405, &high);
        return low | (high & 1) << 8;
    }
    int camera_ = -1, handle_ = 0;
};

}  // namespace

TEST(DialogText, ExposureUnitsAndTexts) {
    const struct {
        double seconds;
        int unit;
    } units[] = {{2.0, 3}, {1.0, 2}, {0.001, 2}, {0.000999, 1}, {0.000001, 1}, {0.0000009, 0}, {0, 0}};
    for (const auto& u : units) EXPECT_EQ(st::ExposureUnit(u.seconds), u.unit) << u.seconds;
    const struct {
        double value;
        const char* text;
    } numbers[] = {{5.0, "5"}, {5.25, "5.250"}, {5.0005, "5.000500"}, {5.0000001, "5"}, {23.427, "23.427"}};
    for (const auto& n : numbers) EXPECT_EQ(st::ExposureNumber(n.value), n.text) << n.value;
    EXPECT_DOUBLE_EQ(st::ExposureSeconds("5", 2), 0.005);
    EXPECT_DOUBLE_EQ(st::ExposureSeconds("250", 1), 0.00025);
    EXPECT_EQ(st::ExposureSeconds("5", 7), 0);
    EXPECT_EQ(st::OfferedUnits(0.000023427, 0.039625), (std::vector<int>{1, 2}));
    EXPECT_EQ(st::ExposureRangeText(st::Language::kEnglish, 0.000023427, 0.039625), "range: 23μs - 39ms");
    EXPECT_EQ(st::MillisecondText(125), "=12.50ms");
    EXPECT_EQ(st::ClockNames(st::Language::kEnglish)[0], "Nomal(24MHz)");
    EXPECT_EQ(st::ClockNames(st::Language::kEnglish)[2], "High(36MHz)");
    EXPECT_EQ(st::PixelFormatName(st::Language::kEnglish, 1), "Monochrome 16bit *");
    EXPECT_EQ(st::LanguageOfSystem(1041), st::Language::kJapanese);
    EXPECT_EQ(st::LanguageOfSystem(1033), st::Language::kEnglish);
}

TEST(CameraDialogModel, OkWithoutChangesWritesTheHighClockAndNoSubsampling) {
    {
        RegistryKey k;
        ASSERT_TRUE(k.Create(kCamera0 + "\\Size_00"));
        ASSERT_TRUE(k.SetDword("EH", 1920));
        RegistryKey cam;
        ASSERT_TRUE(cam.Create(kCamera0));
        cam.SetDword("Clock", 0);
        cam.SetDword("SubSample", 3);
        cam.SetDword("Color", 3);
    }
    st::CameraDialog dialog({});
    const st::Updates shown = dialog.Initialise();
    ASSERT_NE(Last(shown, IDC_CLOCK, st::ControlUpdate::kSelection), nullptr);
    EXPECT_EQ(Last(shown, IDC_CLOCK, st::ControlUpdate::kSelection)->selection, 2);
    EXPECT_EQ(Last(shown, IDC_PIXEL_FORMAT, st::ControlUpdate::kSelection)->selection, 2);  // "Color 32bit"
    EXPECT_FALSE(Last(shown, IDC_APPLY, st::ControlUpdate::kEnabled)->enabled);
    EXPECT_EQ(dialog.Button(1).end_with, 1);
    EXPECT_EQ(Stored(kCamera0, "Clock"), 2);
    EXPECT_EQ(Stored(kCamera0, "SubSample"), 0);
    EXPECT_EQ(Stored(kCamera0, "Color"), 3);
}

TEST(CameraDialogModel, CustomSizeBecomesANewPresetBeforeCustom) {
    st::CameraDialog dialog({});
    dialog.Initialise();  // no stored presets: just "Custom"
    const struct {
        const char* w;
        const char* h;
    } sizes[] = {{"640", "480"}, {"800", "600"}};
    for (size_t n = 0; n < 2; ++n) {
        const st::Updates picked = dialog.Changed(IDC_SIZE, {static_cast<int>(n), ""});  // "Custom" is last
        EXPECT_TRUE(Last(picked, IDC_APPLY, st::ControlUpdate::kEnabled)->enabled);
        for (const auto& [id, text] : {std::pair{IDC_TOTAL_WIDTH, "1920"}, {IDC_TOTAL_HEIGHT, "1200"},
                                       {IDC_EFFECTIVE_WIDTH, sizes[n].w}, {IDC_EFFECTIVE_HEIGHT, sizes[n].h},
                                       {IDC_START_X, "8"}, {IDC_START_Y, "4"}})
            dialog.Changed(id, {0, text});
        const st::DialogModel::Answer applied = dialog.Button(IDC_APPLY);
        EXPECT_EQ(applied.end_with, 0);
        const st::ControlUpdate* list = Last(applied.updates.at(0).second, IDC_SIZE, st::ControlUpdate::kItems);
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->items.size(), n + 2);
        EXPECT_EQ(list->items[n], std::string(sizes[n].w) + " x " + sizes[n].h);
        EXPECT_EQ(list->items.back(), "Custom");
        EXPECT_EQ(list->selection, static_cast<int>(n));
    }
    EXPECT_EQ(Stored(kCamera0 + "\\Size_01", "EH"), 800);
    EXPECT_EQ(Stored(kCamera0 + "\\Size_01", "EVS"), 4);
    EXPECT_EQ(Stored(kCamera0 + "\\Size_01", "Buf"), 4);
    EXPECT_EQ(Stored(kCamera0, "Size"), 1);
}

TEST(CameraDialogModel, FormatsAndEditsFollowTheCamera) {
    const struct {
        st::FormatCapabilities caps;
        bool window_h, window_v;
        size_t entries;
        int format_after_ok;
    } cases[] = {{{true, false, true}, true, true, 5, 2}, {{true, false, false}, false, true, 1, 0},
                 {{false, true, false}, false, false, 1, 1}};
    for (const auto& c : cases) {
        st::CameraDialogSetup setup;
        setup.caps = c.caps;
        setup.window_h = c.window_h;
        setup.window_v = c.window_v;
        st::CameraDialog dialog(setup);
        const st::Updates shown = dialog.Initialise();
        EXPECT_EQ(Last(shown, IDC_PIXEL_FORMAT, st::ControlUpdate::kItems)->items.size(), c.entries);
        const st::ControlUpdate* width = Last(shown, IDC_EFFECTIVE_WIDTH, st::ControlUpdate::kEnabled);
        EXPECT_EQ(width == nullptr, c.window_h);
        EXPECT_EQ(Last(shown, IDC_SIZE, st::ControlUpdate::kEnabled) == nullptr, c.window_h || c.window_v);
        dialog.Button(1);
        EXPECT_EQ(Stored(kCamera0, "Color"), c.format_after_ok);
    }
}

TEST_F(WithCamera, AnalogDialogChangesTheCameraLiveAndCancelPutsItBack) {
    const unsigned gain_before = SensorGain();
    const int exposure_before = session().camera_settings().exposure;
    kelvox::AnalogDialog dialog(session(), st::Language::kEnglish);
    ASSERT_EQ(dialog.Pages().size(), 1u);
    EXPECT_EQ(dialog.Pages()[0].template_id, IDD_ANALOG_COLOUR_PAGE_EN);
    const st::Updates shown = dialog.Initialise();
    // This camera gives its exposure in seconds: the 100 us row is hidden, the seconds row shown.
    EXPECT_FALSE(Last(shown, IDC_EXPOSURE_EDIT, st::ControlUpdate::kVisible)->visible);
    EXPECT_EQ(Last(shown, IDC_GAIN_R_EDIT, st::ControlUpdate::kEnabled)->enabled, false);
    EXPECT_EQ(Last(shown, IDC_EXPOSURE_EX_RANGE, st::ControlUpdate::kText)->text, "range: 23μs - 39ms");

    const st::Updates moved = dialog.Changed(IDC_GLOBAL_GAIN_BAR, {240, ""});
    EXPECT_EQ(Last(moved, IDC_GLOBAL_GAIN_EDIT, st::ControlUpdate::kText)->text, "240");
    EXPECT_EQ(SensorGain(), 240u);
    EXPECT_EQ(session().camera_settings().global_gain, 240);
    dialog.Changed(IDC_EXPOSURE_EX_UNIT, {1, ""});  // ms
    const st::Updates typed = dialog.Changed(IDC_EXPOSURE_EX_EDIT, {0, "5"});
    EXPECT_NEAR(session().camera_settings().exposure_seconds, 0.005, 1e-12);
    EXPECT_NE(session().camera_settings().exposure, exposure_before);
    EXPECT_NE(Last(typed, IDC_EXPOSURE_EDIT, st::ControlUpdate::kText), nullptr);
    // Auto iris: one box at a time.
    dialog.Changed(IDC_AUTO_IRIS_GAIN, {1, ""});
    const st::Updates other = dialog.Changed(IDC_AUTO_IRIS_EXPOSURE, {1, ""});
    EXPECT_FALSE(Last(other, IDC_AUTO_IRIS_GAIN, st::ControlUpdate::kChecked)->checked);
    EXPECT_EQ(session().camera_settings().auto_iris, 1);

    dialog.End(2);
    EXPECT_EQ(SensorGain(), gain_before);
    EXPECT_EQ(session().camera_settings().global_gain, static_cast<int>(gain_before));
    EXPECT_EQ(session().camera_settings().exposure, exposure_before);
    EXPECT_EQ(session().camera_settings().auto_iris, 0);
}

TEST_F(WithCamera, AnalogDialogOkKeepsAndDefaultResets) {
    kelvox::AnalogDialog dialog(session(), st::Language::kEnglish);
    dialog.Initialise();
    dialog.Changed(IDC_GLOBAL_GAIN_EDIT, {0, "100"});
    const st::DialogModel::Answer reset = dialog.Button(IDC_DEFAULT);
    EXPECT_EQ(reset.end_with, 0);
    EXPECT_EQ(SensorGain(), 0u);
    EXPECT_EQ(Last(reset.updates.at(0).second, IDC_GLOBAL_GAIN_EDIT, st::ControlUpdate::kText)->text, "0");
    dialog.Changed(IDC_GLOBAL_GAIN_EDIT, {0, "120"});
    EXPECT_EQ(dialog.Button(1).end_with, 1);
    dialog.End(1);
    EXPECT_EQ(SensorGain(), 120u);
    EXPECT_EQ(session().camera_settings().global_gain, 120);
}

TEST(ImageDialogModel, EnableRulesByOutputFormat) {
    const struct {
        int format;
        bool picture, colour, gray;
    } cases[] = {{0, true, false, true},  {1, true, false, true},  {2, true, true, false},
                 {5, true, true, false},  {6, false, false, false}, {-1, false, false, false}};
    for (const auto& c : cases) {
        const kelvox::ImageDialogRules r = kelvox::ImageDialogRules::ForFormat(c.format);
        EXPECT_EQ(r.picture, c.picture) << c.format;
        EXPECT_EQ(r.colour, c.colour) << c.format;
        EXPECT_EQ(r.gray_page, c.gray) << c.format;
    }
}

TEST_F(WithCamera, ImageDialogInMonoDefaultKeepsTheGrayModeAndCancelRestores) {
    ASSERT_TRUE(Kelvox_SetColorMode(handle_, 8));
    ASSERT_TRUE(Kelvox_SetFilterValue(handle_, KELVOX_FILTER_GRAY_MODE, 1));
    ASSERT_TRUE(Kelvox_SetFilterValue(handle_, KELVOX_FILTER_GRAY_GAIN_R, 50));
    const kelvox::FilterSettings before = session().filters();
    kelvox::ImageDialog dialog(session(), st::Language::kEnglish);
    const auto pages = dialog.Pages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[1].tab, "Gray Filter");
    const st::Updates filter = pages[0].model->Initialise();
    EXPECT_FALSE(Last(filter, IDC_HUE_EDIT, st::ControlUpdate::kEnabled)->enabled);
    EXPECT_FALSE(Last(filter, IDC_RED_GAIN_BAR, st::ControlUpdate::kEnabled)->enabled);
    EXPECT_TRUE(Last(filter, IDC_GAMMA_EDIT, st::ControlUpdate::kEnabled)->enabled);
    pages[0].model->Changed(IDC_BRIGHTNESS_BAR, {-40, ""});
    EXPECT_EQ(session().filters().brightness, -40);
    pages[1].model->Changed(IDC_GRAY_OFFSET_FIRST + 1, {0, "-7"});  // offset R edit
    EXPECT_EQ(session().filters().gray_offset[0], -7);
    pages[1].model->Changed(IDC_AUTO_ALL_FRAMES, {1, ""});
    EXPECT_EQ(session().filters().gray_calibration, -1);

    const st::DialogModel::Answer reset = dialog.Button(IDC_DEFAULT);
    const kelvox::FilterSettings& f = session().filters();
    EXPECT_EQ(f.gray_mode, 1);
    EXPECT_EQ(f.gray_gain, (std::array<int, 4>{128, 128, 128, 128}));
    EXPECT_EQ(f.gray_offset, (std::array<int, 4>{128, 128, 128, 128}));
    EXPECT_EQ(f.brightness, 0);
    EXPECT_EQ(f.gamma, 100);
    EXPECT_EQ(reset.updates.size(), 2u);

    dialog.End(2);
    EXPECT_EQ(std::memcmp(&session().filters(), &before, sizeof before), 0);
}

TEST_F(WithCamera, ImageDialogWhiteBalanceButtons) {
    kelvox::ImageDialog dialog(session(), st::Language::kEnglish);
    const auto pages = dialog.Pages();
    ASSERT_EQ(pages.size(), 1u);  // 24-bit colour: no gray page
    const st::Updates once = pages[0].model->Changed(IDC_AUTO_ONCE, {});
    EXPECT_FALSE(Last(once, IDC_AUTO_ALL_FRAMES, st::ControlUpdate::kChecked)->checked);
    const kelvox::FilterSettings& f = session().filters();
    EXPECT_EQ(f.bayer_auto + f.bayer_auto_once + f.bayer_auto_once_companion, 3);
    pages[0].model->Changed(IDC_AUTO_ALL_FRAMES, {1, ""});
    EXPECT_EQ(f.bayer_auto, 1);
    EXPECT_EQ(f.bayer_auto_once + f.bayer_auto_once_companion, 0);
    pages[0].model->Changed(IDC_BAYER_MODE_0 + 3, {1, ""});
    EXPECT_EQ(f.bayer_mode, 3);
    dialog.End(1);
    EXPECT_EQ(f.bayer_mode, 3);
}

#ifndef _WIN32
TEST(SettingsDialogs, NeedAnOpenCameraAndAWindowSystem) {
    using Export = int (*)(int, KELVOX_HWND);
    const Export exports[] = {Kelvox_SetCameraDlg, Kelvox_SetAnalogDlg, Kelvox_SetImageDlg};
    const int handle = Kelvox_Initialize(nullptr);
    for (const Export e : exports) {
        EXPECT_EQ(e(handle, nullptr), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle), KELVOX_ERR_NOT_READY);
    }
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    KelvoxSim_Attach(&c);
    const int with_camera = Kelvox_Initialize(nullptr);  // opens the one camera attached
    for (const Export e : exports) {
        EXPECT_EQ(e(with_camera, nullptr), 0);
        EXPECT_EQ(Kelvox_GetLastError(with_camera), KELVOX_ERR_WINDOW);
    }
    Kelvox_Release(with_camera);
    Kelvox_Release(handle);
    KelvoxSim_DetachAll();
}
#endif
