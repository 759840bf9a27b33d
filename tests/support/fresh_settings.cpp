// Every test starts without stored camera settings: the library keeps them per user, so one
// test (or an earlier run) would otherwise hand its settings to the next.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cstdlib>
#include <string>
#endif

namespace {

#ifdef _WIN32
void ClearStoredSettings() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorin\\DizoruDu403Z5Avo"); }
#else
// A store of this process's own, removed again at exit (kept on the heap: it must outlive the
// static destructors that run before the exit handler).
const std::string& StoreDirectory() {
    static const std::string* dir = [] {
        char pattern[] = "/tmp/kelvox-settings-XXXXXX";
        const char* made = mkdtemp(pattern);
        auto* d = new std::string(made ? made : "/tmp");
        setenv("XDG_CONFIG_HOME", d->c_str(), 1);
        if (made) std::atexit([] { std::system(("rm -rf '" + StoreDirectory() + "'").c_str()); });
        return d;
    }();
    return *dir;
}
void ClearStoredSettings() { unlink((StoreDirectory() + "/kelvox/registry.reg").c_str()); }
#endif

class FreshSettings : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { ClearStoredSettings(); }
};

// Each test program keeps a device table of its own (a program it starts inherits it), so
// suites can run side by side.
void UseOwnDeviceTable() {
    if (std::getenv("KELVOX_SIM_SHARED_SUFFIX")) return;
#ifdef _WIN32
    const std::string suffix = "-" + std::to_string(GetCurrentProcessId());
    _putenv_s("KELVOX_SIM_SHARED_SUFFIX", suffix.c_str());
#else
    setenv("KELVOX_SIM_SHARED_SUFFIX", ("-" + std::to_string(getpid())).c_str(), 1);
#endif
}

const bool installed = [] {
    UseOwnDeviceTable();
    testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings);
    return true;
}();

}  // namespace
