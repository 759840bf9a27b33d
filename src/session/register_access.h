#pragma once
// Raw access for hosts that know the hardware: sensor and FPGA registers, the I/O port and the
// EEPROM bytes.
#include <cstdint>
#include <cwchar>

#include "kelvox/kelvox.h"

namespace kelvox {

class Session;

class RegisterAccess {
public:
    explicit RegisterAccess(Session& session) : s_(session) {}
    RegisterAccess(const RegisterAccess&) = delete;
    RegisterAccess& operator=(const RegisterAccess&) = delete;

    int ReadRegister(uint32_t address, int* ok);
    int WriteRegister(uint32_t address, uint32_t value);
    int FpgaReadRegister(uint32_t address, int* ok);
    int FpgaWriteRegister(uint32_t address, uint32_t value);
    int GetIOPort(unsigned char* value);
    int SetIOPort(int value);
    int ReadSromID(int address, int* ok);
    int WriteSromID(int address, int value);

private:
    Session& s_;
};

}  // namespace kelvox
