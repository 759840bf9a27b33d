// The fault matrix: every fault the simulated camera can inject (once, five times, for good) against
// each phase of a host's use of the library, through the public exports and the simulator's control
// API only. A cell passes when no export takes longer than 5 s, each failure carries an error code
// the library documents for it, and once the fault is cleared a snapshot on the same handle works.
//
//   kelvox_fault_matrix [--quick] [--markdown FILE]
//
// --quick runs the permanent rows and the open fault once (the test command's subset); --markdown rewrites the part of FILE between the lines
// <!-- matrix:begin --> and <!-- matrix:end --> (this machine's table; the other machine's table
// there is kept). Exit code 0 only when every cell passed.
//
// Expectations where the library leaves room, chosen as a host would expect them:
//  - Faults of the control path (vendor requests, I2C, FPGA busy, open) go in before a phase
//    starts; faults of the image endpoint (header, payload, stall) once the phase delivers frames.
//  - A start may fail under a control-path fault, but then with a documented code (a failed open
//    2, device I/O 6, capture window 7; a recording that cannot start 12). If it starts, frames or
//    an error must follow: a silent live preview is a failure.
//  - A permanent header or payload fault must surface: snapshots fail with 8, live preview posts a
//    frame message with error 8 or 13 (the capture gave up) or records it. A finite fault may
//    surface the same way or be absorbed by the retries, after which frames come again.
//  - A permanent stall surfaces as the snapshot's time-out (0 and 8, within 5 s). Live preview
//    reports a stalled pipe only after the capture's retries (about half a minute): the matrix asks
//    only that stopping it stays within 5 s.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCallLimitMs = 5000;      // what any export may take
constexpr int kWatchdogLimitMs = 10000; // beyond this the process is stuck: end it

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}
void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// ---- the watchdog: a hung export must end the run with a message, not hang the test ----

std::atomic<long long> g_call_started{0};
std::atomic<const char*> g_call_name{nullptr};
char g_cell_name[128] = "";

void StartWatchdog() {
    std::thread([] {
        for (;;) {
            SleepMs(200);
            const char* name = g_call_name.load();
            const long long started = g_call_started.load();
            if (name && started && NowMs() - started > kWatchdogLimitMs) {
                std::fprintf(stderr, "\nfault matrix: %s has not returned after %d s (cell: %s); aborting\n", name,
                             kWatchdogLimitMs / 1000, g_cell_name);
                std::fflush(stderr);
                std::abort();
            }
        }
    }).detach();
}

// ---- faults, injections, phases ----

struct Fault {
    int id;
    const char* name;
    bool control_path;  // injected before the phase (else while frames flow)
};
const Fault kFaults[] = {
    {KELVOX_SIM_FAULT_HEADER_READ, "header read", false}, {KELVOX_SIM_FAULT_PAYLOAD_READ, "payload read", false},
    {KELVOX_SIM_FAULT_CONTROL, "control request", true},  {KELVOX_SIM_FAULT_I2C_NACK, "I2C NACK", true},
    {KELVOX_SIM_FAULT_FPGA_BUSY, "FPGA busy", true},      {KELVOX_SIM_FAULT_OPEN, "open refused", true},
    {KELVOX_SIM_FAULT_STALL, "stalled read", false},
};
struct Injection {
    int count;
    const char* name;
};
const Injection kInjections[] = {{1, "once"}, {5, "5 times"}, {-1, "permanent"}};
const char* const kPhases[] = {"open + enum", "callback preview", "start preview", "capture + snapshot", "record"};
constexpr int kPhaseCount = 5;

// One cell's verdict: the first problem is what the table shows, all are listed below it.
struct Cell {
    std::vector<std::string> problems;
    long long slowest_ms = 0;
    std::string slowest_call;
    void Fail(const std::string& what) { problems.push_back(what); }
    bool ok() const { return problems.empty(); }
};
Cell* g_cell = nullptr;
int g_snapshots = 3;  // taken under the fault in the capture phase

// Every export goes through here: timed against the limit and watched.
template <class F>
auto Call(const char* name, F&& f) {
    g_call_started = NowMs();
    g_call_name = name;
    const long long t0 = NowMs();
    auto result = f();
    const long long ms = NowMs() - t0;
    g_call_name = nullptr;
    if (ms > g_cell->slowest_ms) {
        g_cell->slowest_ms = ms;
        g_cell->slowest_call = name;
    }
    if (ms > kCallLimitMs) g_cell->Fail(std::string(name) + " took " + std::to_string(ms) + " ms");
    return result;
}

