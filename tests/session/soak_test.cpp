// Start and stop every kind of capture many times, and initialise and release sessions with a
// running preview: nothing may pile up. Natively LeakSanitizer reports what leaks at exit and the
// process's threads and descriptors are counted; under Windows its kernel handles, GDI objects,
// threads and private bytes. The test command runs a few dozen cycles; KELVOX_SOAK=1 runs 1000
// per capture mode and 100 sessions (scripts/soak.sh).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "win/process_resources.h"
#else
#include <dirent.h>
#endif

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "unit/message_probe.h"

namespace {

struct Footprint {
    long handles = 0;  // kernel handles (Windows) or open descriptors
    long gdi = 0;
    long threads = 0;
    double private_mb = 0;
};

#ifdef _WIN32
Footprint Measure() {
    Footprint f;
    const kelvox_test::ProcessResources r = kelvox_test::ProcessResources::Measure();
    f.handles = r.handles;
    f.gdi = r.gdi_objects;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    for (BOOL more = Thread32First(snapshot, &t); more; more = Thread32Next(snapshot, &t))
        f.threads += t.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    PROCESS_MEMORY_COUNTERS_EX m{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
    // Wine reports no private usage; the commit charge is the nearest it has.
    f.private_mb = static_cast<double>(m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage) / (1 << 20);
    return f;
}
#else
long Entries(const char* dir) {
    long n = 0;
    if (DIR* d = opendir(dir)) {
        while (const dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}
Footprint Measure() {
    Footprint f;
    f.handles = Entries("/proc/self/fd");
    f.threads = Entries("/proc/self/task");
    if (std::FILE* s = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, s))
            if (std::strncmp(line, "VmRSS:", 6) == 0) f.private_mb = std::atof(line + 6) / 1024;
        std::fclose(s);
    }
    return f;
}
#endif

int Cycles(int quick, int soak) { return std::getenv("KELVOX_SOAK") ? soak : quick; }

void Report(const char* what, int cycles, const Footprint& a, const Footprint& b) {
    std::printf("soak %-38s %5d cycles: handles %ld -> %ld, GDI %ld -> %ld, threads %ld -> %ld, memory %.1f -> %.1f MB\n",
                what, cycles, a.handles, b.handles, a.gdi, b.gdi, a.threads, b.threads, a.private_mb, b.private_mb);
}

// The sanitizers keep freed memory in quarantine, so memory counts only without them (there
// LeakSanitizer finds what leaks).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryCounts = false;
#else
constexpr bool kMemoryCounts = true;
#endif

// A few objects that Wine makes on first use may appear once; one per cycle would be dozens.
void ExpectNothingPiledUp(const Footprint& before, const Footprint& after) {
    EXPECT_LE(after.handles, before.handles + 8);
    EXPECT_LE(after.gdi, before.gdi + 8);
    EXPECT_LE(after.threads, before.threads + 1);
    if (kMemoryCounts) {
        EXPECT_LE(after.private_mb, before.private_mb + 32);  // allocator caches, not a leak per cycle
    }
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override {
        kelvox_test::EnsureThreadQueue();
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "SOAK-1");
        c.paced = 0;
        ASSERT_GE(KelvoxSim_Attach(&c), 0);
        callback_ = kelvox_test::CreateProbeWindow();
    }
    void TearDown() override {
        KelvoxSim_DetachAll();
        kelvox_test::DestroyProbeWindow(callback_);
        kelvox_test::DrainPosted(nullptr);  // what sessions without a notification window posted here
        std::remove(avi_.c_str());
    }
    static int Open() {
        const int h = Kelvox_Initialize(nullptr);
        Kelvox_SetColorMode(h, 24);
        Kelvox_SetWaitTime(h, 0);
        Kelvox_SetCaptureWindowEx(h, 1920, 0, 320, 1200, 0, 240);
        return h;
    }
    void* callback_ = nullptr;
    std::vector<unsigned char> frame_ = std::vector<unsigned char>(320 * 240 * 3);
    std::string avi_ = testing::TempDir() + "kelvox-soak-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".avi";
};

}  // namespace

TEST_F(Soak, StartAndStopEveryKindOfCapture) {
    const int h = Open();
    ASSERT_EQ(Kelvox_SnapShot(h, frame_.data(), static_cast<int>(frame_.size()), 0), 1);  // first-time allocations
    void* window = callback_;
    unsigned char* frame = frame_.data();
    const int size = static_cast<int>(frame_.size());
    const std::string avi = avi_;
    const struct {
        const char* what;
        std::function<bool()> cycle;
    } kinds[] = {
        {"live preview with buffer and window",
         [=] {
             const bool ok = Kelvox_CallBackPreview(h, static_cast<KELVOX_HWND>(window), frame, size, 0) == 1;
             kelvox_test::DrainPosted(window);
             return Kelvox_StopPreview(h) == 1 && ok;
         }},
        {"live preview without buffer or window", [=] { return Kelvox_StartPreview(h) == 1 && Kelvox_StopPreview(h) == 1; }},
        {"prepared capture with a snapshot",
         [=] {
             return Kelvox_Capture(h) == 1 && Kelvox_SnapShot(h, frame, size, 0) == 1 && Kelvox_StopPreview(h) == 1;
         }},
        {"recording", [=] { return Kelvox_Record(h, avi.c_str(), 1, 0) == 1 && Kelvox_StopPreview(h) == 1; }},
    };
    const int cycles = Cycles(30, 1000);
    for (const auto& k : kinds) {
        k.cycle();  // the first round makes what every round reuses
        const Footprint before = Measure();
        int failures = 0;
        for (int i = 0; i < cycles; ++i) failures += !k.cycle();
        const Footprint after = Measure();
        Report(k.what, cycles, before, after);
        EXPECT_EQ(failures, 0) << k.what << ", error " << Kelvox_GetLastError(h);
        ExpectNothingPiledUp(before, after);
    }
    EXPECT_EQ(Kelvox_Release(h), 1);
}

TEST_F(Soak, SessionsReleasedWhilePreviewRuns) {
    auto session = [&] {
        const int h = Open();
        const bool ok = Kelvox_CallBackPreview(h, static_cast<KELVOX_HWND>(callback_), frame_.data(),
                                               static_cast<int>(frame_.size()), 0) == 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Kelvox_Release(h) == 1 && ok;  // with the preview still running
    };
    session();
    kelvox_test::DrainPosted(callback_);
    const Footprint before = Measure();
    const int cycles = Cycles(10, 100);
    int failures = 0;
    for (int i = 0; i < cycles; ++i) failures += !session();
    kelvox_test::DrainPosted(callback_);
    const Footprint after = Measure();
    Report("initialise, preview, release", cycles, before, after);
    EXPECT_EQ(failures, 0);
    ExpectNothingPiledUp(before, after);
}
