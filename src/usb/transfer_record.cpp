#include "usb/transfer_record.h"

#include <cstring>

namespace kelvox::usb {

void BuildControlRecord(uint8_t* record, uint8_t request_type, uint8_t request, uint16_t value, uint16_t index) {
    std::memset(record, 0, kControlRecordSize);
    record[kRecRequestType] = request_type;
    record[kRecRequest] = request;
    PutLe16(record + kRecValue, value);
    PutLe16(record + kRecIndex, index);
    PutLe16(record + kRecLength, kControlRecordSize);  // the whole record, not the 64 data bytes
    PutLe32(record + kRecTimeout, kControlTimeoutSeconds);
    PutLe32(record + kRecBufferOffset, kRecordHeaderSize);
    PutLe32(record + kRecBufferLength, kControlDataSize);
}

void BuildDirectHeader(uint8_t* header, uint8_t endpoint) {
    std::memset(header, 0, kRecordHeaderSize);
    header[kRecEndpoint] = endpoint;
}

void BuildBufferedHeader(uint8_t* header, uint8_t endpoint, uint32_t length) {
    std::memset(header, 0, kRecordHeaderSize);
    header[kRecEndpoint] = endpoint;
    PutLe32(header + kRecBufferOffset, kRecordHeaderSize);
    PutLe32(header + kRecBufferLength, length);
}

}  // namespace kelvox::usb
