// The configuration file loader on arbitrary files: every read file is taken, and the session's
// list is exactly the file's whole 8-byte records (two little-endian 32-bit values each).
#include <cstdlib>
#include <cstring>

#include "api/handle_table.h"
#include "fuzz_support.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "session/session.h"

namespace {

int32_t Le32(const uint8_t* p) {
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

int OpenSession() {
    fuzz::ScratchDirectory();
    KELVOX_SIM_CAMERA camera;
    KelvoxSim_DefaultCamera(&camera);
    camera.paced = 0;
    FUZZ_CHECK(KelvoxSim_Attach(&camera) >= 0);
    const int handle = Kelvox_Initialize(nullptr);
    FUZZ_CHECK(handle != 0);
    return handle;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int handle = OpenSession();
    static const std::string file = fuzz::ScratchFile("settings.cfg");
    fuzz::WriteFile(file, data, size);
    FUZZ_CHECK(Kelvox_LoadConfigFileA(handle, file.c_str()) == 1);
    const auto pairs = kelvox::SessionOf(handle)->config_pairs();
    FUZZ_CHECK(pairs.size() == size / 8);
    for (size_t i = 0; i < pairs.size(); ++i)
        FUZZ_CHECK(pairs[i].first == Le32(data + 8 * i) && pairs[i].second == Le32(data + 8 * i + 4));
    return 0;
}
