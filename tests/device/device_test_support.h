#pragma once
// A camera device object opened on a simulated camera, as the session leaves it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "device/camera_device.h"
#include "kelvox/kelvox_sim.h"

namespace kelvox_device_test {

inline KELVOX_SIM_CAMERA Camera(const char* serial, int paced = 0) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strncpy(c.serial, serial, sizeof c.serial - 1);
    c.paced = paced;
    c.stamp = 1;
    return c;
}

inline KELVOX_SIM_STATS Stats(int id) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(id, &s);
    return s;
}

// Polls until the condition holds or the time is up (a hang detector, not a timing check).
template <class Pred>
bool Eventually(Pred pred, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return pred();
}

class OpenDevice : public ::testing::Test {
protected:
    void Attach(KELVOX_SIM_CAMERA config) {
        id_ = KelvoxSim_Attach(&config);
        ASSERT_GE(id_, 0);
        ASSERT_TRUE(device_.CreateController(nullptr));
        device_.SetProductId(0x3100);
        ASSERT_EQ(device_.CountDevices(0x3100), 1);
        ASSERT_EQ(device_.Open(0), 1);
    }
    void SetUp() override { Attach(Camera("DEVICE")); }
    void TearDown() override {
        device_.Close();
        if (id_ >= 0) KelvoxSim_Detach(id_);
    }
    int id_ = -1;
    kelvox::device::CameraDevice device_;
};

}  // namespace kelvox_device_test