// The whole error history, newest first.
std::vector<int> Errors(int h) {
    std::vector<int> codes;
    for (int i = 0; i < 25; ++i) {
        const int e = Call("Kelvox_GetLastError", [&] { return Kelvox_GetLastError(h); });
        if (e == 0) break;
        codes.push_back(e);
    }
    return codes;
}
bool Has(const std::vector<int>& v, int code) {
    for (int c : v)
        if (c == code) return true;
    return false;
}
std::string List(const std::vector<int>& v) {
    std::string s;
    for (int c : v) {
        if (!s.empty()) s += ',';
        s += std::to_string(c);
    }
    return s.empty() ? "none" : s;
}
// Every recorded code must be one the phase may give.
void CheckCodes(Cell& cell, const char* what, const std::vector<int>& got, std::initializer_list<int> allowed) {
    for (int c : got) {
        bool fine = false;
        for (int a : allowed) fine = fine || a == c;
        if (!fine) {
            cell.Fail(std::string(what) + ": unexpected error " + std::to_string(c));
            return;
        }
    }
}

// ---- message windows ----

struct Messages {
    int frames = 0;                 // frame messages with an image
    std::vector<long> errors;       // lParams of frame messages without one
};

#ifdef _WIN32
KELVOX_HWND MakeWindow() {
    static bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KelvoxFaultMatrix";
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExA(0, "KelvoxFaultMatrix", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}
void DestroyMessageWindow(KELVOX_HWND w) { DestroyWindow(w); }
void Pump(KELVOX_HWND w, Messages& m) {
    MSG msg;
    while (PeekMessageA(&msg, w, 0, 0, PM_REMOVE)) {
        if (msg.message != KELVOX_WM_FRAME) continue;
        if (msg.wParam) ++m.frames;
        else m.errors.push_back(static_cast<long>(msg.lParam));
    }
}
#else
KELVOX_HWND MakeWindow() { return KelvoxSim_CreateMessageWindow(); }
void DestroyMessageWindow(KELVOX_HWND w) { KelvoxSim_DestroyMessageWindow(w); }
void Pump(KELVOX_HWND w, Messages& m) {
    KELVOX_SIM_MSG msg;
    while (KelvoxSim_PeekMessage(w, &msg)) {
        if (msg.message != KELVOX_WM_FRAME) continue;
        if (msg.wParam) ++m.frames;
        else m.errors.push_back(static_cast<long>(msg.lParam));
    }
}
#endif

unsigned FramesSent(int camera) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(camera, &s);
    return s.frames_sent;
}

// ---- one cell ----

struct Rig {
    Rig(const Fault& f, const Injection& i) : fault(f), injection(i) {}
    const Fault& fault;
    const Injection& injection;
    int camera = -1;
    int handle = 0;
    std::vector<unsigned char> buffer;
    bool permanent() const { return injection.count < 0; }
    bool data_fault() const { return fault.id == KELVOX_SIM_FAULT_HEADER_READ || fault.id == KELVOX_SIM_FAULT_PAYLOAD_READ; }
    void Inject() { KelvoxSim_InjectFault(camera, fault.id, injection.count); }
};

int AttachCamera() {
    KELVOX_SIM_CAMERA cfg{};
    cfg.size = sizeof cfg;
    KelvoxSim_DefaultCamera(&cfg);
    std::snprintf(cfg.serial, sizeof cfg.serial, "FM-0001");
    cfg.scene = KELVOX_SIM_SCENE_RAMP;
    return KelvoxSim_Attach(&cfg);
}

// 8-bit frames without a preview window: the matrix is about the device path, not drawing.
bool Configure(Cell& cell, Rig& rig) {
    const int h = rig.handle;
    Call("Kelvox_SetColorMode", [&] { return Kelvox_SetColorMode(h, 8); });
    Call("Kelvox_SetPreviewWindow", [&] { return Kelvox_SetPreviewWindow(h, nullptr, 0, 0, 0, 0); });
    const int w = Call("Kelvox_Width", [&] { return Kelvox_Width(h); });
    const int ht = Call("Kelvox_Height", [&] { return Kelvox_Height(h); });
    if (w <= 0 || ht <= 0) {
        cell.Fail("no image size before the fault");
        return false;
    }
    rig.buffer.assign(static_cast<size_t>((w + 3) / 4 * 4) * ht, 0);
    return true;
}

