#pragma once
// The bytes between the SDK and the camera: the driver's transfer record, the FX3's vendor
// requests, the I2C devices behind its bridge and their registers, the image endpoint and its
// frame header. The simulated camera answers the same bytes, so both sides take them from here.
#include <cstddef>
#include <cstdint>

namespace kelvox::usb {

// ---- little-endian fields ----

inline void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t GetLe32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// ---- the driver's single-transfer record: a 38-byte header, then the data ----

constexpr uint32_t kRecordHeaderSize = 38;
constexpr uint32_t kControlDataSize = 64;
constexpr uint32_t kControlRecordSize = kRecordHeaderSize + kControlDataSize;  // 102
constexpr uint32_t kControlTimeoutSeconds = 3;  // the record's own time-out field

enum RecordOffset : size_t {
    kRecRequestType = 0,
    kRecRequest = 1,
    kRecValue = 2,
    kRecIndex = 4,
    kRecLength = 6,
    kRecTimeout = 8,
    kRecReserved = 12,
    kRecEndpoint = 13,
    kRecNtStatus = 14,
    kRecUsbdStatus = 18,
    kRecIsoOffset = 22,
    kRecIsoLength = 26,
    kRecBufferOffset = 30,
    kRecBufferLength = 34,
};

// ---- vendor requests on endpoint 0 ----

// Request types.
constexpr uint8_t kRequestOut = 0x40;            // host to device
constexpr uint8_t kRequestIn = 0xC0;             // device to host
constexpr uint8_t kRequestOutToEndpoint = 0x42;  // host to device, addressed to an endpoint

// Requests. Value and index of the I2C pair: byte count and the device's bus address.
constexpr uint8_t kRequestI2cWrite = 0x30;
constexpr uint8_t kRequestI2cRead = 0x31;
constexpr uint8_t kRequestSetStreamSelect = 0x3C;  // data byte 0
constexpr uint8_t kRequestGetStreamSelect = 0x3D;
constexpr uint8_t kRequestWriteWordPair = 0x3E;    // two 16-bit words, high byte first
constexpr uint8_t kRequestReadWord = 0x3F;         // value selects; the word comes back little-endian
constexpr uint8_t kRequestDeviceInfo = 0xB0;       // 64-byte block of the FX3
constexpr uint8_t kRequestFpgaInfo = 0xB1;         // 64-byte block of the FPGA
constexpr uint8_t kRequestStreamReset = 0xC0;
constexpr uint8_t kRequestArm = 0xC2;              // the next image-endpoint read gets a frame header
constexpr uint8_t kRequestReadyFlag = 0xC3;        // data byte 0 is 1 once the camera is ready
constexpr uint8_t kRequestEndpointCommand = 0xCC;  // to the endpoint, no data; nothing we model changes
constexpr uint8_t kRequestWriteFx3Register = 0xD0; // address bit 15 in value, bits 0..14 in index
constexpr uint8_t kRequestReadFx3Register = 0xD1;  // address in index; the low 16 bits come back

constexpr uint32_t kMaxI2cBytes = 64;  // what one bridge request carries

// Information block (0xB0) fields.
constexpr uint32_t kInfoBlockSize = 64;
constexpr size_t kInfoVendorId = 0;
constexpr size_t kInfoProductId = 2;
constexpr size_t kInfoName = 4;
constexpr size_t kInfoFirmwareVersion = 24;  // 16 bits
constexpr size_t kInfoReadyFlagMode = 52;

// ---- I2C devices behind the bridge (8-bit write addresses; the read address sets bit 0) ----

constexpr uint8_t kI2cReadBit = 0x01;
constexpr uint8_t kFpgaBusAddress = 0x40;       // register, 0x00, value; reads answer 0x00, value
constexpr uint8_t kSensorBusAddress = 0x48;     // 16-bit register number, high byte first
constexpr uint8_t kEepromBusAddress = 0xA2;     // 16-bit byte address, high byte first
constexpr uint8_t kAuxiliaryBusAddress = 0x5A;  // 8-bit register number and value

// FPGA control registers.
constexpr uint8_t kFpgaStatus = 0x02;
constexpr uint8_t kFpgaStatusBusy = 0x02;  // bit of kFpgaStatus, set by the FPGA alone
constexpr uint8_t kFpgaGpio = 0x07;
constexpr uint8_t kFpgaTriggerCount = 0x08;
constexpr uint8_t kFpgaWordLow = 0x10;   // a 16-bit word the sensor driver reads once
constexpr uint8_t kFpgaWordHigh = 0x11;
constexpr uint8_t kFpgaTriggerEnable = 0x30;  // bit 0: one frame per external trigger
constexpr uint8_t kFpgaDepth = 0x3C;          // kDepth8Bit or kDepth16Bit
constexpr uint8_t kFpgaHeightLow = 0x40;
constexpr uint8_t kFpgaHeightHigh = 0x41;
constexpr uint8_t kFpgaWidthLow = 0x44;
constexpr uint8_t kFpgaWidthHigh = 0x45;
constexpr uint8_t kFpgaReceiverRestart = 0x6C;  // 1 then 0 starts the receiver over
constexpr uint8_t kFpgaReset = 0x82;            // bit 0
constexpr uint8_t kDepth8Bit = 1;
constexpr uint8_t kDepth16Bit = 2;  // little-endian samples, 12-bit values MSB-aligned

// EEPROM contents.
constexpr uint16_t kEepromSerial = 0x1040;  // text, NUL-terminated when shorter
constexpr uint32_t kEepromSerialLength = 32;
constexpr uint16_t kEepromSromId = 0x1080;

// ---- bulk endpoints ----

constexpr uint8_t kImageEndpoint = 0x81;
constexpr uint8_t kCommandEndpoint = 0x01;         // other models' command pipe
constexpr uint8_t kAlternateImageEndpoint = 0x83;  // other models' whole-frame pipe

// ---- frame header: 64 bytes ahead of each payload on the image endpoint ----

constexpr uint32_t kFrameHeaderSize = 64;
constexpr size_t kHeaderPayloadLength = 16;
constexpr size_t kHeaderFrameNumber = 28;  // word 1: the sensor's frame number
constexpr size_t kHeaderTriggerCount = 32;  // word 2: kFpgaTriggerCount
constexpr size_t kHeaderExposureLines = 40;  // word 3
constexpr size_t kHeaderFrameLength = 44;    // word 4

}  // namespace kelvox::usb
