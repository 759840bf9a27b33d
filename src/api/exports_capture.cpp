// Capture and delivery: live preview, capture on demand, snapshots and the last image.
#include "api/call_frame.h"

using kelvox::CallFrame;
using kelvox::Session;

KELVOX_API int Kelvox_Capture(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.Capture(); });
}

KELVOX_API int Kelvox_StartPreview(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.StartPreview(); });
}

KELVOX_API int Kelvox_CallBackPreview(int handle, KELVOX_HWND window, void* buffer, int size, int row_order) {
    return CallFrame(handle, 0, [&](Session& s) { return s.CallBackPreview(window, buffer, size, row_order); });
}

KELVOX_API int Kelvox_Preview(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.Preview(); });
}

KELVOX_API int Kelvox_SetPreviewWindow(int handle, KELVOX_HWND parent, int x, int y, int width, int height) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SetPreviewWindow(parent, x, y, width, height); });
}

KELVOX_API int Kelvox_StopPreview(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.StopPreview(); });
}

KELVOX_API int Kelvox_Close(int handle) {
    return CallFrame(handle, 0, [](Session& s) { return s.Close(); });
}

KELVOX_API int Kelvox_SnapShot(int handle, void* buffer, int size, int row_order) {
    return CallFrame(handle, 0, [&](Session& s) { return s.SnapShot(buffer, size, row_order); });
}

KELVOX_API int Kelvox_GetImage(int handle, void* buffer, int size, int row_order) {
    return CallFrame(handle, 0, [&](Session& s) { return s.GetImage(buffer, size, row_order); });
}
