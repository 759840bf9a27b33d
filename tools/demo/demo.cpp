// A host application of the SDK: opens a session, reports what it finds, and closes again.
#include <cstdio>

#include "kelvox/kelvox.h"

int main() {
    const int version = Kelvox_GetDllVersion();
    std::printf("Kelvox SDK, library version 0x%08X\n", static_cast<unsigned>(version));

    const int handle = Kelvox_Initialize(nullptr);
    if (handle == 0) {
        std::printf("Kelvox_Initialize failed\n");
        return 1;
    }
    std::printf("session handle %d\n", handle);
    if (const int error = Kelvox_GetLastError(handle)) {
        std::printf("initialisation reported error %d\n", error);
        Kelvox_Release(handle);
        return 1;
    }
    std::printf("no camera: camera enumeration is not part of this build yet\n");
    if (Kelvox_Release(handle) != 1) {
        std::printf("Kelvox_Release failed\n");
        return 1;
    }
    std::printf("session released\n");
    return 0;
}
