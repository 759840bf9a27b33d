#include "sensor/sensor.h"

#include <cstring>

#include "platform/clock.h"

namespace kelvox::sensor {

Sensor::Sensor(usb::Controller* controller, uint8_t bus_address)
    : controller_(controller), bus_address_(bus_address) {}

Sensor::~Sensor() = default;

bool Sensor::GetSensorInfo(SensorInfo* out) const {
    if (!out) return false;
    std::memcpy(out, &info_, sizeof info_);
    return true;
}

bool Sensor::GetExposureTimeExRange(double* min, double* max, double* default_value) const {
    if (min) *min = info_.precise_min;
    if (max) *max = info_.precise_max;
    if (default_value) *default_value = info_.precise_default;
    return info_.precise_supported != 0;
}

bool Sensor::GetBlackLevelRange(ControlRange* range) const {
    if (range) *range = {info_.black_level_min, info_.black_level_max, info_.black_level_default};
    return info_.black_level_supported != 0;
}

uint16_t Sensor::ReadControllerWord() {
    if (controller_word_ != 0 || !controller_) return controller_word_;
    for (int attempt = 0; attempt < 10; ++attempt) {
        uint16_t word = 0;
        if (controller_->ReadFpgaWord16(&word)) {
            controller_word_ = word;
            break;
        }
        platform::SleepMs(100);
    }
    return controller_word_;
}

bool Sensor::PulseReceiverRestart() {
    if (!controller_) return false;
    platform::TimerResolution fine;
    const uint8_t reg = (variant_code_ == 103 || variant_code_ == 115) ? 150 : 108;
    controller_->WriteFpgaRegister(reg, 1);
    platform::SleepMs(1);
    controller_->WriteFpgaRegister(reg, 0);
    platform::SleepMs(1);
    return true;
}

void Sensor::PulseControllerReset() {
    if (!controller_) return;
    platform::TimerResolution fine;
    uint8_t value = 0;
    controller_->ReadFpgaRegister(130, &value);
    controller_->WriteFpgaRegister(130, value & ~1u);
    platform::SleepMs(50);
    controller_->WriteFpgaRegister(130, value | 1u);
    platform::SleepMs(50);
    controller_->WriteFpgaRegister(130, value & ~1u);
}

}  // namespace kelvox::sensor
