// Milliseconds per 1920 x 1200 still-image save, for each format and colour mode, through
// Kelvox_SaveImage on a processed frame of the simulated camera's chart.
// Run by hand: flock /tmp/kelvox-device-table.lock build/native-release/bin/kelvox_save_bench [directory]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"

namespace {

// Best of repeated runs after one warm-up run: this machine shares its cores, and the best run is
// the one least disturbed.
template <class Run>
double Milliseconds(Run run, int repeats) {
    run();
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path() / "kelvox-save-bench";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "bench.img").string();

    KELVOX_SIM_CAMERA sim;
    KelvoxSim_DefaultCamera(&sim);
    std::strcpy(sim.serial, "SAVE-BENCH");
    sim.paced = 0;
    sim.noise = 8;  // a little sensor noise, as compressors meet it
    const int camera = KelvoxSim_Attach(&sim);
    const int handle = Kelvox_Initialize(nullptr);
    if (camera < 0 || handle == 0) {
        std::printf("no simulated camera\n");
        return 1;
    }
    const char* names[] = {"BMP", "raw", "JPEG 100", "JPEG 70", "JPEG 20", "PNG", "TIFF"};
    std::printf("ms per 1920 x 1200 save (best of 5), file %s\n\n%5s", file.c_str(), "bits");
    for (const char* n : names) std::printf(" %9s", n);
    std::printf("\n");
    const int all_bits[] = {8, 16, 24, 32, 48, 64};
    double kilobytes[6][7] = {};
    for (int b = 0; b < 6; ++b) {
        const int bits = all_bits[b];
        if (!Kelvox_SetColorMode(handle, bits) || !Kelvox_SnapShot(handle, nullptr, 0, 0)) {
            std::printf("snapshot failed, error %d\n", Kelvox_GetLastError(handle));
            return 1;
        }
        std::printf("%5d", bits);
        for (int format = 0; format <= 6; ++format) {
            bool ok = true;
            const double ms = Milliseconds([&] { ok = Kelvox_SaveImage(handle, file.c_str(), format) == 1 && ok; }, 5);
            if (ok) std::printf(" %9.1f", ms);
            else std::printf(" %9s", "failed");
            std::fflush(stdout);
            std::error_code error;
            kilobytes[b][format] = static_cast<double>(std::filesystem::file_size(file, error)) / 1024.0;
        }
        std::printf("\n");
    }
    std::printf("\nfile sizes, KiB\n%5s", "bits");
    for (const char* n : names) std::printf(" %9s", n);
    std::printf("\n");
    for (int b = 0; b < 6; ++b) {
        std::printf("%5d", all_bits[b]);
        for (int format = 0; format <= 6; ++format) std::printf(" %9.0f", kilobytes[b][format]);
        std::printf("\n");
    }
    std::filesystem::remove(file);
    Kelvox_Release(handle);
    KelvoxSim_Detach(camera);
    return 0;
}
