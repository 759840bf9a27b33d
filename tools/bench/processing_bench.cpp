// Milliseconds per 1920 x 1200 frame of the processing kernels and of the whole frame processing
// of each colour mode (the kernels on one thread, frames on KELVOX_PROCESSING_THREADS).
// Run by hand: build/native-release/bin/kelvox_processing_bench [--tsv]
// --tsv prints one line per measurement instead, "key<TAB>best ms<TAB>median ms" over 31 runs, for
// scripts (scripts/bench.sh) to line up with other measurements.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "api/handle_table.h"
#include "imaging/colour.h"
#include "imaging/colour_kernels.h"
#include "imaging/defect_mask.h"
#include "imaging/dib_image.h"
#include "imaging/nearest_scaler.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "session/session.h"

namespace {

using kelvox::imaging::DibImage;
using kelvox::imaging::PlaneOf;

constexpr int kWidth = 1920, kHeight = 1200;

bool tsv = false;
int repeats = 15;  // more with --tsv, whose median is compared with other programs' medians

struct Timing {
    double best = 0, median = 0;
};
Timing operator-(Timing a, Timing b) { return {a.best - b.best, a.median - b.median}; }

// Best and median of repeated runs after one warm-up run: this machine shares its cores, and the
// best run is the one least disturbed.
Timing Milliseconds(const std::function<void()>& run) {
    run();
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

// The human table's lines; nothing under --tsv.
void Human(const char* format, ...) {
    if (tsv) return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

// One measurement: its machine-readable line under --tsv, else the human line with the best time.
void Row(const std::string& key, Timing t, const char* format) {
    if (tsv) std::printf("%s\t%.4f\t%.4f\n", key.c_str(), t.best, t.median);
    else std::printf(format, t.best);
}
void Tsv(const std::string& key, Timing t) {
    if (tsv) std::printf("%s\t%.4f\t%.4f\n", key.c_str(), t.best, t.median);
}

void FillRandom(DibImage& image, unsigned seed, int shift = 0) {
    std::mt19937 random(seed);
    if (image.bytes_per_pixel() == 2 || image.bytes_per_pixel() >= 6) {
        auto* p = reinterpret_cast<uint16_t*>(image.pixels());
        for (size_t i = 0; i < image.size() / 2; ++i) p[i] = static_cast<uint16_t>((random() & 0xFFF) << shift);
    } else {
        for (size_t i = 0; i < image.size(); ++i) image.pixels()[i] = static_cast<uint8_t>(random());
    }
}

void Kernels() {
    DibImage raw8, raw16, out24, out48, copy24;
    raw8.Create(kWidth, kHeight, 8);
    raw16.Create(kWidth, kHeight, 16);
    out24.Create(kWidth, kHeight, 24);
    out48.Create(kWidth, kHeight, 48);
    copy24.Create(kWidth, kHeight, 24);
    FillRandom(raw8, 1);
    FillRandom(raw16, 2, 4);
    Human("kernels, 1920 x 1200:\n");
    Row("kernel/demosaic_8_24",
        Milliseconds([&] { kelvox::imaging::Demosaic(PlaneOf(raw8), PlaneOf(out24), 2, 100, 100); }),
        "  demosaic 8 -> 24 bits        %6.2f ms\n");
    Row("kernel/demosaic_16_48",
        Milliseconds([&] { kelvox::imaging::Demosaic(PlaneOf(raw16), PlaneOf(out48), 2, 100, 100); }),
        "  demosaic 16 -> 48 bits       %6.2f ms\n");
    kelvox::imaging::RowAdjustments hue;
    hue.hue_pass = true;
    hue.hue = 30;
    hue.saturation = 40;
    Row("kernel/demosaic_8_24_hue",
        Milliseconds([&] { kelvox::imaging::Demosaic(PlaneOf(raw8), PlaneOf(out24), 2, 100, 100, hue); }),
        "  demosaic 8 -> 24 with hue    %6.2f ms\n");
    const kelvox::imaging::KernelSet& baseline = kelvox::imaging::generic::kKernels;
    if (tsv) std::printf("# kernels for this processor: %s\n", kelvox::imaging::Kernels().name);
    else std::printf("  (kernels for this processor: %s)\n", kelvox::imaging::Kernels().name);
    Row("kernel/demosaic_8_24_baseline",
        Milliseconds([&] { baseline.demosaic(PlaneOf(raw8), PlaneOf(out24), 2, 128, 128, {}); }),
        "  demosaic 8 -> 24, baseline   %6.2f ms\n");
    Row("kernel/demosaic_16_48_baseline",
        Milliseconds([&] { baseline.demosaic(PlaneOf(raw16), PlaneOf(out48), 2, 128, 128, {}); }),
        "  demosaic 16 -> 48, baseline  %6.2f ms\n");
    Row("kernel/white_balance_8", Milliseconds([&] { kelvox::imaging::MeasureWhiteBalance(PlaneOf(raw8), 2); }),
        "  white balance (8-bit raw)    %6.2f ms\n");
    FillRandom(out24, 3);
    std::memcpy(copy24.pixels(), out24.pixels(), out24.size());
    auto restore = [&] { std::memcpy(out24.pixels(), copy24.pixels(), out24.size()); };
    const Timing copy = Milliseconds(restore);
    auto timed = [&](const char* key, const char* name, const std::function<void()>& op) {
        const Timing t = Milliseconds([&] { restore(), op(); }) - copy;
        Tsv(std::string("kernel/") + key, t);
        Human("  %-28s %6.2f ms\n", name, t.best);
    };
    timed("hue_saturation", "hue 30, saturation 40", [&] { kelvox::imaging::HueSaturation(PlaneOf(out24), 30, 40); });
    timed("hue_saturation_baseline", "hue, baseline", [&] {
        baseline.hue_saturation(PlaneOf(out24), {0, 100, 40 + 256, nullptr});
    });
    kelvox::imaging::PointTable gamma, contrast, brightness;
    gamma.Prepare(kelvox::imaging::PointOp::Gamma, 120, false);
    contrast.Prepare(kelvox::imaging::PointOp::Contrast, 20, false);
    brightness.Prepare(kelvox::imaging::PointOp::Brightness, 20, false);
    timed("gamma", "gamma 120", [&] { gamma.Apply(PlaneOf(out24)); });
    timed("contrast", "contrast 20", [&] { contrast.Apply(PlaneOf(out24)); });
    timed("sharpness", "sharpness 10", [&] { kelvox::imaging::Sharpen(PlaneOf(out24), 10); });
    timed("brightness", "brightness 20", [&] { brightness.Apply(PlaneOf(out24)); });

    // The adjustments as the pipeline runs them, per picture format.
    Human("adjustments per picture format (hue+saturation / gamma+contrast table / sharpness+brightness):\n");
    for (int bits : {24, 32, 48, 64}) {
        DibImage picture, original;
        picture.Create(kWidth, kHeight, bits);
        original.Create(kWidth, kHeight, bits);
        FillRandom(original, 4, 4);
        auto reset = [&] { std::memcpy(picture.pixels(), original.pixels(), picture.size()); };
        const Timing base = Milliseconds(reset);
        auto ms = [&](const std::function<void()>& op) { return Milliseconds([&] { reset(); op(); }) - base; };
        const bool wide = bits >= 48;
        kelvox::imaging::PointTable table;
        const kelvox::imaging::PointStep steps[] = {{kelvox::imaging::PointOp::Gamma, 120},
                                                    {kelvox::imaging::PointOp::Contrast, 20}};
        table.Prepare(steps, 2, wide);
        const Timing hue_saturation = ms([&] { kelvox::imaging::HueSaturation(PlaneOf(picture), 30, 40); });
        const Timing point_table = ms([&] { table.Apply(PlaneOf(picture)); });
        const Timing sharpen =
            ms([&] { kelvox::imaging::Sharpen(PlaneOf(picture), 10, kelvox::imaging::BrightnessFactor(20)); });
        const std::string key = "adjust/" + std::to_string(bits) + "/";
        Tsv(key + "hue_saturation", hue_saturation);
        Tsv(key + "table", point_table);
        Tsv(key + "sharpen_brightness", sharpen);
        Human("  %2d bits  %6.2f ms  %6.2f ms  %6.2f ms\n", bits, hue_saturation.best, point_table.best, sharpen.best);
    }
}

bool Pipelines() {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "BENCH-PROC");
    c.paced = 0;
    c.noise = 20;
    const int camera = KelvoxSim_Attach(&c);
    const int handle = Kelvox_Initialize(nullptr);
    kelvox::Session* session = kelvox::SessionOf(handle);
    if (camera < 0 || !session) {
        std::printf("could not open the simulated camera\n");
        return false;
    }
    // As the frame thread would: KELVOX_PROCESSING_THREADS or the processor's threads.
    session->StartBandWorkers(kelvox::imaging::BandWorkers::ConfiguredThreads());
    Human("whole frame processing, 1920 x 1200, %d threads (neutral / every adjustment on):\n",
          kelvox::imaging::BandWorkers::ConfiguredThreads());
    if (tsv) std::printf("# frame threads: %d\n", kelvox::imaging::BandWorkers::ConfiguredThreads());
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        Timing ms[2];
        for (int all = 0; all < 2; ++all) {
            const int v = all ? 1 : 0;
            Kelvox_SetColorMode(handle, bits);
            // Neutral values are those a camera without stored settings starts with.
            session->SetFilterValue(3, v * 30);    // hue
            session->SetFilterValue(4, v * 40);    // saturation
            session->SetFilterValue(11, all ? 120 : 100);  // gamma
            session->SetFilterValue(2, v * 20);    // contrast
            session->SetFilterValue(5, v * 10);    // sharpness
            session->SetFilterValue(1, v * 20);    // brightness
            session->SetFilterValue(10, v);        // automatic white balance
            if (!Kelvox_SnapShot(handle, nullptr, 0, 0)) {
                std::printf("snapshot failed, error %d\n", Kelvox_GetLastError(handle));
                return false;
            }
            ms[all] = Milliseconds([&] { session->ProcessFrame(); });
        }
        Tsv("frame/" + std::to_string(bits) + "/neutral", ms[0]);
        Tsv("frame/" + std::to_string(bits) + "/all", ms[1]);
        Human("  %2d bits  %6.2f ms  %6.2f ms\n", bits, ms[0].best, ms[1].best);
    }
    // Back to neutral: the release stores the settings for the next program to open the camera.
    for (int id : {1, 2, 3, 4, 5, 10}) session->SetFilterValue(id, 0);
    session->SetFilterValue(11, 100);
    Kelvox_Release(handle);
    KelvoxSim_Detach(camera);
    return true;
}

// The preview window's scaling of a full picture to common client sizes.
void PreviewScaling() {
    Human("preview scaling from 1920 x 1200:\n");
    for (const int bits : {24, 8}) {
        DibImage source;
        source.Create(kWidth, kHeight, bits);
        FillRandom(source, 4);
        for (const auto& [w, h] : {std::pair{960, 600}, std::pair{1280, 800}}) {
            DibImage display;
            display.Create(w, h, bits);
            kelvox::imaging::NearestScaler scaler;
            const Timing t = Milliseconds([&] { scaler.Scale(source, display); });
            Tsv("scale/" + std::to_string(bits) + "/" + std::to_string(w) + "x" + std::to_string(h), t);
            Human("  %2d bits to %4d x %3d        %6.2f ms\n", bits, w, h, t.best);
        }
    }
}

// The defect mask's corrections of a full frame: shading with random references, the defect
// correction with a few hundred marked pixels and with every pixel an outlier.
void MaskCorrections() {
    using namespace kelvox::imaging;
    Human("defect mask corrections, 1920 x 1200, each with a memcpy of the frame:\n");
    for (const KernelSet* set : RunnableKernelSets()) {
        Human("  %s kernels:\n", set->name);
        for (const int bits : {8, 16}) {
            DibImage dark, bright, raw, work, hot, dead, flags;
            for (DibImage* i : {&dark, &bright, &raw, &work, &hot, &dead, &flags}) i->Create(kWidth, kHeight, bits);
            FillRandom(dark, 5, 0);
            FillRandom(bright, 6, bits == 16 ? 4 : 0);
            FillRandom(raw, 7, bits == 16 ? 4 : 0);
            ShadingCorrection shading(*set);
            shading.Prepare(dark, bright);
            auto report = [&](const char* key, const char* label, Timing t) {
                Tsv(std::string("mask/") + set->name + "/" + std::to_string(bits) + "/" + key, t);
                Human("    %2d bits %s%6.2f ms\n", bits, label, t.best);
            };
            report("shading", "shading                ", Milliseconds([&] {
                       std::memcpy(work.pixels(), raw.pixels(), raw.size());
                       shading.Apply(work, 0, 0);
                   }));
            // A smooth picture with 300 marked pixels, then every pixel marked.
            std::memset(raw.pixels(), 40, raw.size());
            std::mt19937 random(8);
            for (int i = 0; i < 300; ++i) {
                DibImage& map = i % 2 ? hot : dead;
                map.row(2 + random() % (kHeight - 4))[(2 + random() % (kWidth - 4)) * (bits / 8)] = 1;
            }
            DefectCorrection defects(*set);
            const int threshold = bits == 8 ? kOutlierThreshold8 : kOutlierThreshold16;
            report("defects_300", "defects, 300 marked     ", Milliseconds([&] {
                       std::memcpy(work.pixels(), raw.pixels(), raw.size());
                       defects.Apply(work, 0, 0, hot, dead, flags, threshold);
                   }));
            // Noise where about half the pixels stand out from their neighbours.
            FillRandom(raw, 9, bits == 16 ? 4 : 0);
            report("defects_noisy", "defects, noisy picture  ", Milliseconds([&] {
                       std::memcpy(work.pixels(), raw.pixels(), raw.size());
                       defects.Apply(work, 0, 0, hot, dead, flags, threshold);
                   }));
            std::memset(hot.pixels(), 1, hot.size());
            report("defects_all", "defects, all marked     ", Milliseconds([&] {
                       std::memcpy(work.pixels(), raw.pixels(), raw.size());
                       defects.Apply(work, 0, 0, hot, dead, flags, threshold);
                   }));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tsv") == 0) {
            tsv = true;
            repeats = 31;
        } else {
            std::fprintf(stderr, "usage: %s [--tsv]\n", argv[0]);
            return 2;
        }
    }
    if (tsv) std::printf("# key\tbest ms\tmedian ms, of %d runs after a warm-up; kernels on one thread\n", repeats);
    Kernels();
    const bool processed = Pipelines();
    PreviewScaling();
    MaskCorrections();
    return processed ? 0 : 1;
}
