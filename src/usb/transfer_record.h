#pragma once
// Building and reading the driver's single-transfer record (layout in fx3_protocol.h).
#include <cstddef>
#include <cstdint>

#include "usb/fx3_protocol.h"

namespace kelvox::usb {

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
