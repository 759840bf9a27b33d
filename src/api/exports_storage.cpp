// Stored settings: the size presets and the configuration list.
#include "api/call_frame.h"

using kelvox::CallFrame;
using kelvox::Session;

KELVOX_API int Kelvox_SetCaptureWindow(int handle, int width, int height) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetCaptureWindow(width, height); });
}

KELVOX_API int Kelvox_LoadConfigFileA(int handle, const char* name) {
    return CallFrame(handle, 0, [&](Session& s) { return s.LoadConfigFile(name); });
}

KELVOX_API int Kelvox_LoadConfigFileW(int handle, const wchar_t* name) {
    return CallFrame(handle, 0, [&](Session& s) { return s.LoadConfigFileW(name); });
}
