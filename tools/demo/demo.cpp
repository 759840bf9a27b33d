// A host application of the SDK: plugs in a simulated camera, opens it through the public API
// and reports what it finds.
#include <cstdio>
#include <cstring>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"

namespace {

int Fail(const char* call, int handle) {
    std::printf("%s failed, error %d\n", call, handle ? Kelvox_GetLastError(handle) : -1);
    return 1;
}

}  // namespace

int main() {
    std::printf("Kelvox SDK, library version 0x%08X\n", static_cast<unsigned>(Kelvox_GetDllVersion()));

    KELVOX_SIM_CAMERA sim;
    KelvoxSim_DefaultCamera(&sim);
    std::strcpy(sim.serial, "DEMO-0001");
    const int camera = KelvoxSim_Attach(&sim);
    if (camera < 0) {
        std::printf("could not attach the simulated camera\n");
        return 1;
    }
    std::printf("simulated camera attached (serial %s)\n", sim.serial);

    const int handle = Kelvox_Initialize(nullptr);
    if (handle == 0) return Fail("Kelvox_Initialize", 0);
    if (const int error = Kelvox_GetLastError(handle)) {
        std::printf("initialisation reported error %d\n", error);
        return 1;
    }

    char names[10][256];
    const int count = Kelvox_EnumDevice(handle, names);
    std::printf("%d camera(s):\n", count);
    for (int i = 0; i < count; ++i) std::printf("  %s\n", names[i]);
    if (count < 1) return Fail("Kelvox_EnumDevice", handle);
    if (!Kelvox_SetDeviceNumber(handle, 0)) return Fail("Kelvox_SetDeviceNumber", handle);

    char serial[32] = {};
    if (!Kelvox_ReadSerialNumberA(handle, serial, sizeof serial)) return Fail("Kelvox_ReadSerialNumberA", handle);
    KELVOX_CAMERA_INFO info{};
    info.size = sizeof info;
    if (!Kelvox_GetCameraInfo(handle, &info)) return Fail("Kelvox_GetCameraInfo", handle);
    std::printf("serial %s, %d x %d, gain %d..%d, exposure %.6f..%.6f s\n", serial, info.max_width, info.max_height,
                info.gain_min, info.gain_max, info.exposure_seconds_min, info.exposure_seconds_max);

    if (!Kelvox_SetCaptureWindowEx(handle, 1920, 320, 1280, 1200, 240, 720))
        return Fail("Kelvox_SetCaptureWindowEx", handle);
    if (!Kelvox_SetExposureTimeEx(handle, 0.01)) return Fail("Kelvox_SetExposureTimeEx", handle);
    int ok = 0;
    std::printf("capture window %d x %d, exposure %.6f s\n", Kelvox_Width(handle), Kelvox_Height(handle),
                Kelvox_GetExposureTimeEx(handle, &ok));
    std::printf("live capture is not part of this build yet\n");

    if (Kelvox_Release(handle) != 1) return Fail("Kelvox_Release", handle);
    KelvoxSim_Detach(camera);
    std::printf("session released\n");
    return 0;
}
