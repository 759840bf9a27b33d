// The FX3 firmware's vendor requests and the I2C devices behind its bridge.
#include <cstring>

#include "sim_camera.h"

namespace kelvox::sim {

namespace {

constexpr uint8_t kOut = 0x40, kIn = 0xC0, kOutToEndpoint = 0x42;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

// The record: type, request, value, index at bytes 0..5, data at 38 (64 bytes). Answers the
// number of data bytes moved; false stalls the request.
bool SimCamera::VendorRequest(uint8_t* record, uint32_t* data_bytes) {
    const uint8_t type = record[0];
    const uint8_t request = record[1];
    const uint16_t value = Le16(record + 2);
    const uint16_t index = Le16(record + 4);
    uint8_t* data = record + 38;
    *data_bytes = 0;

    switch (request) {
        case 0x30:  // I2C write: value = byte count, index = device write address
            if (type != kOut) return false;
            ++stats_.i2c_writes;
            if (value > 64 || TakeFault(kFaultI2cNack) || !I2cWrite(static_cast<uint8_t>(index), data, value))
                return false;
            *data_bytes = value;
            return true;
        case 0x31:  // I2C read: index = device read address
            if (type != kIn) return false;
            ++stats_.i2c_reads;
            if (value > 64 || TakeFault(kFaultI2cNack) || !I2cRead(static_cast<uint8_t>(index), data, value))
                return false;
            *data_bytes = value;
            return true;
        case 0xB0:
        case 0xB1:
            if (type != kIn) return false;
            std::memcpy(data, request == 0xB0 ? info_block_.data() : info_block2_.data(), 64);
            *data_bytes = 64;
            return true;
        case 0xC0:  // stream reset
            if (type != kOut) return false;
            ResetStream(true);
            return true;
        case 0xC2:  // arm: the next read of the image endpoint gets a frame header
            if (type != kOutToEndpoint) return false;
            ++stats_.arm_requests;
            armed_ = true;
            return true;
        case 0xC3:  // ready flag
            if (type != kIn) return false;
            std::memset(data, 0, 64);
            data[0] = ready_polls_++ >= config_.ready_after_polls ? 1 : 0;
            *data_bytes = 64;
            return true;
        case 0xCC:
            return type == kOutToEndpoint;
        case 0xD0: {  // 32-bit register write: address bit 15 in value, bits 0..14 in index
            if (type != kOut) return false;
            const uint16_t address = static_cast<uint16_t>((value & 0x8000) | (index & 0x7FFF));
            fx3_registers_[address] = static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24);
            *data_bytes = 4;
            return true;
        }
        case 0xD1: {
            if (type != kIn) return false;
            std::memset(data, 0, 64);
            const uint32_t v = fx3_registers_[index];
            data[0] = static_cast<uint8_t>(v);
            data[1] = static_cast<uint8_t>(v >> 8);
            *data_bytes = 64;
            return true;
        }
        case 0x3C:
            if (type != kOut) return false;
            stream_select_ = data[0];
            *data_bytes = 4;
            return true;
        case 0x3D:
            if (type != kIn) return false;
            data[0] = stream_select_;
            *data_bytes = 1;
            return true;
        case 0x3E:
            if (type != kOut) return false;
            pair_a_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
            pair_b_ = static_cast<uint16_t>(data[2] << 8 | data[3]);
            *data_bytes = 4;
            return true;
        case 0x3F:
            if (type != kIn) return false;
            data[0] = static_cast<uint8_t>(pair_a_);
            data[1] = static_cast<uint8_t>(pair_a_ >> 8);
            *data_bytes = 2;
            return true;
        default:
            return false;
    }
}

bool SimCamera::I2cWrite(uint8_t address, const uint8_t* bytes, int count) {
    switch (address) {
        case 0x40:  // FPGA: register, 0x00, value; or the register alone to read it next
            if (count == 1) {
                fpga_pointer_ = bytes[0];
                return true;
            }
            if (count != 3) return false;
            FpgaWrite(bytes[0], bytes[2]);
            return true;
        case 0x48:  // IMX174: address high, low, then values for consecutive registers
            if (count < 2) return false;
            sensor_pointer_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
            for (int i = 2; i < count; ++i) sensor_.Write(sensor_pointer_++, bytes[i]);
            if (count > 2) wake_.notify_all();  // timing may have changed
            return true;
        case 0xA2:  // EEPROM: address high, low, then data
            if (count < 2) return false;
            eeprom_pointer_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
            for (int i = 2; i < count; ++i) eeprom_[eeprom_pointer_++] = bytes[i];
            return true;
        default:
            return false;  // nobody answers at that address
    }
}

bool SimCamera::I2cRead(uint8_t address, uint8_t* bytes, int count) {
    switch (address) {
        case 0x41:  // FPGA: two bytes, the value second
            for (int i = 0; i < count; ++i) bytes[i] = 0;
            if (count >= 2) bytes[1] = FpgaRead(fpga_pointer_);
            return true;
        case 0x49:
            for (int i = 0; i < count; ++i) bytes[i] = sensor_.Read(sensor_pointer_++);
            return true;
        case 0xA3:
            for (int i = 0; i < count; ++i) bytes[i] = eeprom_[eeprom_pointer_++];
            return true;
        default:
            return false;
    }
}

uint8_t SimCamera::FpgaRead(uint8_t reg) {
    if (reg == 0x02 && TakeFault(kFaultFpgaBusy)) return static_cast<uint8_t>(fpga_[reg] | 0x02);
    return fpga_[reg];
}

void SimCamera::FpgaWrite(uint8_t reg, uint8_t value) {
    if (reg == 0x6C && (fpga_[0x6C] & 1) && !(value & 1)) ++stats_.receiver_restarts;  // 1 then 0
    if (reg == 0x02) value = static_cast<uint8_t>(value & ~0x02);  // the busy bit is the FPGA's own
    fpga_[reg] = value;
}

}  // namespace kelvox::sim
