#pragma once
// Shared pieces of the transport tests: cameras attached for a test, and the peer program.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kelvox/kelvox_sim.h"
#include "platform/process_info.h"
#include "usb/fx3_controller.h"
#include "usb/transfer_record.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace kelvox_usb_test {

inline int Attach(const char* serial, unsigned short product_id = 0x3100, int paced = 0) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strncpy(c.serial, serial, sizeof c.serial - 1);
    c.product_id = product_id;
    c.paced = paced;
    return KelvoxSim_Attach(&c);
}

// Cameras unplugged when the test ends, whatever happens.
struct Cameras {
    std::vector<int> ids;
    int Add(const char* serial, unsigned short product_id = 0x3100) {
        const int id = Attach(serial, product_id);
        if (id >= 0) ids.push_back(id);
        return id;
    }
    ~Cameras() {
        for (int id : ids) KelvoxSim_Detach(id);
    }
};

inline KELVOX_SIM_STATS Stats(int id) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(id, &s);
    return s;
}

// A controller with one camera attached and selected, as the device layer leaves it after opening.
class SelectedController : public ::testing::Test {
protected:
    explicit SelectedController(const char* serial) : serial_(serial) {}
    void SetUp() override {
        id_ = cams_.Add(serial_);
        ASSERT_GE(id_, 0);
        ASSERT_EQ(controller_.EnumerateDevices(), 1);
        ASSERT_TRUE(controller_.SelectDevice(0));
    }
    const char* serial_;
    Cameras cams_;
    int id_ = -1;
    kelvox::usb::Fx3Controller controller_;
};

// Runs the peer program beside this test program; its exit code, or -1.
inline int RunPeer(const std::vector<std::string>& args) {
    std::string exe = kelvox::platform::ExecutablePath();
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "kelvox_table_peer";
#ifdef _WIN32
    std::string command = "\"" + exe + ".exe\"";
    for (const auto& a : args) command += " " + a;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
#else
    std::vector<char*> argv{exe.data()};
    std::vector<std::string> copies(args);
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
#endif
}

}  // namespace kelvox_usb_test
