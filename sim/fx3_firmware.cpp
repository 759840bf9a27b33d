// The FX3 firmware's vendor requests and the I2C devices behind its bridge.
#include <cstring>

#include "sim_camera.h"

namespace kelvox::sim {

using namespace usb;  // the wire protocol's names, shared with the SDK's side

// The record: type, request, value, index at its start, 64 data bytes after the header. Answers
// the number of data bytes moved; false stalls the request.
bool SimCamera::VendorRequest(uint8_t* record, uint32_t* data_bytes) {
    const uint8_t type = record[kRecRequestType];
    const uint8_t request = record[kRecRequest];
    const uint16_t value = GetLe16(record + kRecValue);
    const uint16_t index = GetLe16(record + kRecIndex);
    uint8_t* data = record + kRecordHeaderSize;
    *data_bytes = 0;

    switch (request) {
        case kRequestI2cWrite:  // value = byte count, index = device write address
            if (type != kRequestOut) return false;
            ++stats_.i2c_writes;
            if (value > kMaxI2cBytes || TakeFault(kFaultI2cNack) ||
                !I2cWrite(static_cast<uint8_t>(index), data, value))
                return false;
            *data_bytes = value;
            return true;
        case kRequestI2cRead:  // index = device read address
            if (type != kRequestIn) return false;
            ++stats_.i2c_reads;
            if (value > kMaxI2cBytes || TakeFault(kFaultI2cNack) || !I2cRead(static_cast<uint8_t>(index), data, value))
                return false;
            *data_bytes = value;
            return true;
        case kRequestDeviceInfo:
        case kRequestFpgaInfo:
            if (type != kRequestIn) return false;
            std::memcpy(data, request == kRequestDeviceInfo ? info_block_.data() : fpga_info_block_.data(),
                        kInfoBlockSize);
            *data_bytes = kInfoBlockSize;
            return true;
        case kRequestStreamReset:
            if (type != kRequestOut) return false;
            ResetStream(true);
            return true;
        case kRequestArm:  // the next read of the image endpoint gets a frame header
            if (type != kRequestOutToEndpoint) return false;
            ++stats_.arm_requests;
            armed_ = true;
            return true;
        case kRequestReadyFlag:
            if (type != kRequestIn) return false;
            std::memset(data, 0, kControlDataSize);
            data[0] = ready_polls_++ >= config_.ready_after_polls ? 1 : 0;
            *data_bytes = kControlDataSize;
            return true;
        case kRequestEndpointCommand:
            return type == kRequestOutToEndpoint;
        case kRequestWriteFx3Register: {  // 32-bit value: address bit 15 in value, bits 0..14 in index
            if (type != kRequestOut) return false;
            const uint16_t address = static_cast<uint16_t>((value & 0x8000) | (index & 0x7FFF));
            fx3_registers_[address] = GetLe32(data);
            *data_bytes = 4;
            return true;
        }
        case kRequestReadFx3Register:
            if (type != kRequestIn) return false;
            std::memset(data, 0, kControlDataSize);
            PutLe16(data, static_cast<uint16_t>(fx3_registers_[index]));
            *data_bytes = kControlDataSize;
            return true;
        case kRequestSetStreamSelect:
            if (type != kRequestOut) return false;
            stream_select_ = data[0];
            *data_bytes = 4;
            return true;
        case kRequestGetStreamSelect:
            if (type != kRequestIn) return false;
            data[0] = stream_select_;
            *data_bytes = 1;
            return true;
        case kRequestWriteWordPair:
            if (type != kRequestOut) return false;
            word_pair_[0] = static_cast<uint16_t>(data[0] << 8 | data[1]);
            word_pair_[1] = static_cast<uint16_t>(data[2] << 8 | data[3]);
            *data_bytes = 4;
            return true;
        case kRequestReadWord:
            if (type != kRequestIn) return false;
            PutLe16(data, word_pair_[0]);
            *data_bytes = 2;
            return true;
        default:
            return false;
    }
}

bool SimCamera::I2cWrite(uint8_t address, const uint8_t* bytes, int count) {
    switch (address) {
        case kFpgaBusAddress:  // register, 0x00, value; or the register alone to read it next
            if (count == 1) {
                fpga_pointer_ = bytes[0];
                return true;
            }
            if (count != 3) return false;
            FpgaWrite(bytes[0], bytes[2]);
            return true;
        case kSensorBusAddress:  // address high, low, then values for consecutive registers
            if (count < 2) return false;
            sensor_pointer_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
            for (int i = 2; i < count; ++i) sensor_.Write(sensor_pointer_++, bytes[i]);
            if (count > 2) wake_.notify_all();  // timing may have changed
            return true;
        case kEepromBusAddress:  // address high, low, then data
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
        case kFpgaBusAddress | kI2cReadBit:  // two bytes, the value second
            for (int i = 0; i < count; ++i) bytes[i] = 0;
            if (count >= 2) bytes[1] = FpgaRead(fpga_pointer_);
            return true;
        case kSensorBusAddress | kI2cReadBit:
            for (int i = 0; i < count; ++i) bytes[i] = sensor_.Read(sensor_pointer_++);
            return true;
        case kEepromBusAddress | kI2cReadBit:
            for (int i = 0; i < count; ++i) bytes[i] = eeprom_[eeprom_pointer_++];
            return true;
        default:
            return false;
    }
}

uint8_t SimCamera::FpgaRead(uint8_t reg) {
    if (reg == kFpgaStatus && TakeFault(kFaultFpgaBusy)) return static_cast<uint8_t>(fpga_[reg] | kFpgaStatusBusy);
    return fpga_[reg];
}

void SimCamera::FpgaWrite(uint8_t reg, uint8_t value) {
    if (reg == kFpgaReceiverRestart && (fpga_[reg] & 1) && !(value & 1)) ++stats_.receiver_restarts;  // 1 then 0
    if (reg == kFpgaStatus) value = static_cast<uint8_t>(value & ~kFpgaStatusBusy);  // the busy bit is the FPGA's own
    fpga_[reg] = value;
}

}  // namespace kelvox::sim
