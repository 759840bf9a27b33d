#pragma once
// The controller as sensor drivers see it: serial-bus transfers and the FPGA's control registers.
#include <cstdint>

namespace kelvox::usb {

class Controller {
public:
    virtual ~Controller() = default;

    // I2C through the FX3's bridge, at most 64 bytes; `address` is the device's 8-bit write address.
    virtual bool I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t timeout_ms) = 0;
    virtual bool I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t timeout_ms) = 0;
    virtual bool WriteFpgaRegister(uint8_t reg, uint8_t value) = 0;
    virtual bool ReadFpgaRegister(uint8_t reg, uint8_t* value) = 0;
    // FPGA registers 0x10 (low) and 0x11 (high) as one word.
    virtual bool ReadFpgaWord16(uint16_t* value) = 0;
};

}  // namespace kelvox::usb
