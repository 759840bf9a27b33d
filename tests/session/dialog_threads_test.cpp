// The analog and image dialogs' models changing the camera and the session while live preview
// processes every frame with automatic gain on, and the automatic control showing each new gain
// to the open analog dialog and the white balance's gains to the image dialog (ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/handle_table.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "resources/resource_ids.h"
#include "session/analog_dialog.h"
#include "session/image_dialog.h"
#include "session/session.h"

TEST(DialogThreads, DialogChangesAndAutomaticGainWhileFramesFlow) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "DIALOG-THREADS");
    c.paced = 0;
    ASSERT_GE(KelvoxSim_Attach(&c), 0);
    const int h = Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    kelvox::Session& session = *kelvox::SessionOf(h);
    ASSERT_EQ(Kelvox_SetColorMode(h, 24), 1);
    ASSERT_EQ(Kelvox_SetWaitTime(h, 1), 1);
    ASSERT_EQ(Kelvox_SetAutoIris(h, 2), 1);

    kelvox::AnalogDialog analog(session, kelvox::settings::Language::kEnglish);
    analog.Initialise();
    analog.Changed(IDC_EXPOSURE_EX_UNIT, {0, ""});  // us
    std::mutex shown_lock;
    std::vector<int> shown;  // what the page would have put into its gain edit
    analog.SetPoster([&](int id, int value) {
        std::lock_guard<std::mutex> lock(shown_lock);
        if (id == IDC_GLOBAL_GAIN_EDIT) shown.push_back(value);
    });
    session.SetAnalogDialog(&analog);
    kelvox::ImageDialog image(session, kelvox::settings::Language::kEnglish);
    kelvox::settings::PageModel& filters = *image.Pages().at(0).model;
    std::atomic<int> refreshed{0};  // white balance found gains: the filter page is to show them
    filters.SetPoster([&](int id, int) { refreshed += id == kelvox::settings::kShowAll; });
    session.SetImageDialog(&image);
    ASSERT_EQ(Kelvox_StartPreview(h), 1);

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
        analog.Changed(IDC_MIRROR_H, {i % 2, ""});
        if (i % 10 == 0) analog.Changed(IDC_EXPOSURE_EX_EDIT, {0, i % 20 ? "30000" : "30"});  // us: the gain follows
        filters.Changed(IDC_BRIGHTNESS_BAR, {i % 50, ""});
        filters.Changed(IDC_HUE_EDIT, {0, std::to_string(i % 90)});
        filters.Changed(IDC_AUTO_ONCE, {});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Kelvox_StopPreview(h), 1);
    session.SetAnalogDialog(nullptr);
    session.SetImageDialog(nullptr);
    EXPECT_GT(refreshed.load(), 0);
    {
        std::lock_guard<std::mutex> lock(shown_lock);
        EXPECT_GE(shown.size(), 2u);
        if (!shown.empty()) {
            EXPECT_EQ(shown.back(), session.camera_settings().global_gain);
        }
    }
    analog.End(2);
    image.End(2);
    Kelvox_Release(h);
    KelvoxSim_DetachAll();
}
