#pragma once
// The driver's single-transfer record: a 38-byte little-endian header, then the data.
#include <cstddef>
#include <cstdint>

namespace kelvox::usb {

constexpr uint32_t kRecordHeaderSize = 38;
constexpr uint32_t kControlDataSize = 64;
constexpr uint32_t kControlRecordSize = kRecordHeaderSize + kControlDataSize;  // 102

// Field offsets within the header.
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

// Vendor request types.
constexpr uint8_t kRequestOut = 0x40;            // host to device
constexpr uint8_t kRequestIn = 0xC0;             // device to host
constexpr uint8_t kRequestOutToEndpoint = 0x42;  // host to device, addressed to an endpoint

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

// A control record (102 bytes, zero-filled first): length field 102, time-out 3 s, data at 38.
void BuildControlRecord(uint8_t* record, uint8_t request_type, uint8_t request, uint16_t value, uint16_t index);
// The header of a direct bulk transfer: only the endpoint address is set.
void BuildDirectHeader(uint8_t* header, uint8_t endpoint);
// The header of a buffered bulk transfer: endpoint, data at 38, the data length.
void BuildBufferedHeader(uint8_t* header, uint8_t endpoint, uint32_t length);

inline uint32_t RecordNtStatus(const uint8_t* record) { return GetLe32(record + kRecNtStatus); }
inline uint32_t RecordUsbdStatus(const uint8_t* record) { return GetLe32(record + kRecUsbdStatus); }

// Data bytes behind a bytes-returned count: the count minus 38 when it is at least 38, else the
// count itself.
inline uint32_t DataBytes(uint32_t bytes_returned) {
    return bytes_returned >= kRecordHeaderSize ? bytes_returned - kRecordHeaderSize : bytes_returned;
}

}  // namespace kelvox::usb