// Opened on a healthy camera, before the fault.
bool OpenHealthy(Cell& cell, Rig& rig) {
    rig.handle = Call("Kelvox_Initialize", [] { return Kelvox_Initialize(nullptr); });
    if (!rig.handle) {
        cell.Fail("Kelvox_Initialize 0 without a fault");
        return false;
    }
    const std::vector<int> e = Errors(rig.handle);
    if (!e.empty()) {
        cell.Fail("errors " + List(e) + " opening without a fault");
        return false;
    }
    return Configure(cell, rig);
}

int Snap(Rig& rig) {
    return Call("Kelvox_SnapShot", [&] {
        return Kelvox_SnapShot(rig.handle, rig.buffer.data(), static_cast<int>(rig.buffer.size()), 0);
    });
}

// Polls the error history until one of `wanted` shows (collecting everything seen).
bool WaitForError(Rig& rig, std::vector<int>& seen, std::initializer_list<int> wanted, int timeout_ms) {
    const long long end = NowMs() + timeout_ms;
    for (;;) {
        for (int c : Errors(rig.handle)) seen.push_back(c);
        for (int w : wanted)
            if (Has(seen, w)) return true;
        if (NowMs() >= end) return false;
        SleepMs(50);
    }
}

void PhaseOpen(Cell& cell, Rig& rig) {
    rig.Inject();
    rig.handle = Call("Kelvox_Initialize", [] { return Kelvox_Initialize(nullptr); });
    if (!rig.handle) {
        cell.Fail("Kelvox_Initialize 0");
        return;
    }
    const int selected = Call("Kelvox_SetDeviceNumber", [&] { return Kelvox_SetDeviceNumber(rig.handle, 0); });
    const std::vector<int> errors = Errors(rig.handle);
    char names[10][256];
    const int listed = Call("Kelvox_EnumDevice", [&] { return Kelvox_EnumDevice(rig.handle, names); });
    const std::vector<int> enum_errors = Errors(rig.handle);
    CheckCodes(cell, "open", errors, {KELVOX_ERR_NO_CAMERA});
    CheckCodes(cell, "EnumDevice", enum_errors, {});
    if (selected == 0 && !Has(errors, KELVOX_ERR_NO_CAMERA))
        cell.Fail("SetDeviceNumber 0 without error 2 (errors " + List(errors) + ")");
    if (rig.fault.id == KELVOX_SIM_FAULT_OPEN) {
        if (rig.permanent() && selected != 0) cell.Fail("SetDeviceNumber 1 while the camera cannot be opened");
        if (rig.permanent() && listed != 0) cell.Fail("EnumDevice " + std::to_string(listed) + " while unopenable");
    } else {
        if (listed != 1) cell.Fail("EnumDevice " + std::to_string(listed));
        if (!rig.fault.control_path && selected != 1) cell.Fail("SetDeviceNumber 0 (errors " + List(errors) + ")");
    }
    if (selected == 1) Configure(cell, rig);
}

