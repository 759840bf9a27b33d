// Enumeration into the shared device table, its byte layout, and its life across controllers
// and processes.
#include <cstring>
#include <memory>

#include "usb/device_table.h"
#include "usb/driver_io.h"
#include "usb/fx3_controller.h"
#include "usb_test_support.h"

using namespace kelvox::usb;
using kelvox_usb_test::Cameras;
using kelvox_usb_test::RunPeer;

namespace {

DeviceTableEntry EntryAt(int index) {
    DeviceTableEntry e{};
    DeviceTable::Process().Entry(index, &e);
    return e;
}

}  // namespace

TEST(DeviceTable, NoCameraLeavesTableEmptyAndOpensFail) {
    Fx3Controller controller;
    EXPECT_EQ(controller.EnumerateDevices(), 0);
    DeviceHandle h = kNoHandle;
    EXPECT_FALSE(OpenDeviceHandle(&h, 0, false));
    EXPECT_EQ(h, kNoHandle);
    EXPECT_FALSE(IsDeviceOpenable(0));
    const SharedDeviceBlock t = DeviceTable::Process().Snapshot();
    for (const auto& e : t.entries) {
        EXPECT_EQ(e.product_id, 0);
        EXPECT_EQ(e.instance, -1);
    }
}

TEST(DeviceTable, OneCameraIsEnteredOnceWithItsIds) {
    Cameras cams;
    ASSERT_GE(cams.Add("ONE"), 0);
    Fx3Controller controller;
    ASSERT_EQ(controller.EnumerateDevices(), 1);
    EXPECT_EQ(controller.EnumerateDevices(), 1);  // already known: nothing added
    const DeviceTableEntry e = EntryAt(0);
    EXPECT_EQ(e.vendor_id, 0x04B4);
    EXPECT_EQ(e.product_id, 0x3100);
    EXPECT_EQ(e.instance, 0);
    EXPECT_NE(std::strstr(e.path, "#ONE#"), nullptr);
    EXPECT_TRUE(IsDeviceOpenable(0));
    EXPECT_FALSE(IsDeviceOpenable(1));
    std::string name;
    ASSERT_TRUE(controller.GetDeviceName(0, &name));
    EXPECT_EQ(name, "Kelvox-Nx40-USB3-Q5_00");
}

TEST(DeviceTable, InstancesCountPerProductInDiscoveryOrder) {
    Cameras cams;
    ASSERT_GE(cams.Add("A"), 0);
    ASSERT_GE(cams.Add("OTHER", 0x3200), 0);
    ASSERT_GE(cams.Add("B"), 0);
    Fx3Controller controller;
    ASSERT_EQ(controller.EnumerateDevices(), 3);
    EXPECT_EQ(EntryAt(0).instance, 0);
    EXPECT_EQ(EntryAt(1).instance, 0);  // another product starts its own count
    EXPECT_EQ(EntryAt(1).product_id, 0x3200);
    EXPECT_EQ(EntryAt(2).instance, 1);
    std::string name;
    ASSERT_TRUE(controller.GetDeviceName(2, &name));
    EXPECT_EQ(name, "Kelvox-Nx40-USB3-Q5_01");
    EXPECT_EQ(controller.GetDeviceName(1, &name), 0);  // a model this SDK does not know
}

TEST(DeviceTable, ThirtyThirdCameraIsDropped) {
    Cameras cams;
    for (int i = 0; i < 33; ++i) ASSERT_GE(cams.Add(("N" + std::to_string(i)).c_str()), 0);
    Fx3Controller controller;
    EXPECT_EQ(controller.EnumerateDevices(), 32);
    EXPECT_EQ(EntryAt(31).instance, 31);
    EXPECT_NE(std::strstr(EntryAt(31).path, "#N31#"), nullptr);
    EXPECT_EQ(controller.EnumerateDevices(), 32);
}

TEST(DeviceTable, InterfaceThatCannotBeOpenedIsSkipped) {
    Cameras cams;
    const int busy = cams.Add("BUSY");
    ASSERT_GE(cams.Add("FREE"), 0);
    ASSERT_EQ(KelvoxSim_InjectFault(busy, KELVOX_SIM_FAULT_OPEN, 1), 1);  // the probe fails
    Fx3Controller controller;
    ASSERT_EQ(controller.EnumerateDevices(), 1);
    EXPECT_NE(std::strstr(EntryAt(0).path, "#FREE#"), nullptr);
    EXPECT_EQ(EntryAt(0).instance, 0);
    // Free again: found on the next enumeration, after the one already known.
    ASSERT_EQ(controller.EnumerateDevices(), 2);
    EXPECT_NE(std::strstr(EntryAt(1).path, "#BUSY#"), nullptr);
    EXPECT_EQ(EntryAt(1).instance, 1);
}

