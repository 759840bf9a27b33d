#include "sensor/sensor.h"

#include "platform/clock.h"
#include "usb/fx3_protocol.h"

namespace kelvox::sensor {

namespace {
// Where two other sensor variants restart their receiver.
constexpr uint8_t kOtherReceiverRestart = 150;
}  // namespace

Sensor::Sensor(usb::Controller* controller, uint8_t bus_address)
    : controller_(controller), bus_address_(bus_address) {}

Sensor::~Sensor() = default;

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
    const uint8_t reg =
        (variant_code_ == 103 || variant_code_ == 115) ? kOtherReceiverRestart : usb::kFpgaReceiverRestart;
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
    controller_->ReadFpgaRegister(usb::kFpgaReset, &value);
    controller_->WriteFpgaRegister(usb::kFpgaReset, value & ~1u);
    platform::SleepMs(50);
    controller_->WriteFpgaRegister(usb::kFpgaReset, value | 1u);
    platform::SleepMs(50);
    controller_->WriteFpgaRegister(usb::kFpgaReset, value & ~1u);
}

}  // namespace kelvox::sensor
