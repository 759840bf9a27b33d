#include "sensor_registers.h"

#include <algorithm>

namespace kelvox::sim {

namespace {
void Put11(std::array<uint8_t, 65536>& r, uint16_t low, int v) {
    r[low] = static_cast<uint8_t>(v & 0xFF);
    r[low + 1] = static_cast<uint8_t>((v >> 8) & 0x07);
}
}  // namespace

SensorRegisters::SensorRegisters() {
    regs_[0x0216] = 0x03;  // both mirrors off
    regs_[0x0217] = 1254 & 0xFF;
    regs_[0x0218] = 1254 >> 8;
    regs_[0x029A] = 10;  // start line 10: 1244 lines of exposure
    Put11(regs_, 0x0305, kSensorWidth);
    Put11(regs_, 0x0307, kSensorHeight);
}

int SensorRegisters::FrameLength() const {
    return std::max(1, regs_[0x0217] | (regs_[0x0218] & 0x0F) << 8);
}

int SensorRegisters::ExposureLines() const {
    const int start = regs_[0x029A] | (regs_[0x029B] & 0x0F) << 8;
    return std::max(1, FrameLength() - start);
}

int SensorRegisters::Gain() const { return regs_[0x0404] | (regs_[0x0405] & 1) << 8; }

SensorWindow SensorRegisters::Window() const {
    // Window mode bits say whether the width and height registers apply at all.
    const uint8_t mode = regs_[0x0300];
    SensorWindow w{0, 0, kSensorWidth, kSensorHeight, 1, 1};
    if (mode & 1) {
        w.width = std::clamp(Word11(0x0305), 0, kSensorWidth);
        // Start registers count from the far edge: the margin left beyond the window.
        w.x = std::clamp(kSensorWidth - w.width - Word11(0x0301), 0, kSensorWidth - w.width);
    } else if (Word11(0x0305) == kSensorWidth / 2) {
        w.width = kSensorWidth / 2;
        w.step_x = 2;
    }
    if (mode & 2) {
        w.height = std::clamp(Word11(0x0307), 0, kSensorHeight);
        w.y = std::clamp(kSensorHeight - w.height - Word11(0x0303), 0, kSensorHeight - w.height);
    } else if (Word11(0x0307) == kSensorHeight / 2) {
        w.height = kSensorHeight / 2;
        w.step_y = 2;
    }
    return w;
}

}  // namespace kelvox::sim
