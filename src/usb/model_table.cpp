#include "usb/model_table.h"

#include "usb/fx3_protocol.h"

namespace kelvox::usb {

namespace {
constexpr CameraModel kModels[] = {
    {0x3100, "Kelvox-Nx40-USB3-Q5_%02d", kSensorBusAddress, 4},
};
}  // namespace

const CameraModel* FindCameraModel(int product_id) {
    for (const CameraModel& m : kModels)
        if (m.product_id == product_id) return &m;
    return nullptr;
}

}  // namespace kelvox::usb
