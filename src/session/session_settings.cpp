// Exposure, temperature, mirrors, auto-iris, internal correction; registers, I/O port and EEPROM.
#include <cmath>

#include "session/session.h"

namespace kelvox {

int Session::SetExposureTimeEx(double seconds) {
    if (!NeedDevice()) return 0;
    if (!device_->controls().IsExposureTimeExSupported()) {
        RecordError(KELVOX_ERR_UNSUPPORTED);
        return 0;
    }
    if (!device_->controls().SetExposureTimeEx(seconds)) return 0;
    std::lock_guard<std::mutex> lock(frame_lock_);  // automatic exposure writes these on the frame thread
    settings_.exposure_seconds = seconds;
    // Whole seconds only, the fraction dropped before scaling to 100 us (NaN and values out of the
    // int range are held at its edges rather than converted undefinedly).
    const double whole = std::isnan(seconds) ? 0.0 : std::trunc(seconds);
    settings_.exposure = static_cast<int>(std::fmax(std::fmin(whole, 214748.0), -214748.0)) * 10000;
    return 1;
}

double Session::GetExposureTimeEx(int* ok) {
    double value = -1.0;
    int read = 0;
    if (!device_) {
        RecordError(KELVOX_ERR_NOT_READY);
    } else if (!device_->controls().IsExposureTimeExSupported()) {
        RecordError(KELVOX_ERR_UNSUPPORTED);
    } else {
        double seconds = 0;
        if (device_->controls().GetExposureTimeEx(&seconds)) {
            value = seconds;
            std::lock_guard<std::mutex> lock(frame_lock_);
            settings_.exposure_seconds = seconds;
            read = 1;
        }
    }
    if (ok) *ok = read;
    return value;
}

int Session::SetRealExposureTime(int microseconds) {
    if (!NeedDevice()) return 0;
    const auto units = static_cast<int>(microseconds / 100.0);
    if (device_->controls().RealExposureTimeRange().min <= units && device_->controls().RealExposureTimeRange().max >= units) {
        {
            std::lock_guard<std::mutex> lock(frame_lock_);
            settings_.exposure = units;
            settings_.requested_exposure = units;
        }
        device_->controls().SetRealExposureTime(static_cast<uint32_t>(units));
        double seconds = 0;
        if (device_->controls().IsExposureTimeExSupported() && device_->controls().GetExposureTimeEx(&seconds)) {
            std::lock_guard<std::mutex> lock(frame_lock_);
            settings_.exposure_seconds = seconds;
        }
        return 1;
    }
    RecordError(KELVOX_ERR_PARAM);
    return 0;
}

int Session::GetRealExposureTime(int* ok) {
    if (!device_) {
        if (ok) *ok = 0;
        RecordError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    if (ok) *ok = 1;
    std::lock_guard<std::mutex> lock(frame_lock_);
    settings_.real_exposure_us = settings_.exposure * 100;
    return settings_.real_exposure_us;
}

double Session::GetTemperatureEx(int* ok) {
    double celsius = 0.0;
    int read = 0;
    if (!device_) {
        RecordError(KELVOX_ERR_NOT_READY);
    } else if (!device_->controls().IsTemperatureSupported()) {
        RecordError(KELVOX_ERR_UNSUPPORTED);
    } else if (device_->controls().GetTemperature(&celsius)) {
        read = 1;
        RecordError(KELVOX_SUCCESS);
    } else {
        celsius = 0.0;
        RecordError(KELVOX_ERR_CONVERT);
    }
    if (ok) *ok = read;
    return celsius;
}

int Session::SetMirrorH(int on) {
    if (!NeedDevice()) return 0;
    {
        std::lock_guard<std::mutex> lock(frame_lock_);  // processing reads the mirrors
        settings_.mirror_h = on ? 1 : 0;
    }
    device_->controls().SetMirror(true, on ? 1 : 0);
    return 1;
}

int Session::SetMirrorV(int on) {
    if (!NeedDevice(true)) return 0;
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        settings_.mirror_v = on ? 1 : 0;
    }
    device_->controls().SetMirror(false, on ? 1 : 0);
    return 1;
}

int Session::GetMirrorH() {
    if (!NeedDevice()) return 0;
    return settings_.mirror_h;
}

int Session::GetMirrorV() {
    if (!NeedDevice(true)) return 0;
    return settings_.mirror_v;
}

int Session::SetAutoIris(int mode) {
    if (static_cast<unsigned>(mode) > 2u) {
        NotifyError(KELVOX_ERR_PARAM);
        return 0;
    }
    std::lock_guard<std::mutex> lock(frame_lock_);
    settings_.auto_iris = mode;
    return 1;
}

int Session::GetAutoIris(int* ok) {
    if (ok) *ok = 1;
    return settings_.auto_iris;
}

int Session::SetInternalCorrection(int value) {
    if (!NeedDevice()) return 0;
    if (!device_->controls().IsInternalCorrectionSupported()) {
        NotifyError(KELVOX_ERR_UNSUPPORTED);
        return 0;
    }
    // The device has no setting for a sensor's internal correction: nothing to store.
    (void)value;
    return 0;
}

int Session::GetInternalCorrection(int* ok) {
    if (!NeedDevice()) return 0;
    if (!device_->controls().IsInternalCorrectionSupported()) {
        NotifyError(KELVOX_ERR_UNSUPPORTED);
        return 0;
    }
    if (ok) *ok = 1;
    return 0;
}

// ---- registers ----

int Session::ReadRegister(uint32_t address, int* ok) {
    if (ok) *ok = 0;
    if (!NeedDevice()) return 0;
    uint32_t value = 0;
    if (!device_->ReadSensorRegister(address, &value)) {
        RecordError(KELVOX_ERR_DEVICE_IO);
        return 0;
    }
    if (ok) *ok = 1;
    return static_cast<int>(value);
}

int Session::WriteRegister(uint32_t address, uint32_t value) {
    if (!NeedDevice()) return 0;
    return DeviceIo(device_->WriteSensorRegister(address, value)) ? 1 : 0;
}

int Session::FpgaReadRegister(uint32_t address, int* ok) {
    if (ok) *ok = 0;
    if (!NeedDevice()) return 0;
    bool read = false;
    const int value = device_->ReadFpgaRegister(address & 0xFF, &read);
    if (!read) {
        RecordError(KELVOX_ERR_DEVICE_IO);
        return 0;
    }
    if (ok) *ok = 1;
    return static_cast<uint16_t>(value);
}

int Session::FpgaWriteRegister(uint32_t address, uint32_t value) {
    if (!NeedDevice()) return 0;
    return DeviceIo(device_->WriteFpgaRegister(address & 0xFF, value & 0xFFFF)) ? 1 : 0;
}

int Session::GetIOPort(unsigned char* value) {
    if (!NeedDevice(true)) return 0;
    bool read = false;
    const int byte = value ? device_->ReadFpgaRegister(0x07, &read) : 0;
    if (!value || !read) {
        NotifyError(KELVOX_ERR_PARAM);
        return 0;
    }
    *value = static_cast<unsigned char>(byte);
    return 1;
}

int Session::SetIOPort(int value) {
    if (!NeedDevice(true)) return 0;
    return device_->WriteFpgaRegister(0x07, static_cast<uint32_t>(value) & 0xFF);
}

int Session::ReadSromID(int address, int* ok) {
    uint8_t byte = 0;
    if (!device_ || !device_->ReadEeprom(static_cast<uint16_t>(address & 0xFFF), &byte)) {
        if (ok) *ok = 0;
        NotifyError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    if (ok) *ok = 1;
    return byte;
}

int Session::WriteSromID(int address, int value) {
    const auto at = static_cast<uint16_t>(address & 0xFFF);
    const auto byte = static_cast<uint8_t>(value);
    if (!device_ || !device_->WriteEeprom(at, byte)) {
        NotifyError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    // Read back and rewrite until the EEPROM holds the byte, ten times at most.
    for (int attempt = 0; attempt < 10; ++attempt) {
        uint8_t read_back = 0;
        const bool read = device_->ReadEeprom(at, &read_back);
        if (!read) NotifyError(KELVOX_ERR_NOT_READY);
        if (read && read_back == byte) break;
        device_->WriteEeprom(at, byte);
    }
    return 1;
}

}  // namespace kelvox