void PhaseCallbackPreview(Cell& cell, Rig& rig) {
    if (!OpenHealthy(cell, rig)) return;
    const KELVOX_HWND window = MakeWindow();
    Messages m;
    if (rig.fault.control_path) rig.Inject();
    const int started = Call("Kelvox_CallBackPreview", [&] {
        return Kelvox_CallBackPreview(rig.handle, window, rig.buffer.data(), static_cast<int>(rig.buffer.size()), 0);
    });
    if (!started) {
        const std::vector<int> e = Errors(rig.handle);
        if (!rig.fault.control_path) cell.Fail("CallBackPreview 0 without a fault");
        else if (e.empty()) cell.Fail("CallBackPreview 0 without an error");
        // A start that fails adds 8 after its reason.
        CheckCodes(cell, "CallBackPreview", e,
                   {KELVOX_ERR_NO_CAMERA, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_CAPTURE_WINDOW, KELVOX_ERR_FRAME});
        DestroyMessageWindow(window);
        return;
    }
    long long injected = NowMs();
    if (!rig.fault.control_path) {
        const long long end = NowMs() + 5000;
        while (m.frames == 0 && NowMs() < end) {
            Pump(window, m);
            SleepMs(5);
        }
        if (m.frames == 0) cell.Fail("no frame before the fault");
        rig.Inject();
        injected = NowMs();
    }
    // Watch until the outcome is clear: an error message, or frames well after the injection.
    const bool stall_forever = rig.fault.id == KELVOX_SIM_FAULT_STALL && rig.permanent();
    const int frames_before = m.frames;
    int frames_after_settle = 0;
    const long long settle = injected + 300;
    const long long end = injected + (stall_forever ? 1500 : 9000);
    while (NowMs() < end) {
        const int before = m.frames;
        Pump(window, m);
        if (NowMs() >= settle) frames_after_settle += m.frames - before;
        if (!stall_forever && !m.errors.empty()) break;
        if (!stall_forever && !(rig.permanent() && rig.data_fault()) && frames_after_settle >= 2) break;
        SleepMs(10);
    }
    Call("Kelvox_StopPreview", [&] { return Kelvox_StopPreview(rig.handle); });
    Pump(window, m);
    DestroyMessageWindow(window);
    std::vector<int> lparams(m.errors.begin(), m.errors.end());
    CheckCodes(cell, "frame message", lparams, {KELVOX_ERR_FRAME, KELVOX_ERR_DEVICE_LOST});
    CheckCodes(cell, "live preview", Errors(rig.handle),
               {KELVOX_ERR_NO_CAMERA, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_FRAME, KELVOX_ERR_DEVICE_LOST});
    if (stall_forever) return;
    if (rig.permanent() && rig.data_fault() && m.errors.empty())
        cell.Fail("no error message (" + std::to_string(m.frames - frames_before) + " frames after the fault)");
    else if (m.errors.empty() && frames_after_settle == 0)
        cell.Fail("silent: neither frames nor an error message");
}

void PhaseStartPreview(Cell& cell, Rig& rig) {
    if (!OpenHealthy(cell, rig)) return;
    if (rig.fault.control_path) rig.Inject();
    const int started = Call("Kelvox_StartPreview", [&] { return Kelvox_StartPreview(rig.handle); });
    if (!started) {
        const std::vector<int> e = Errors(rig.handle);
        if (!rig.fault.control_path) cell.Fail("StartPreview 0 without a fault");
        else if (e.empty()) cell.Fail("StartPreview 0 without an error");
        CheckCodes(cell, "StartPreview", e, {KELVOX_ERR_NO_CAMERA, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_CAPTURE_WINDOW});
        return;
    }
    // Without messages, the frames the camera handed over show that the preview reads.
    if (!rig.fault.control_path) {
        const unsigned sent = FramesSent(rig.camera);
        const long long end = NowMs() + 5000;
        while (FramesSent(rig.camera) == sent && NowMs() < end) SleepMs(5);
        if (FramesSent(rig.camera) == sent) cell.Fail("no frame before the fault");
        rig.Inject();
    }
    std::vector<int> seen;
    const bool stall_forever = rig.fault.id == KELVOX_SIM_FAULT_STALL && rig.permanent();
    if (stall_forever) {
        SleepMs(1500);
    } else if (rig.permanent() && rig.data_fault()) {
        if (!WaitForError(rig, seen, {KELVOX_ERR_FRAME, KELVOX_ERR_DEVICE_LOST}, 9000))
            cell.Fail("no error recorded (errors " + List(seen) + ")");
    } else {
        SleepMs(300);
        const unsigned sent = FramesSent(rig.camera);
        const long long end = NowMs() + 8000;
        bool surfaced = false;
        while (FramesSent(rig.camera) < sent + 2 && NowMs() < end && !surfaced) {
            surfaced = WaitForError(rig, seen, {KELVOX_ERR_FRAME, KELVOX_ERR_DEVICE_LOST}, 0);
            SleepMs(10);
        }
        if (!surfaced && FramesSent(rig.camera) < sent + 2) cell.Fail("silent: no frames and no error");
    }
    Call("Kelvox_StopPreview", [&] { return Kelvox_StopPreview(rig.handle); });
    for (int c : Errors(rig.handle)) seen.push_back(c);
    CheckCodes(cell, "live preview", seen,
               {KELVOX_ERR_NO_CAMERA, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_FRAME, KELVOX_ERR_DEVICE_LOST});
}

