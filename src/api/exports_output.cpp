// Image files, AVI recording and mask files.
#include "api/call_frame.h"

using kelvox::CallFrame;
using kelvox::Session;

KELVOX_API int Kelvox_SaveImage(int handle, const char* file_name, int format) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SaveImage(file_name, format); });
}

KELVOX_API int Kelvox_SaveImageW(int handle, const wchar_t* file_name, int format) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SaveImageW(file_name, format); });
}

KELVOX_API int Kelvox_Record(int handle, const char* file_name, int duration, int show_window) {
    return CallFrame(handle, 0, [&](Session& s) { return s.Record(file_name, duration, show_window); });
}

KELVOX_API int Kelvox_RecordW(int handle, const wchar_t* file_name, int duration, int show_window) {
    return CallFrame(handle, 0, [&](Session& s) { return s.RecordW(file_name, duration, show_window); });
}

KELVOX_API int Kelvox_UpdateMaskData(int handle, int which) {
    return CallFrame(handle, 0, [&](Session& s) { return s.UpdateMaskData(which); });
}

KELVOX_API int Kelvox_SaveMaskFile(int handle, const char* file_name) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SaveMaskFile(file_name); });
}

KELVOX_API int Kelvox_SaveMaskFileW(int handle, const wchar_t* file_name) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SaveMaskFileW(file_name); });
}

KELVOX_API int Kelvox_LoadMaskFile(int handle, const char* file_name) {
    return CallFrame(handle, 0, [&](Session& s) { return s.LoadMaskFile(file_name); });
}

KELVOX_API int Kelvox_LoadMaskFileW(int handle, const wchar_t* file_name) {
    return CallFrame(handle, 0, [&](Session& s) { return s.LoadMaskFileW(file_name); });
}
