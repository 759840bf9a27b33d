#include "sensor/sensor.h"

#include <cstring>

#include "platform/clock.h"

namespace kelvox::sensor {

Sensor::Sensor(usb::Controller* controller, uint8_t bus_address)
    : controller_(controller), bus_address_(bus_address) {}

Sensor::~Sensor() = default;

int Sensor::GetSensorInfo(SensorInfo* out) {
    if (!out) return 0;
    std::memcpy(out, &info_, sizeof info_);
    return 1;
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

int Sensor::PulseReceiverRestart() {
    if (receiver_restart_gate_ == 0) return 1;
    if (!controller_) return 0;
    platform::TimerResolution fine;
    const uint8_t reg = (variant_code_ == 103 || variant_code_ == 115) ? 150 : 108;
    controller_->WriteFpgaRegister(reg, 1);
    platform::SleepMs(1);
    controller_->WriteFpgaRegister(reg, 0);
    platform::SleepMs(1);
    return 1;
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

int Sensor::WriteControllerVerified(uint8_t reg, uint8_t value) {
    if (!controller_) return 0;
    platform::TimerResolution fine;
    for (int attempt = 0; attempt < 10; ++attempt) {
        uint8_t read_back = 0;
        const bool written = controller_->WriteFpgaRegister(reg, value);
        platform::SleepMs(5);
        if (written && controller_->ReadFpgaRegister(reg, &read_back) && read_back == value) return 1;
        platform::SleepMs(5);
    }
    return 0;
}

}  // namespace kelvox::sensor
