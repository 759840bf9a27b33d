// Image files and AVI recording.
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