void PhaseCapture(Cell& cell, Rig& rig) {
    if (!OpenHealthy(cell, rig)) return;
    if (rig.fault.control_path) rig.Inject();
    const int prepared = Call("Kelvox_Capture", [&] { return Kelvox_Capture(rig.handle); });
    if (!prepared) {
        const std::vector<int> e = Errors(rig.handle);
        if (!rig.fault.control_path) cell.Fail("Capture 0 without a fault");
        else if (e.empty()) cell.Fail("Capture 0 without an error");
        CheckCodes(cell, "Capture", e, {KELVOX_ERR_NO_CAMERA, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_CAPTURE_WINDOW});
    }
    if (!rig.fault.control_path) {
        if (Snap(rig) != 1) cell.Fail("snapshot failed before the fault");
        Errors(rig.handle);
        rig.Inject();
    }
    const bool opening = rig.fault.id == KELVOX_SIM_FAULT_OPEN;
    int last = 0;
    // A finite fault may outlast the first snapshots (each takes several opens and reads): more
    // follow until one works.
    const int attempts = rig.permanent() ? g_snapshots : 8;
    for (int i = 0; i < attempts && !(i >= g_snapshots && last == 1); ++i) {
        last = Snap(rig);
        const std::vector<int> e = Errors(rig.handle);
        if (last == 1) {
            if (rig.permanent() && (rig.data_fault() || rig.fault.id == KELVOX_SIM_FAULT_STALL || opening))
                cell.Fail("snapshot 1 under a permanent fault");
            continue;
        }
        // A broken or stalled read is error 8; a camera that cannot be opened, 2.
        if (opening && !Has(e, KELVOX_ERR_NO_CAMERA) && !Has(e, KELVOX_ERR_FRAME))
            cell.Fail("snapshot 0 with errors " + List(e) + ", not 2");
        else if (!opening && !Has(e, KELVOX_ERR_FRAME) && !rig.fault.control_path)
            cell.Fail("snapshot 0 with errors " + List(e) + ", not 8");
        else if (e.empty())
            cell.Fail("snapshot 0 without an error");
        CheckCodes(cell, "SnapShot", e,
                   {KELVOX_ERR_NO_CAMERA, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_CAPTURE_WINDOW, KELVOX_ERR_FRAME});
        if (!cell.ok()) break;
    }
    if (!rig.permanent() && last != 1) cell.Fail("snapshots still fail after the fault has passed");
}

void PhaseRecord(Cell& cell, Rig& rig, const std::string& path) {
    if (!OpenHealthy(cell, rig)) return;
    if (rig.fault.control_path) rig.Inject();
    const int started = Call("Kelvox_Record", [&] { return Kelvox_Record(rig.handle, path.c_str(), 500, 0); });
    std::vector<int> seen;
    if (!started) {
        seen = Errors(rig.handle);
        if (!rig.fault.control_path) cell.Fail("Record 0 without a fault");
        else if (!Has(seen, KELVOX_ERR_CONVERT)) cell.Fail("Record 0 with errors " + List(seen) + ", not 12");
        CheckCodes(cell, "Record", seen,
                   {KELVOX_ERR_NO_CAMERA, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_CAPTURE_WINDOW, KELVOX_ERR_CONVERT});
        return;
    }
    if (!rig.fault.control_path) {
        SleepMs(200);
        rig.Inject();
    }
    if (rig.permanent() && rig.data_fault()) {
        if (!WaitForError(rig, seen, {KELVOX_ERR_FRAME, KELVOX_ERR_DEVICE_LOST}, 9000))
            cell.Fail("no error recorded (errors " + List(seen) + ")");
    } else {
        SleepMs(900);  // past the recording's half second
    }
    Call("Kelvox_StopPreview", [&] { return Kelvox_StopPreview(rig.handle); });
    for (int c : Errors(rig.handle)) seen.push_back(c);
    CheckCodes(cell, "recording", seen,
               {KELVOX_ERR_NO_CAMERA, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_FRAME, KELVOX_ERR_DEVICE_LOST,
                KELVOX_ERR_CONVERT});
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) cell.Fail("no recording file");
}

