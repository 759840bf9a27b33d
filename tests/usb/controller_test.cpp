// The controller's vendor requests, I2C bridge, FPGA and EEPROM sequences against the simulator.
#include <cstring>

#include "usb/device_table.h"
#include "usb/fx3_controller.h"
#include "usb_test_support.h"

using namespace kelvox::usb;
using kelvox_usb_test::Cameras;
using kelvox_usb_test::Stats;

namespace {

class ControllerTest : public kelvox_usb_test::SelectedController {
protected:
    ControllerTest() : SelectedController("CTRL") {}
    unsigned Peek(int bus, unsigned reg) {
        unsigned v = 0;
        EXPECT_EQ(KelvoxSim_PeekRegister(id_, bus, reg, &v), 1);
        return v;
    }
};

}  // namespace

TEST_F(ControllerTest, SensorBytesGoOverTheBridge) {
    const uint8_t write[3] = {0x04, 0x04, 0x37};
    ASSERT_TRUE(controller_.I2cWrite(0x48, write, 3, 3000));
    EXPECT_EQ(Peek(0x48, 0x0404), 0x37u);
    uint8_t value = 0;
    ASSERT_TRUE(controller_.I2cWrite(0x48, write, 2, 3000));
    ASSERT_TRUE(controller_.I2cRead(0x48, &value, 1, 3000));
    EXPECT_EQ(value, 0x37);
    const KELVOX_SIM_STATS s = Stats(id_);
    EXPECT_EQ(s.i2c_writes, 2u);
    EXPECT_EQ(s.i2c_reads, 1u);
}

TEST_F(ControllerTest, OversizedI2cTransferSendsNothing) {
    uint8_t bytes[65] = {};
    const unsigned before = Stats(id_).control_requests;
    EXPECT_FALSE(controller_.I2cWrite(0x48, bytes, 65, 3000));
    EXPECT_FALSE(controller_.I2cRead(0x48, bytes, 65, 3000));
    EXPECT_EQ(Stats(id_).control_requests, before);
    bytes[0] = 0x05;  // 64 go out: register 0x0500 and the 61 after it
    EXPECT_TRUE(controller_.I2cWrite(0x48, bytes, 64, 3000));
    EXPECT_EQ(Stats(id_).control_requests, before + 1);
}

TEST_F(ControllerTest, FpgaRegistersAndWord) {
    ASSERT_TRUE(controller_.WriteFpgaRegister(0x07, 0xA5));
    EXPECT_EQ(Peek(0x40, 0x07), 0xA5u);
    uint8_t v = 0;
    ASSERT_TRUE(controller_.ReadFpgaRegister(0x07, &v));
    EXPECT_EQ(v, 0xA5);
    ASSERT_EQ(KelvoxSim_PokeRegister(id_, 0x40, 0x10, 0x34), 1);
    ASSERT_EQ(KelvoxSim_PokeRegister(id_, 0x40, 0x11, 0x12), 1);
    uint16_t word = 0;
    ASSERT_TRUE(controller_.ReadFpgaWord16(&word));
    EXPECT_EQ(word, 0x1234);

    // A refused read leaves the caller's value alone.
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_I2C_NACK, 1), 1);
    v = 0x5A;
    EXPECT_FALSE(controller_.ReadFpgaRegister(0x07, &v));
    EXPECT_EQ(v, 0x5A);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_I2C_NACK, 2), 1);
    word = 0x7777;
    EXPECT_FALSE(controller_.ReadFpgaWord16(&word));
    EXPECT_EQ(word, 0x7777);
}

TEST_F(ControllerTest, EepromBytesAndSerialText) {
    ASSERT_TRUE(controller_.WriteEeprom(0x2345, 0x66));
    EXPECT_EQ(Peek(0xA2, 0x2345), 0x66u);
    uint8_t v = 0;
    ASSERT_TRUE(controller_.ReadEeprom(0x2345, &v));
    EXPECT_EQ(v, 0x66);
    char serial[5] = {};
    for (int i = 0; i < 4; ++i) {
        uint8_t b = 0;
        ASSERT_TRUE(controller_.ReadEeprom(static_cast<uint16_t>(0x1040 + i), &b));
        serial[i] = static_cast<char>(b);
    }
    EXPECT_STREQ(serial, "CTRL");
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_I2C_NACK, 1), 1);
    v = 9;
    EXPECT_FALSE(controller_.ReadEeprom(0x2345, &v));
    EXPECT_EQ(v, 9);
}

TEST_F(ControllerTest, InformationBlockReadyFlagAndStreamReset) {
    uint8_t info[64] = {};
    ASSERT_TRUE(controller_.ReadDeviceInfo(info));
    EXPECT_EQ(GetLe16(info + 24), 0x1200);
    EXPECT_EQ(info[52], 0);
    uint8_t ready = 0;
    ASSERT_TRUE(controller_.ReadReadyFlag(&ready));
    EXPECT_EQ(ready, 1);
    ASSERT_TRUE(controller_.StreamReset());

    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_CONTROL, 1), 1);
    EXPECT_FALSE(controller_.ReadDeviceInfo(info));
}

TEST_F(ControllerTest, PrepareDeviceAllocatesOnceAndResetsThePort) {
    EXPECT_EQ(controller_.transfer_buffer(), nullptr);
    ASSERT_TRUE(controller_.PrepareDevice());
    uint8_t* buffer = controller_.transfer_buffer();
    ASSERT_NE(buffer, nullptr);
    buffer[kTransferBufferSize - 1] = 1;  // the whole 64 MiB + header is ours
    ASSERT_TRUE(controller_.PrepareDevice());
    EXPECT_EQ(controller_.transfer_buffer(), buffer);
    EXPECT_EQ(Stats(id_).port_resets, 2u);
    controller_.CloseController();
    EXPECT_EQ(controller_.transfer_buffer(), nullptr);
}

TEST_F(ControllerTest, SelectingAnIndexOutsideTheTableFails) {
    EXPECT_FALSE(controller_.SelectDevice(1));
    EXPECT_FALSE(controller_.selected_index());
    EXPECT_FALSE(controller_.SelectDevice(32));
}
