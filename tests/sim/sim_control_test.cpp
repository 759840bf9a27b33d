// The simulated camera at the I/O-control level: enumeration, handles, vendor requests, I2C.
#include <gtest/gtest.h>

#include <cstddef>

#include "sim_host.h"

using namespace kelvox_sim_test;
using kelvox::platform::kErrorAccessDenied;
using kelvox::platform::kErrorFileNotFound;

TEST(SimEnumeration, PathsCarryIdsAtFixedPositionsAndSerialAsInstance) {
    AttachedCamera cam(Config("SN-7731"));
    ASSERT_GE(cam.id(), 0);
    ASSERT_FALSE(cam.path().empty());
    const std::string& p = cam.path();
    EXPECT_EQ(p.substr(0, 8), "\\\\?\\usb#");
    EXPECT_EQ(p.substr(12, 4), "04b4");
    EXPECT_EQ(p.substr(21, 4), "3100");
    EXPECT_NE(p.find("#SN-7731#{328184c5-93e6-49b7-94b8-2ada13aabb39}"), std::string::npos);

    KELVOX_SIM_CAMERA other = Config();
    other.vendor_id = 0x1234;
    other.product_id = 0xABCD;
    AttachedCamera second(other);
    ASSERT_FALSE(second.path().empty());
    EXPECT_EQ(second.path().substr(12, 4), "1234");
    EXPECT_EQ(second.path().substr(21, 4), "abcd");
    EXPECT_NE(second.path().find("#sim" + std::to_string(second.id()) + "#"), std::string::npos);
    EXPECT_EQ(Paths().size(), 2u);
}

TEST(SimEnumeration, ReattachingSameSerialGivesSamePathAndUnplugFailsOpens) {
    std::string first_path;
    {
        AttachedCamera cam(Config("PORT-1"));
        first_path = cam.path();
        ASSERT_FALSE(first_path.empty());
    }
    EXPECT_TRUE(Paths().empty());
    uint32_t error = 0;
    EXPECT_EQ(ActiveDriver().Open(first_path.c_str(), false, &error), -1);
    EXPECT_EQ(error, kErrorFileNotFound);

    AttachedCamera again(Config("PORT-1"));
    EXPECT_EQ(again.path(), first_path);
    KELVOX_SIM_CAMERA twin = Config("PORT-1");
    EXPECT_EQ(KelvoxSim_Attach(&twin), -1);  // one serial, one device path
    EXPECT_EQ(KelvoxSim_Detach(again.id()), 1);
    EXPECT_EQ(KelvoxSim_Detach(again.id()), 0);
}

TEST(SimEnumeration, OpenFaultRefusesTheNextOpensOnly) {
    AttachedCamera cam(Config("BUSY"));
    ASSERT_EQ(KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_OPEN, 2), 1);
    uint32_t error = 0;
    EXPECT_EQ(ActiveDriver().Open(cam.path().c_str(), false, &error), -1);
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_EQ(ActiveDriver().Open(cam.path().c_str(), true, &error), -1);
    const DeviceHandle h = ActiveDriver().Open(cam.path().c_str(), false, &error);
    EXPECT_NE(h, -1);
    ActiveDriver().Close(h);
}

TEST(SimControl, RecordComesBackInPlaceWithDataCount) {
    KELVOX_SIM_CAMERA c = Config("INFO");
    c.firmware_version = 0x10FE;
    c.ready_flag_mode = 1;
    AttachedCamera cam(c);
    ControlResult r = Control(cam.path(), 0xC0, 0xB0, 0, 0);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, 38u + 64u);
    EXPECT_EQ(r.record[0], 0xC0);  // header fields untouched
    EXPECT_EQ(r.record[1], 0xB0);
    EXPECT_EQ(GetLe32(&r.record[14]), 0u);  // NT status
    EXPECT_EQ(GetLe32(&r.record[18]), 0u);  // USBD status
    EXPECT_EQ(r.record[38 + 24] | r.record[38 + 25] << 8, 0x10FE);
    EXPECT_EQ(r.record[38 + 52], 1);

    ControlResult w = Control(cam.path(), 0x40, 0x30, 3, 0x48, std::vector<uint8_t>{0x04, 0x04, 0x22}.data(), 3);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.bytes, 38u + 3u);
}

