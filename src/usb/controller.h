#pragma once
// The controller as sensor drivers see it: serial-bus transfers, FPGA and EEPROM registers.
// The operations keep their fixed order; the base bodies answer "not supported".
#include <cstdint>

namespace kelvox::usb {

class Controller {
public:
    virtual ~Controller() = default;
    virtual int Reserved1() { return 0; }
    virtual void CloseController() {}
    virtual int SelectDevice(int index) { return 0; }
    virtual int ReadFpgaWord16(uint16_t* value) { return 0; }
    virtual int ReadReadyFlag(uint8_t* value) { return 0; }
    virtual int SendRequestCC() { return 0; }
    virtual int I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t timeout_ms) { return 0; }
    virtual int I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t timeout_ms) { return 0; }
    virtual int WriteRegister16(uint16_t address, uint32_t value) { return 0; }
    virtual int ReadRegister16(uint16_t address, uint16_t* value) { return 0; }
    virtual int WritePair(uint16_t a, uint16_t b) { return 0; }
    virtual int ReadWord3F(uint16_t argument, uint16_t* value) { return 0; }
    virtual int WriteFpgaRegister(uint8_t reg, uint8_t value) { return 0; }
    virtual int ReadFpgaRegister(uint8_t reg, uint8_t* value) { return 0; }
    virtual int WriteAux5A(uint8_t reg, uint8_t value) { return 0; }
    virtual int ReadAux5A(uint8_t reg, uint8_t* value) { return 0; }
    virtual int WriteEeprom(uint16_t address, uint8_t value) { return 0; }
    virtual int ReadEeprom(uint16_t address, uint8_t* value) { return 0; }
    virtual int AbortImagePipe() { return 0; }
};

}  // namespace kelvox::usb