// After the fault is cleared the same handle must take a snapshot again. Where the phase left no
// camera open, the host looks for cameras again (Kelvox_EnumDevice) and selects it: the library
// learns of a camera that has become free only when it enumerates.
void Recover(Cell& cell, Rig& rig) {
    KelvoxSim_InjectFault(rig.camera, rig.fault.id, 0);
    if (!rig.handle) return;
    Call("Kelvox_StopPreview", [&] { return Kelvox_StopPreview(rig.handle); });
    Errors(rig.handle);
    if (rig.buffer.empty()) {
        char names[10][256];
        Call("Kelvox_EnumDevice", [&] { return Kelvox_EnumDevice(rig.handle, names); });
        if (Call("Kelvox_SetDeviceNumber", [&] { return Kelvox_SetDeviceNumber(rig.handle, 0); }) != 1) {
            cell.Fail("no recovery: SetDeviceNumber 0 (errors " + List(Errors(rig.handle)) + ")");
            return;
        }
        if (!Configure(cell, rig)) return;
    }
    if (Snap(rig) != 1) {
        const std::vector<int> e = Errors(rig.handle);
        Call("Kelvox_Release", [&] { return Kelvox_Release(rig.handle); });
        rig.handle = Call("Kelvox_Initialize", [] { return Kelvox_Initialize(nullptr); });
        const bool reopened = rig.handle && Configure(cell, rig) && Snap(rig) == 1;
        cell.Fail("no recovery: snapshot 0 (errors " + List(e) + ")" +
                  (reopened ? ", a new handle works" : ", nor with a new handle"));
    }
}

void RunCell(Cell& cell, const Fault& fault, const Injection& injection, int phase, const std::string& dir) {
    g_cell = &cell;
    Rig rig(fault, injection);
    rig.camera = AttachCamera();
    if (rig.camera < 0) {
        cell.Fail("cannot attach a camera");
        return;
    }
    const std::string path = dir + "/fault_matrix_" + std::to_string(phase) + ".avi";
    switch (phase) {
        case 0: PhaseOpen(cell, rig); break;
        case 1: PhaseCallbackPreview(cell, rig); break;
        case 2: PhaseStartPreview(cell, rig); break;
        case 3: PhaseCapture(cell, rig); break;
        default: PhaseRecord(cell, rig, path); break;
    }
    Recover(cell, rig);
    if (rig.handle && Call("Kelvox_Release", [&] { return Kelvox_Release(rig.handle); }) != 1)
        cell.Fail("Kelvox_Release 0");
    KelvoxSim_DetachAll();
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// ---- reporting ----

std::string Machine() {
#ifdef _WIN32
    using WineVersion = const char*(__cdecl*)();
    if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
        auto wine = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
        if (wine) return std::string("Windows DLL under Wine ") + wine();
    }
    return "Windows";
#else
    return "Linux, native build";
#endif
}

bool IsWine() { return Machine().find("Wine") != std::string::npos; }

struct Result {
    const Fault* fault;
    const Injection* injection;
    Cell cells[kPhaseCount];
};

std::string CellText(const Cell& c) { return c.ok() ? "ok" : c.problems.front(); }

std::string Slowest(const std::vector<Result>& results) {
    long long slowest = 0;
    std::string where;
    for (const Result& r : results)
        for (int i = 0; i < kPhaseCount; ++i)
            if (r.cells[i].slowest_ms > slowest) {
                slowest = r.cells[i].slowest_ms;
                where = r.cells[i].slowest_call + " (" + r.fault->name + ", " + r.injection->name + ", " + kPhases[i] + ")";
            }
    return "Slowest export call: " + std::to_string(slowest) + " ms, " + where + ".";
}

std::string TextTable(const std::vector<Result>& results) {
    std::ostringstream out;
    char line[512];
    std::snprintf(line, sizeof line, "%-16s %-10s", "fault", "injection");
    out << line;
    for (const char* p : kPhases) {
        std::snprintf(line, sizeof line, " | %-18s", p);
        out << line;
    }
    out << "\n";
    for (const Result& r : results) {
        std::snprintf(line, sizeof line, "%-16s %-10s", r.fault->name, r.injection->name);
        out << line;
        for (const Cell& c : r.cells) {
            std::snprintf(line, sizeof line, " | %-18s", CellText(c).c_str());
            out << line;
        }
        out << "\n";
    }
    return out.str();
}

