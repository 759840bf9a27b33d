#pragma once
// The cameras a host can choose from: their names, information and serial numbers.
#include <cstdint>
#include <cwchar>

#include "kelvox/kelvox.h"

namespace kelvox {

class Session;

class CameraCatalog {
public:
    explicit CameraCatalog(Session& session) : s_(session) {}
    CameraCatalog(const CameraCatalog&) = delete;
    CameraCatalog& operator=(const CameraCatalog&) = delete;

    int EnumDevice(char (*names)[256]);
    int EnumDeviceW(wchar_t (*names)[256]);
    int GetDeviceName(int index, char* name, int size);
    int GetDeviceNameW(int index, wchar_t* name, int size);
    int GetCameraInfo(KELVOX_CAMERA_INFO* info);
    int ReadSerialNumberA(char* text, int size);
    int ReadSerialNumberW(wchar_t* text, int size);

private:
    Session& s_;
};

}  // namespace kelvox
