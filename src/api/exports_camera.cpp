// Camera selection and information, geometry and format.
#include "api/call_frame.h"

using kelvox::CallFrame;
using kelvox::Session;

KELVOX_API int Kelvox_EnumDevice(int handle, char names[10][256]) {
    return CallFrame(handle, 0, [&](Session& s) { return s.cameras().EnumDevice(names); });
}

KELVOX_API int Kelvox_EnumDeviceW(int handle, wchar_t names[10][256]) {
    return CallFrame(handle, 0, [&](Session& s) { return s.cameras().EnumDeviceW(names); });
}

KELVOX_API int Kelvox_GetDeviceName(int handle, int index, char* name, int size) {
    return CallFrame(handle, 0, [&](Session& s) { return s.cameras().GetDeviceName(index, name, size); });
}

KELVOX_API int Kelvox_GetDeviceNameW(int handle, int index, wchar_t* name, int size) {
    return CallFrame(handle, 0, [&](Session& s) { return s.cameras().GetDeviceNameW(index, name, size); });
}

KELVOX_API int Kelvox_SetDeviceNumber(int handle, int index) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetDeviceNumber(index); });
}

KELVOX_API int Kelvox_GetCameraInfo(int handle, KELVOX_CAMERA_INFO* info) {
    return CallFrame(handle, 0, [&](Session& s) { return s.cameras().GetCameraInfo(info); });
}

KELVOX_API int Kelvox_ReadSerialNumberA(int handle, char* text, int size) {
    return CallFrame(handle, 0, [&](Session& s) { return s.cameras().ReadSerialNumberA(text, size); });
}

KELVOX_API int Kelvox_ReadSerialNumberW(int handle, wchar_t* text, int size) {
    return CallFrame(handle, 0, [&](Session& s) { return s.cameras().ReadSerialNumberW(text, size); });
}

KELVOX_API int Kelvox_GetStatus(int handle) {
    return CallFrame(handle, 0, [](Session&) { return 0; });
}

KELVOX_API int Kelvox_SetCaptureWindowEx(int handle, int total_width, int x, int width, int total_height, int y,
                                         int height) {
    return CallFrame(handle, 0,
                     [&](Session& s) { return s.SetCaptureWindowEx(total_width, x, width, total_height, y, height); });
}

KELVOX_API int Kelvox_GetCaptureWindowEx(int handle, int* total_width, int* x, int* width, int* total_height, int* y,
                                         int* height) {
    return CallFrame(handle, 0,
                     [&](Session& s) { return s.GetCaptureWindowEx(total_width, x, width, total_height, y, height); });
}

KELVOX_API int Kelvox_Width(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.Width(); });
}

KELVOX_API int Kelvox_Height(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.Height(); });
}

KELVOX_API int Kelvox_SetColorMode(int handle, int bits_per_pixel) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetColorMode(bits_per_pixel); });
}

KELVOX_API int Kelvox_GetColorMode(int handle) {
    return CallFrame(handle, -1, [](Session& s) { return s.GetColorMode(); });
}

KELVOX_API int Kelvox_SetSubSample(int handle, int code) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetSubSample(code); });
}

KELVOX_API int Kelvox_GetSubSample(int handle) {
    return CallFrame(handle, -1, [](Session& s) { return s.GetSubSample(); });
}

KELVOX_API int Kelvox_SetWaitTime(int handle, int milliseconds) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetWaitTime(milliseconds); });
}

KELVOX_API int Kelvox_GetWaitTime(int handle) {
    return CallFrame(handle, -1, [](Session& s) { return s.GetWaitTime(); });
}

// One body answers both: this camera has neither a sampling rate nor a video format to report.
static int ReportNothing(int handle, int* out) {
    return CallFrame(handle, 0, [&](Session&) {
        if (out) *out = 0;
        return 0;
    });
}

KELVOX_API int Kelvox_GetSamplingRate(int handle, int* rate) { return ReportNothing(handle, rate); }

KELVOX_API int Kelvox_GetVideoFormat(int handle, int* format) { return ReportNothing(handle, format); }

KELVOX_API int Kelvox_SetSamplingRate(int handle, int rate) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetSamplingRate(rate); });
}
