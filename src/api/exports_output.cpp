// Image files.
#include "api/call_frame.h"

using kelvox::CallFrame;
using kelvox::CKelvox;

KELVOX_API int Kelvox_SaveImage(int handle, const char* file_name, int format) {
    return CallFrame(handle, 0, [&](CKelvox& s) { return s.SaveImage(file_name, format); });
}

KELVOX_API int Kelvox_SaveImageW(int handle, const wchar_t* file_name, int format) {
    return CallFrame(handle, 0, [&](CKelvox& s) { return s.SaveImageW(file_name, format); });
}