TEST(SimControl, SensorRegisterRoundTripsOverI2c) {
    AttachedCamera cam(Config("I2C"));
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0404, 0xA5));
    uint8_t v = 0;
    ASSERT_TRUE(ReadSensor(cam.path(), 0x0404, &v));
    EXPECT_EQ(v, 0xA5);
    unsigned peek = 0;
    ASSERT_EQ(KelvoxSim_PeekRegister(cam.id(), 0x48, 0x0404, &peek), 1);
    EXPECT_EQ(peek, 0xA5u);
    // Power-up values are the full-frame state the sensor driver programs.
    ASSERT_TRUE(ReadSensor(cam.path(), 0x0217, &v));
    EXPECT_EQ(v, 1254 & 0xFF);
    const KELVOX_SIM_STATS s = cam.Stats();
    EXPECT_EQ(s.i2c_writes, 3u);
    EXPECT_EQ(s.i2c_reads, 2u);
    EXPECT_EQ(s.control_requests, 5u);
}

TEST(SimControl, FpgaRegistersAnswerWithValueInSecondByte) {
    AttachedCamera cam(Config("FPGA"));
    ASSERT_TRUE(WriteFpga(cam.path(), 0x07, 0x5C));
    uint8_t two[2] = {0xEE, 0xEE};
    ASSERT_TRUE(I2cWrite(cam.path(), 0x40, {0x07}));
    ASSERT_TRUE(I2cRead(cam.path(), 0x40, two, 2));
    EXPECT_EQ(two[1], 0x5C);
    uint8_t v = 0;
    ASSERT_TRUE(ReadFpga(cam.path(), 0x3C, &v));
    EXPECT_EQ(v, 1);  // one byte per sample at power-up

    // Receiver restart is counted on each 1-then-0 pulse.
    ASSERT_TRUE(WriteFpga(cam.path(), 0x6C, 1));
    ASSERT_TRUE(WriteFpga(cam.path(), 0x6C, 0));
    ASSERT_TRUE(WriteFpga(cam.path(), 0x6C, 0));
    EXPECT_EQ(cam.Stats().receiver_restarts, 1u);

    ASSERT_EQ(KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_FPGA_BUSY, 1), 1);
    ASSERT_TRUE(ReadFpga(cam.path(), 0x02, &v));
    EXPECT_EQ(v & 0x02, 0x02);
    ASSERT_TRUE(ReadFpga(cam.path(), 0x02, &v));
    EXPECT_EQ(v & 0x02, 0);
}

TEST(SimControl, EepromHoldsSerialTextAndIdByte) {
    KELVOX_SIM_CAMERA c = Config("CAM-0042");
    c.srom_id = 0x5A;
    AttachedCamera cam(c);
    ASSERT_TRUE(I2cWrite(cam.path(), 0xA2, {0x10, 0x40}));
    uint8_t text[9] = {};
    ASSERT_TRUE(I2cRead(cam.path(), 0xA2, text, 9));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(text)), "CAM-0042");
    ASSERT_TRUE(I2cWrite(cam.path(), 0xA2, {0x10, 0x80}));
    uint8_t id = 0;
    ASSERT_TRUE(I2cRead(cam.path(), 0xA2, &id, 1));
    EXPECT_EQ(id, 0x5A);
    // Written bytes stay.
    ASSERT_TRUE(I2cWrite(cam.path(), 0xA2, {0x20, 0x00, 0x11, 0x22}));
    unsigned v = 0;
    ASSERT_EQ(KelvoxSim_PeekRegister(cam.id(), 0xA2, 0x2001, &v), 1);
    EXPECT_EQ(v, 0x22u);

    AttachedCamera blank(Config());
    ASSERT_EQ(KelvoxSim_PeekRegister(blank.id(), 0xA2, 0x1040, &v), 1);
    EXPECT_EQ(v, 0xFFu);
}

TEST(SimControl, RefusedRequestsFailWithStatus) {
    AttachedCamera cam(Config("REFUSE"));
    std::vector<uint8_t> big(65, 0);
    EXPECT_FALSE(Control(cam.path(), 0x40, 0x30, 65, 0x48, big.data(), 64).ok);
    EXPECT_FALSE(I2cWrite(cam.path(), 0x50, {0, 0, 0}));  // nobody at 0x50
    EXPECT_FALSE(Control(cam.path(), 0x40, 0xB0, 0, 0).ok);  // wrong direction
    ControlResult unknown = Control(cam.path(), 0xC0, 0x77, 0, 0);
    EXPECT_FALSE(unknown.ok);
    EXPECT_NE(GetLe32(&unknown.record[18]), 0u);  // USBD status says why

    ASSERT_EQ(KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_CONTROL, 1), 1);
    EXPECT_FALSE(Control(cam.path(), 0xC0, 0xB0, 0, 0).ok);
    EXPECT_TRUE(Control(cam.path(), 0xC0, 0xB0, 0, 0).ok);

    ASSERT_EQ(KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_I2C_NACK, -1), 1);
    EXPECT_FALSE(WriteSensor(cam.path(), 0x0404, 1));
    EXPECT_TRUE(Control(cam.path(), 0xC0, 0xB0, 0, 0).ok);  // only I2C is hit
    EXPECT_FALSE(WriteSensor(cam.path(), 0x0404, 1));
    ASSERT_EQ(KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_I2C_NACK, 0), 1);
    EXPECT_TRUE(WriteSensor(cam.path(), 0x0404, 1));
}

