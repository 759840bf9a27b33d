// Raw access for hosts that know the hardware: sensor and FPGA registers, the I/O port and the
// EEPROM bytes.
#include "session/register_access.h"

#include "session/session.h"

namespace kelvox {

int RegisterAccess::ReadRegister(uint32_t address, int* ok) {
    if (ok) *ok = 0;
    if (!s_.NeedDevice()) return 0;
    uint32_t value = 0;
    if (!s_.device_->ReadSensorRegister(address, &value)) {
        s_.RecordError(KELVOX_ERR_DEVICE_IO);
        return 0;
    }
    if (ok) *ok = 1;
    return static_cast<int>(value);
}

int RegisterAccess::WriteRegister(uint32_t address, uint32_t value) {
    if (!s_.NeedDevice()) return 0;
    return s_.DeviceIo(s_.device_->WriteSensorRegister(address, value)) ? 1 : 0;
}

int RegisterAccess::FpgaReadRegister(uint32_t address, int* ok) {
    if (ok) *ok = 0;
    if (!s_.NeedDevice()) return 0;
    bool read = false;
    const int value = s_.device_->ReadFpgaRegister(address & 0xFF, &read);
    if (!read) {
        s_.RecordError(KELVOX_ERR_DEVICE_IO);
        return 0;
    }
    if (ok) *ok = 1;
    return static_cast<uint16_t>(value);
}

int RegisterAccess::FpgaWriteRegister(uint32_t address, uint32_t value) {
    if (!s_.NeedDevice()) return 0;
    return s_.DeviceIo(s_.device_->WriteFpgaRegister(address & 0xFF, value & 0xFFFF)) ? 1 : 0;
}

int RegisterAccess::GetIOPort(unsigned char* value) {
    if (!s_.NeedDevice(true)) return 0;
    bool read = false;
    const int byte = value ? s_.device_->ReadFpgaRegister(0x07, &read) : 0;
    if (!value || !read) {
        s_.NotifyError(KELVOX_ERR_PARAM);
        return 0;
    }
    *value = static_cast<unsigned char>(byte);
    return 1;
}

int RegisterAccess::SetIOPort(int value) {
    if (!s_.NeedDevice(true)) return 0;
    return s_.device_->WriteFpgaRegister(0x07, static_cast<uint32_t>(value) & 0xFF);
}

int RegisterAccess::ReadSromID(int address, int* ok) {
    uint8_t byte = 0;
    if (!s_.device_ || !s_.device_->ReadEeprom(static_cast<uint16_t>(address & 0xFFF), &byte)) {
        if (ok) *ok = 0;
        s_.NotifyError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    if (ok) *ok = 1;
    return byte;
}

int RegisterAccess::WriteSromID(int address, int value) {
    const auto at = static_cast<uint16_t>(address & 0xFFF);
    const auto byte = static_cast<uint8_t>(value);
    if (!s_.device_ || !s_.device_->WriteEeprom(at, byte)) {
        s_.NotifyError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    // Read back and rewrite until the EEPROM holds the byte, ten times at most.
    for (int attempt = 0; attempt < 10; ++attempt) {
        uint8_t read_back = 0;
        const bool read = s_.device_->ReadEeprom(at, &read_back);
        if (!read) s_.NotifyError(KELVOX_ERR_NOT_READY);
        if (read && read_back == byte) break;
        s_.device_->WriteEeprom(at, byte);
    }
    return 1;
}

}  // namespace kelvox
