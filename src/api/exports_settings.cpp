// Settings with their own operations and dialogs; registers, I/O port and EEPROM; functions this camera lacks.
#include "api/call_frame.h"

using kelvox::CallFrame;
using kelvox::Session;

KELVOX_API int Kelvox_SetCameraDlg(int handle, KELVOX_HWND owner) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetCameraDlg(owner); });
}

KELVOX_API int Kelvox_SetAnalogDlg(int handle, KELVOX_HWND owner) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetAnalogDlg(owner); });
}

KELVOX_API int Kelvox_SetImageDlg(int handle, KELVOX_HWND owner) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetImageDlg(owner); });
}

KELVOX_API int Kelvox_SetExposureTimeEx(int handle, double seconds) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().SetExposureTimeEx(seconds); });
}

KELVOX_API double Kelvox_GetExposureTimeEx(int handle, int* ok) {
    return CallFrame(handle, 0.0, [&](Session& s) { return s.analog().GetExposureTimeEx(ok); });
}

KELVOX_API int Kelvox_SetRealExposureTime(int handle, int microseconds) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().SetRealExposureTime(microseconds); });
}

KELVOX_API int Kelvox_GetRealExposureTime(int handle, int* ok) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().GetRealExposureTime(ok); });
}

KELVOX_API double Kelvox_GetTemperatureEx(int handle, int* ok) {
    return CallFrame(handle, 0.0, [&](Session& s) { return s.analog().GetTemperatureEx(ok); });
}

KELVOX_API int Kelvox_SetMirrorH(int handle, int on) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().SetMirrorH(on); });
}

KELVOX_API int Kelvox_SetMirrorV(int handle, int on) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().SetMirrorV(on); });
}

KELVOX_API int Kelvox_GetMirrorH(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.analog().GetMirrorH(); });
}

KELVOX_API int Kelvox_GetMirrorV(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.analog().GetMirrorV(); });
}

KELVOX_API int Kelvox_SetAutoIris(int handle, int mode) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().SetAutoIris(mode); });
}

KELVOX_API int Kelvox_GetAutoIris(int handle, int* ok) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().GetAutoIris(ok); });
}

// No configuration filter on this camera: both say so and answer -1.
static int NoConfigFilter(int handle) {
    return CallFrame(handle, 0, [](Session& s) {
        s.RecordError(KELVOX_ERR_UNSUPPORTED);
        return -1;
    });
}

KELVOX_API int Kelvox_SetConfigFilter(int handle) { return NoConfigFilter(handle); }

KELVOX_API int Kelvox_GetConfigFilter(int handle) { return NoConfigFilter(handle); }

KELVOX_API int Kelvox_SetInternalCorrection(int handle, int value) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().SetInternalCorrection(value); });
}

KELVOX_API int Kelvox_GetInternalCorrection(int handle, int* ok) {
    return CallFrame(handle, 0, [&](Session& s) { return s.analog().GetInternalCorrection(ok); });
}

KELVOX_API int Kelvox_ReadRegister(int handle, int address, int* ok) {
    return CallFrame(handle, 0, [&](Session& s) { return s.registers().ReadRegister(static_cast<uint32_t>(address) & 0xFF, ok); });
}

KELVOX_API int Kelvox_ReadRegisterEx(int handle, unsigned int address, int* ok) {
    return CallFrame(handle, 0, [&](Session& s) { return s.registers().ReadRegister(address, ok); });
}

KELVOX_API int Kelvox_WriteRegister(int handle, int address, int value) {
    return CallFrame(handle, 0, [&](Session& s) {
        return s.registers().WriteRegister(static_cast<uint32_t>(address) & 0xFF, static_cast<uint32_t>(value) & 0xFFFF);
    });
}

KELVOX_API int Kelvox_WriteRegisterEx(int handle, unsigned int address, unsigned int value) {
    return CallFrame(handle, 0, [&](Session& s) { return s.registers().WriteRegister(address, value); });
}

KELVOX_API int Kelvox_Fpga_ReadRegister(int handle, int address, int* ok) {
    return CallFrame(handle, 0, [&](Session& s) { return s.registers().FpgaReadRegister(static_cast<uint32_t>(address), ok); });
}

KELVOX_API int Kelvox_Fpga_WriteRegister(int handle, int address, int value) {
    return CallFrame(handle, 0, [&](Session& s) {
        return s.registers().FpgaWriteRegister(static_cast<uint32_t>(address), static_cast<uint32_t>(value));
    });
}

KELVOX_API int Kelvox_GetIOPort(int handle, unsigned char* value) {
    return CallFrame(handle, 0, [&](Session& s) { return s.registers().GetIOPort(value); });
}

KELVOX_API int Kelvox_SetIOPort(int handle, int value) {
    return CallFrame(handle, 0, [&](Session& s) { return s.registers().SetIOPort(value); });
}

KELVOX_API int Kelvox_ReadSromID(int handle, int address, int* ok) {
    return CallFrame(handle, 0, [&](Session& s) { return s.registers().ReadSromID(address, ok); });
}

KELVOX_API int Kelvox_WriteSromID(int handle, int address, int value) {
    return CallFrame(handle, 0, [&](Session& s) { return s.registers().WriteSromID(address, value); });
}

// Functions of other camera models: one body for the five that only notify.
static int NotifyUnsupported(int handle) {
    return CallFrame(handle, 0, [](Session& s) {
        s.NotifyError(KELVOX_ERR_UNSUPPORTED);
        return 0;
    });
}

KELVOX_API int Kelvox_Fps(int handle) { return NotifyUnsupported(handle); }
KELVOX_API int Kelvox_GetHalfClock(int handle) { return NotifyUnsupported(handle); }
KELVOX_API int Kelvox_SetHalfClock(int handle) { return NotifyUnsupported(handle); }
KELVOX_API int Kelvox_SetCrossbar(int handle) { return NotifyUnsupported(handle); }
KELVOX_API int Kelvox_Trigger(int handle) { return NotifyUnsupported(handle); }

// And one for the text pair, which records.
static int RecordUnsupported(int handle) {
    return CallFrame(handle, 0, [](Session& s) {
        s.RecordError(KELVOX_ERR_UNSUPPORTED);
        return 0;
    });
}

KELVOX_API int Kelvox_SendText(int handle) { return RecordUnsupported(handle); }
KELVOX_API int Kelvox_ReceiveText(int handle) { return RecordUnsupported(handle); }
