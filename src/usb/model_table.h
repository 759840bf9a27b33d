#pragma once
// What the SDK knows of each camera model, keyed by USB product id.
#include <cstdint>

namespace kelvox::usb {

struct CameraModel {
    uint16_t product_id;
    const char* name_format;  // printf format, argument: the instance number
    uint8_t sensor_bus_address;
    int ring_size;
};

// The row of a product id, or null for a model this SDK does not drive.
const CameraModel* FindCameraModel(int product_id);

}  // namespace kelvox::usb