std::string MarkdownTable(const std::vector<Result>& results, bool quick, double seconds) {
    std::ostringstream out;
    char date[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    out << "Run " << date << " on " << Machine() << (quick ? " (quick subset)" : "") << ", " << static_cast<int>(seconds)
        << " s.\n\n| fault | injection |";
    for (const char* p : kPhases) out << " " << p << " |";
    out << "\n|---|---|";
    for (int i = 0; i < kPhaseCount; ++i) out << "---|";
    out << "\n";
    for (const Result& r : results) {
        out << "| " << r.fault->name << " | " << r.injection->name << " |";
        for (int i = 0; i < kPhaseCount; ++i) out << " " << CellText(r.cells[i]) << " |";
        out << "\n";
    }
    out << "\n" << Slowest(results) << "\n";
    return out.str();
}

const char* const kIntro =
    "Generated by `tools/reliability/fault_matrix.cpp`; do not edit by hand. Rows: each fault of the\n"
    "simulated camera, injected once, 5 times or permanently; columns: the phases of a host's use of the\n"
    "library. A cell is `ok` when no export took more than 5 s, every failure carried the error code the\n"
    "library documents for it, and after the fault was cleared a snapshot on the same handle worked.\n"
    "Control-path faults (control request, I2C, FPGA busy, open) are injected before the phase, image\n"
    "endpoint faults (header, payload, stall) while it delivers frames.\n\n"
    "Rerun (from the repository root):\n\n"
    "```sh\n"
    "cmake --build --preset native --target kelvox_fault_matrix\n"
    "build/native/bin/kelvox_fault_matrix --markdown docs/reliability.md\n"
    "cmake --build --preset win-sim --target kelvox_fault_matrix\n"
    "rm -rf /tmp/wp-matrix && cp -a build/wineprefix /tmp/wp-matrix\n"
    "export WINEPREFIX=/tmp/wp-matrix WINEDEBUG=-all\n"
    "xvfb-run -a -s \"-screen 0 1920x1200x24\" scripts/wine-run.sh build/win-sim/bin/kelvox_fault_matrix.exe \\\n"
    "    --markdown docs/reliability.md\n"
    "/usr/lib/wine/wineserver -k\n"
    "```\n\n"
    "`--quick` (the subset `./kelvox.sh test` runs, as ctest entries `fault_matrix_quick` and\n"
    "`win_fault_matrix_quick`) keeps the permanent rows and the open fault once.\n";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

// Rewrites only the lines between the matrix markers; inside them, only this machine's block.
bool WriteMarkdown(const std::string& file, const std::string& table) {
    const std::string begin = "<!-- matrix:begin -->", end = "<!-- matrix:end -->";
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        if (in) {
            std::ostringstream s;
            s << in.rdbuf();
            text = s.str();
        } else {
            text = "# Reliability\n\n";
        }
    }
    std::vector<std::string> lines = Lines(text);
    size_t b = lines.size(), e = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == begin && b == lines.size()) b = i;
        else if (lines[i] == end && b != lines.size()) {
            e = i;
            break;
        }
    }
    if (b == lines.size() || e == lines.size()) {  // no section yet: one at the end
        if (!lines.empty() && !lines.back().empty()) lines.push_back("");
        lines.push_back(begin);
        lines.push_back(end);
        b = lines.size() - 2;
        e = lines.size() - 1;
    }
    // The other machine's block is kept as it is.
    const std::string mine = IsWine() ? "wine" : "native";
    const std::string other = IsWine() ? "native" : "wine";
    auto block = [&](const std::string& name) {
        std::vector<std::string> kept;
        bool in = false;
        for (size_t i = b + 1; i < e; ++i) {
            if (lines[i] == "<!-- matrix:" + name + " -->") in = true;
            if (in) kept.push_back(lines[i]);
            if (lines[i] == "<!-- matrix:" + name + ":end -->") in = false;
        }
        return kept;
    };
    std::vector<std::string> own;
    own.push_back("<!-- matrix:" + mine + " -->");
    own.push_back(std::string("### ") + (IsWine() ? "Windows DLL under Wine" : "Linux, native build"));
    own.push_back("");
    for (const std::string& l : Lines(table)) own.push_back(l);
    own.push_back("<!-- matrix:" + mine + ":end -->");
    const std::vector<std::string> theirs = block(other);
    std::vector<std::string> section = Lines(kIntro);
    section.push_back("");
    const std::vector<std::string>& first = IsWine() ? theirs : own;
    const std::vector<std::string>& second = IsWine() ? own : theirs;
    for (const auto& l : first) section.push_back(l);
    if (!first.empty() && !second.empty()) section.push_back("");
    for (const auto& l : second) section.push_back(l);

    std::vector<std::string> out(lines.begin(), lines.begin() + static_cast<long>(b) + 1);
    out.insert(out.end(), section.begin(), section.end());
    out.insert(out.end(), lines.begin() + static_cast<long>(e), lines.end());
    std::ofstream o(file, std::ios::binary | std::ios::trunc);
    for (const auto& l : out) o << l << "\n";
    return static_cast<bool>(o);
}

