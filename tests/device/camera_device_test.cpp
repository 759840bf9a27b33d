// Opening, identifying and closing cameras through the device object.
#include "device_test_support.h"

using kelvox::device::CameraDevice;
using namespace kelvox_device_test;

TEST(CameraDevice, OpenBeforeProductIdTouchesNothing) {
    const KELVOX_SIM_CAMERA early = Camera("EARLY");
    const int id = KelvoxSim_Attach(&early);
    ASSERT_GE(id, 0);
    {
        CameraDevice device;
        EXPECT_EQ(device.Open(0), 0);  // no controller yet
        ASSERT_TRUE(device.CreateController(nullptr));
        EXPECT_EQ(device.Open(0), 0);  // no product id yet
        EXPECT_EQ(Stats(id).control_requests, 0u);
    }
    KelvoxSim_Detach(id);
}

TEST(CameraDevice, CountsSelectsAndReopensByInstance) {
    const KELVOX_SIM_CAMERA first = Camera("FIRST"), second = Camera("SECOND");
    const int a = KelvoxSim_Attach(&first);
    const int b = KelvoxSim_Attach(&second);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    {
        CameraDevice device;
        ASSERT_TRUE(device.CreateController(nullptr));
        device.SetProductId(0x3100);
        EXPECT_EQ(device.CountDevices(0x3100), 2);
        ASSERT_EQ(device.Open(1), 1);
        EXPECT_EQ(device.open_device_number(), 1);
        EXPECT_EQ(device.controller()->selected_index(), 1);
        EXPECT_EQ(device.Open(2), 0);
        EXPECT_TRUE(device.Open(0));
        EXPECT_FALSE(device.Open(5));
        kelvox::usb::DeviceTableEntry entry{};
        ASSERT_TRUE(device.GetTableEntry(1, &entry));
        EXPECT_EQ(entry.instance, 1);
        EXPECT_EQ(entry.product_id, 0x3100);
        EXPECT_EQ(entry.vendor_id, 0x04B4);
        EXPECT_FALSE(device.GetTableEntry(32, &entry));

        // An entry that cannot be opened still counts for 0, not for the product id.
        ASSERT_EQ(KelvoxSim_InjectFault(b, KELVOX_SIM_FAULT_OPEN, -1), 1);
        EXPECT_EQ(device.CountDevices(0), 2);
        EXPECT_EQ(device.CountDevices(0x3100), 1);
        EXPECT_EQ(device.IsDeviceAvailable(1), 0);
        EXPECT_EQ(device.IsDeviceAvailable(0), 1);
    }
    KelvoxSim_Detach(a);
    KelvoxSim_Detach(b);
}

// A controller stuck busy: the first sensor write spends its second of retries and the rest of
// the start-up tries once each, so the open ends in about a second, not a second per register.
TEST(CameraDevice, OpenOnAControllerStuckBusyEndsSoon) {
    const KELVOX_SIM_CAMERA c = Camera("STUCK");
    const int id = KelvoxSim_Attach(&c);
    ASSERT_GE(id, 0);
    {
        CameraDevice device;
        ASSERT_TRUE(device.CreateController(nullptr));
        device.SetProductId(0x3100);
        ASSERT_EQ(KelvoxSim_InjectFault(id, KELVOX_SIM_FAULT_FPGA_BUSY, -1), 1);
        const auto started = std::chrono::steady_clock::now();
        device.Open(0);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
        EXPECT_FALSE(device.controls().SetGlobalGain(10));

        // Once it answers, a write waits out a short busy spell again.
        ASSERT_EQ(KelvoxSim_InjectFault(id, KELVOX_SIM_FAULT_FPGA_BUSY, 0), 1);
        EXPECT_TRUE(device.controls().SetGlobalGain(10));
        ASSERT_EQ(KelvoxSim_InjectFault(id, KELVOX_SIM_FAULT_FPGA_BUSY, 3), 1);
        EXPECT_TRUE(device.controls().SetGlobalGain(20));
    }
    KelvoxSim_Detach(id);
}

TEST(CameraDevice, ReadyWaitOnlyForNewFirmwareWithTheFlag) {
    auto open_and_count_requests = [](unsigned short firmware, unsigned char flag) {
        KELVOX_SIM_CAMERA c = Camera("READY");
        c.firmware_version = firmware;
        c.ready_flag_mode = flag;
        c.ready_after_polls = 2;
        const int id = KelvoxSim_Attach(&c);
        unsigned requests = 0;
        {
            CameraDevice device;
            device.CreateController(nullptr);
            device.SetProductId(0x3100);
            EXPECT_EQ(device.Open(0), 1);
            requests = Stats(id).control_requests;
        }
        KelvoxSim_Detach(id);
        return requests;
    };
    const unsigned waited = open_and_count_requests(0x1200, 1);
    EXPECT_EQ(waited - open_and_count_requests(0x1100, 1), 3u);  // three polls of the ready flag
    EXPECT_EQ(open_and_count_requests(0x1200, 0), open_and_count_requests(0x1100, 1));
}

TEST_F(OpenDevice, StartsTheSensorAndReadsTheDevice) {
    EXPECT_NE(device_.sensor(), nullptr);
    kelvox::sensor::SensorInfo info{};
    ASSERT_TRUE(device_.GetSensorInfo(&info));
    EXPECT_EQ(info.sensor_width, 1920);
    EXPECT_EQ(info.default_height, 1200);
    EXPECT_EQ(info.window_h_settable, 1);
    EXPECT_EQ(device_.controls().GetExposureTime(), 1244);
    EXPECT_EQ(device_.device_info()[24] | device_.device_info()[25] << 8, 0x1200);
    unsigned v = 0;
    ASSERT_EQ(KelvoxSim_PeekRegister(id_, 0x48, 0x0458, &v), 1);
    EXPECT_EQ(v, 60u);
    EXPECT_EQ(device_.optional().SupportsColorMode(16), 0);
    EXPECT_EQ(device_.optional().GainMode(), 0xFFFFFFFFu);
}

TEST_F(OpenDevice, EepromBytesAndIdentification) {
    ASSERT_EQ(device_.WriteSromId(0x3C), 1);
    uint8_t id = 0;
    ASSERT_EQ(device_.ReadSromId(&id), 1);
    EXPECT_EQ(id, 0x3C);
    uint8_t first = 0;
    ASSERT_EQ(device_.ReadEeprom(0x1040, &first), 1);
    EXPECT_EQ(first, 'D');
}

TEST_F(OpenDevice, CloseLeavesNothingBehind) {
    ASSERT_EQ(device_.capture().Start(0), 1);
    device_.Close();
    EXPECT_EQ(device_.controller(), nullptr);
    EXPECT_EQ(device_.sensor(), nullptr);
    EXPECT_EQ(device_.capture().running(), 0);
    EXPECT_EQ(device_.Open(0), 0);  // the controller must be created again first
    kelvox::sensor::SensorInfo info{};
    EXPECT_FALSE(device_.GetSensorInfo(&info));
    EXPECT_EQ(device_.optional().SupportsColorMode(16), 1);  // no sensor: every mode is offered
}
