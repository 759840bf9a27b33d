// A camera's stored settings holding values of any type and size (hand-edited, written by another
// version, or damaged): opening, selecting and releasing the camera must cope with them.
// Input: a flag byte, then records of (group, value name, form, size, bytes) written into the
// store before the library reads it.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "platform/registry.h"
#include "settings/camera_store.h"

namespace {

struct Group {
    const char* key;  // below the camera's key; "" for the camera's key itself
    std::vector<const char*> names;
};

const Group kGroups[] = {
    {"", {"Size", "Color", "SubSample", "WaitTime", "Clock"}},
    {"\\Size_00", {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}},
    {"\\Size_01", {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}},
    {"\\Size_99", {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}},
    {"\\Gain",
     {"Global", "ColorG1", "ColorR", "ColorB", "ColorG2", "Exposure", "V_Mirror", "H_Mirror", "AutoIris", "GainMode",
      "BlackLevel", "ExposureEx"}},
    {"\\Filter",
     {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "R_Gain", "G_Gain", "B_Gain", "Gamma", "BayerMode"}},
    {"\\Gray", {"Mode", "GainR1", "GainG1", "GainG2", "GainB1", "OffsetR1", "OffsetG1", "OffsetG2", "OffsetB1"}},
};

// The store's text: the registry export format the per-user file uses.
std::string StoreText(FuzzedDataProvider& in, bool with_root) {
    std::map<std::string, std::string> keys;  // key path -> its value lines
    const std::string camera = kelvox::settings::CameraKey(0);
    keys[camera];
    while (in.remaining_bytes() > 0) {
        const Group& g = kGroups[in.ConsumeIntegralInRange<size_t>(0, std::size(kGroups) - 1)];
        const char* name = g.names[in.ConsumeIntegralInRange<size_t>(0, g.names.size() - 1)];
        const int form = in.ConsumeIntegralInRange(0, 3);  // dword, binary, string type, any type
        const size_t size = form == 0 ? 4 : in.ConsumeIntegralInRange<size_t>(0, 12);
        std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(size);
        bytes.resize(size);
        char type[16];
        std::snprintf(type, sizeof type, "hex(%x):", form == 3 ? in.ConsumeIntegral<uint8_t>() : 1u);
        std::string line = std::string("\"") + name + "\"=" + (form == 0 ? "hex(4):" : form == 1 ? "hex:" : type);
        for (size_t i = 0; i < bytes.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, i ? ",%02x" : "%02x", bytes[i]);
            line += hex;
        }
        keys[camera + g.key] += line + "\n";
    }
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    if (with_root) text += "[HKEY_CURRENT_USER\\" + std::string(kelvox::settings::kRootKey) + "]\n\n";
    for (const auto& [path, lines] : keys) text += "[HKEY_CURRENT_USER\\" + path + "]\n" + lines + "\n";
    return text;
}

// A frame into a buffer of the size the session says it needs, when that size is sane.
void SnapShot(int handle) {
    const long long width = Kelvox_Width(handle), height = Kelvox_Height(handle);
    const long long bits = Kelvox_GetColorMode(handle);
    if (width <= 0 || height <= 0 || bits <= 0 || width > 1920 || height > 1200 || bits > 64) return;
    const long long size = height * ((width * bits / 8 + 3) & ~3LL);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[static_cast<size_t>(size)]);
    Kelvox_SnapShot(handle, buffer.get(), static_cast<int>(size), 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string store = [] {
        fuzz::ScratchDirectory();
        KELVOX_SIM_CAMERA camera;
        KelvoxSim_DefaultCamera(&camera);
        camera.paced = 0;
        FUZZ_CHECK(KelvoxSim_Attach(&camera) >= 0);
        const std::string path = kelvox::platform::RegistryStorePath();
        mkdir(path.substr(0, path.rfind("/kelvox/")).c_str(), 0700);
        mkdir(path.substr(0, path.rfind('/')).c_str(), 0700);
        return path;
    }();
    FuzzedDataProvider in(data, size);
    const uint8_t flags = in.ConsumeIntegral<uint8_t>();
    const int width = in.ConsumeIntegral<int16_t>(), height = in.ConsumeIntegral<int16_t>();
    const std::string text = StoreText(in, !(flags & 1));
    fuzz::WriteFile(store, reinterpret_cast<const uint8_t*>(text.data()), text.size());

    const int handle = Kelvox_Initialize(nullptr);  // the one camera is opened and its settings read
    FUZZ_CHECK(handle != 0);
    Kelvox_SetDeviceNumber(handle, 0);
    if (flags & 2) Kelvox_SetCaptureWindow(handle, width, height);  // picks a stored size preset
    if (flags & 4) SnapShot(handle);
    FUZZ_CHECK(Kelvox_Release(handle) == 1);
    unlink(store.c_str());
    return 0;
}