// ---- the process's own simulated device table and settings ----

void Isolate() {
#ifdef _WIN32
    const std::string suffix = "-matrix-" + std::to_string(GetCurrentProcessId());
    _putenv_s("KELVOX_SIM_SHARED_SUFFIX", suffix.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorin\\DizoruDu403Z5Avo");
#else
    setenv("KELVOX_SIM_SHARED_SUFFIX", ("-matrix-" + std::to_string(getpid())).c_str(), 1);
    static std::string dir = [] {
        char pattern[] = "/tmp/kelvox-matrix-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    std::atexit([] {
        std::error_code ec;
        if (dir != "/tmp") std::filesystem::remove_all(dir, ec);
    });
#endif
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    std::string markdown;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quick") {
            quick = true;
            g_snapshots = 2;
        }
        else if (a == "--markdown" && i + 1 < argc) markdown = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--quick] [--markdown FILE]\n", argv[0]);
            return 2;
        }
    }
    Isolate();
    StartWatchdog();
    std::error_code ec;
    const std::string dir = std::filesystem::temp_directory_path(ec).string();

    std::printf("fault matrix on %s%s\n", Machine().c_str(), quick ? " (quick)" : "");
    const long long t0 = NowMs();
    std::vector<Result> results;
    int failed = 0;
    for (const Fault& f : kFaults) {
        for (const Injection& inj : kInjections) {
            // Transient faults mostly show the retries absorbing them; the permanent ones are the test.
            if (quick && inj.count >= 0 && !(inj.count == 1 && f.id == KELVOX_SIM_FAULT_OPEN)) continue;
            Result r{&f, &inj, {}};
            std::string times;
            for (int p = 0; p < kPhaseCount; ++p) {
                std::snprintf(g_cell_name, sizeof g_cell_name, "%s, %s, %s", f.name, inj.name, kPhases[p]);
                const long long started = NowMs();
                RunCell(r.cells[p], f, inj, p, dir.empty() ? "." : dir);
                if (!r.cells[p].ok()) ++failed;
                char t[16];
                std::snprintf(t, sizeof t, " %.1f", (NowMs() - started) / 1000.0);
                times += t;
            }
            std::printf("  %-16s %-10s cells%s s (%.0f s in all)\n", f.name, inj.name, times.c_str(),
                        (NowMs() - t0) / 1000.0);
            std::fflush(stdout);
            results.push_back(std::move(r));
        }
    }
    const double seconds = (NowMs() - t0) / 1000.0;
    std::printf("\n%s\n", TextTable(results).c_str());
    for (const Result& r : results)
        for (int p = 0; p < kPhaseCount; ++p)
            for (const std::string& problem : r.cells[p].problems)
                std::printf("  %s, %s, %s: %s\n", r.fault->name, r.injection->name, kPhases[p], problem.c_str());
    if (!markdown.empty() && !WriteMarkdown(markdown, MarkdownTable(results, quick, seconds))) {
        std::fprintf(stderr, "cannot write %s\n", markdown.c_str());
        return 1;
    }
    std::printf("%s\n%d of %zu cells failed in %.1f s\n", Slowest(results).c_str(), failed, results.size() * kPhaseCount, seconds);
    if (failed == 0) std::printf("fault matrix: all cells passed\n");
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