TEST(SimControl, ReadyFlagAndRegisterRequests) {
    KELVOX_SIM_CAMERA c = Config("READY");
    c.ready_after_polls = 2;
    AttachedCamera cam(c);
    int answers[3];
    for (int& a : answers) {
        ControlResult r = Control(cam.path(), 0xC0, 0xC3, 0, 0);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.bytes, 38u + 64u);
        a = r.record[38];
    }
    EXPECT_EQ(answers[0], 0);
    EXPECT_EQ(answers[1], 0);
    EXPECT_EQ(answers[2], 1);

    const uint8_t word[4] = {0x34, 0x12, 0xCD, 0xAB};
    ASSERT_TRUE(Control(cam.path(), 0x40, 0xD0, 0x0000, 0x0123, word, 4).ok);
    ControlResult r = Control(cam.path(), 0xC0, 0xD1, 0, 0x0123);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, 38u + 64u);
    EXPECT_EQ(r.record[38] | r.record[39] << 8, 0x1234);
}

TEST(SimControl, LinkSpeedIsSuperSpeed) {
    AttachedCamera cam(Config("SPEED"));
    uint32_t error = 0;
    const DeviceHandle h = ActiveDriver().Open(cam.path().c_str(), false, &error);
    ASSERT_NE(h, -1);
    uint8_t speed[4] = {};
    uint32_t bytes = 0;
    ASSERT_TRUE(ActiveDriver().IoControl(h, kelvox::platform::kIoctlLinkSpeed, speed, 4, speed, 4, &bytes, nullptr,
                                         &error));
    EXPECT_EQ(bytes, 4u);
    EXPECT_EQ(GetLe32(speed), 4u);
    ActiveDriver().Close(h);
}

TEST(SimApi, ReadsNoMoreThanTheCallersSize) {
    // An older host whose struct ends before the scene fields: they keep their defaults.
    struct {
        KELVOX_SIM_CAMERA cfg;
    } padded;
    std::memset(&padded, 0x7F, sizeof padded);
    padded.cfg.size = static_cast<int>(offsetof(KELVOX_SIM_CAMERA, scene));
    padded.cfg.vendor_id = 0x04B4;
    padded.cfg.product_id = 0x3100;
    std::strcpy(padded.cfg.serial, "OLD-HOST");
    padded.cfg.srom_id = 0;
    padded.cfg.firmware_version = 0x1200;
    padded.cfg.ready_flag_mode = 0;
    padded.cfg.ready_after_polls = 0;
    const int id = KelvoxSim_Attach(&padded.cfg);
    ASSERT_GE(id, 0);

    KELVOX_SIM_STATS small{};
    small.size = static_cast<int>(offsetof(KELVOX_SIM_STATS, headers_sent));
    small.headers_sent = 0xDEADBEEF;
    ASSERT_EQ(KelvoxSim_GetStats(id, &small), 1);
    EXPECT_EQ(small.headers_sent, 0xDEADBEEFu);  // beyond the size: untouched
    EXPECT_EQ(KelvoxSim_Detach(id), 1);

    KELVOX_SIM_CAMERA bad = Config();
    bad.scene = 9;
    EXPECT_EQ(KelvoxSim_Attach(&bad), -1);
    EXPECT_EQ(KelvoxSim_Attach(nullptr), -1);
    EXPECT_EQ(KelvoxSim_InjectFault(123456, KELVOX_SIM_FAULT_STALL, 1), 0);
    EXPECT_EQ(KelvoxSim_PeekRegister(123456, 0x40, 0, nullptr), 0);
}

TEST(SimApi, RegisterAccessChecksBusAndRange) {
    AttachedCamera cam(Config("POKE"));
    unsigned v = 0;
    EXPECT_EQ(KelvoxSim_PokeRegister(cam.id(), 0x40, 0x100, 1), 0);
    EXPECT_EQ(KelvoxSim_PokeRegister(cam.id(), 0x42, 0x10, 1), 0);
    EXPECT_EQ(KelvoxSim_PeekRegister(cam.id(), 0x48, 0x10000, &v), 0);
    EXPECT_EQ(KelvoxSim_PokeRegister(cam.id(), 0x40, 0x10, 0x1AB), 1);
    EXPECT_EQ(KelvoxSim_PeekRegister(cam.id(), 0x40, 0x10, &v), 1);
    EXPECT_EQ(v, 0xABu);
    std::vector<unsigned short> samples(100);
    EXPECT_EQ(KelvoxSim_SetRawScene(cam.id(), samples.data(), 10, 10), 0);
}