TEST(DeviceTable, UnpluggedCameraKeepsItsEntryButCannotBeOpened) {
    Cameras cams;
    const int id = cams.Add("GONE");
    Fx3Controller controller;
    ASSERT_EQ(controller.EnumerateDevices(), 1);
    ASSERT_EQ(KelvoxSim_Detach(id), 1);
    EXPECT_EQ(controller.EnumerateDevices(), 1);
    EXPECT_FALSE(IsDeviceOpenable(0));
    EXPECT_FALSE(controller.SelectDevice(0));
}

TEST(DeviceTable, SecondControllerSeesTableAndLastOneLeavesItEmpty) {
    Cameras cams;
    ASSERT_GE(cams.Add("X"), 0);
    ASSERT_GE(cams.Add("Y"), 0);
    {
        auto first = std::make_unique<Fx3Controller>();
        ASSERT_EQ(first->EnumerateDevices(), 2);
        Fx3Controller second;  // does not enumerate
        EXPECT_EQ(DeviceTable::Process().entry_count(), 2);
        EXPECT_EQ(DeviceTable::Process().Snapshot().attach_count, 2);
        first.reset();
        EXPECT_EQ(DeviceTable::Process().entry_count(), 2);
        EXPECT_EQ(DeviceTable::Process().Snapshot().attach_count, 1);
    }
    Fx3Controller fresh;
    EXPECT_EQ(DeviceTable::Process().entry_count(), 0);
    EXPECT_EQ(EntryAt(0).instance, -1);
    EXPECT_EQ(DeviceTable::Process().Snapshot().attach_count, 1);
}

TEST(DeviceTable, BlockHoldsTheTableInItsByteLayout) {
    Cameras cams;
    ASSERT_GE(cams.Add("LAYOUT"), 0);
    Fx3Controller controller;
    ASSERT_EQ(controller.EnumerateDevices(), 1);
    kelvox::platform::SharedMemory view;
    ASSERT_TRUE(view.Open(kelvox::usb::SharedBlockName(), 8584));
    EXPECT_TRUE(view.existed());
    const auto* b = static_cast<const uint8_t*>(view.data());
    EXPECT_EQ(GetLe32(b), 1u);                          // attach count
    EXPECT_EQ(GetLe16(b + 4), 0x04B4);                  // entry 0: vendor id
    EXPECT_EQ(GetLe16(b + 6), 0x3100);                  // product id
    EXPECT_EQ(GetLe32(b + 8), 0u);                      // instance
    EXPECT_EQ(std::memcmp(b + 12, "\\\\?\\usb#vid_04b4&pid_3100#LAYOUT#", 33), 0);
    EXPECT_EQ(static_cast<int32_t>(GetLe32(b + 4 + 268 + 4)), -1);  // entry 1 empty
    EXPECT_EQ(GetLe32(b + 8580), 1u);                   // entry count
}

TEST(DeviceTable, AnotherProcessSeesAndExtendsTheSameTable) {
    Cameras cams;
    ASSERT_GE(cams.Add("HOST-A"), 0);
    ASSERT_GE(cams.Add("HOST-B"), 0);
    Fx3Controller controller;
    ASSERT_EQ(controller.EnumerateDevices(), 2);
    EXPECT_EQ(RunPeer({"count"}), 2);
    // The peer plugs in a camera of its own and enumerates it into the shared table...
    EXPECT_EQ(RunPeer({"add", "PEER-CAM"}), 3);
    // ...which this process finds there on its next enumeration, after its own two.
    EXPECT_EQ(controller.EnumerateDevices(), 3);
    EXPECT_NE(std::strstr(EntryAt(2).path, "#PEER-CAM#"), nullptr);
    EXPECT_FALSE(IsDeviceOpenable(2));  // that camera is attached to the other program only
    EXPECT_EQ(DeviceTable::Process().Snapshot().attach_count, 1);  // the peer's detach counted
}

TEST(DeviceTable, PathHexDigitsAreParsedAtFixedPositions) {
    EXPECT_EQ(ParseHex4("\\\\?\\usb#vid_04b4&pid_3100#x", 12), 0x04B4);
    EXPECT_EQ(ParseHex4("\\\\?\\usb#vid_04b4&pid_3100#x", 21), 0x3100);
    EXPECT_EQ(ParseHex4("\\\\?\\usb#vid_ABcd&pid_3", 12), 0xABCD);
    EXPECT_EQ(ParseHex4("\\\\?\\usb#vid_ABcd&pid_3", 21), 0x3);  // the path ends
    EXPECT_EQ(ParseHex4("short", 12), 0);
}

TEST(Controller, DebugLogPathSitsBesideTheProgramAndIsNeverWritten) {
    Fx3Controller controller;
    const std::string& path = controller.debug_log_path();
    ASSERT_GE(path.size(), 12u);
    EXPECT_EQ(path.substr(path.size() - 12), "DEBUGLOG.txt");
    std::string exe = kelvox::platform::ExecutablePath();
    EXPECT_EQ(path.substr(0, path.size() - 12), exe.substr(0, exe.find_last_of("\\/") + 1));
    FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(f, nullptr);
    if (f) std::fclose(f);
}
