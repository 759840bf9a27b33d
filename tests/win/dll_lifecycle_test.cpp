// Handle lifecycle and error notification through the loaded DLL, as a host sees them.
#include "dll_host.h"

namespace {

using InitializeFn = int (*)(HWND);
using HandleFn = int (*)(int);
using VersionFn = int (*)();

struct Api {
    InitializeFn initialize = kelvox_test::Export<InitializeFn>("Kelvox_Initialize");
    HandleFn release = kelvox_test::Export<HandleFn>("Kelvox_Release");
    HandleFn last_error = kelvox_test::Export<HandleFn>("Kelvox_GetLastError");
    VersionFn version = kelvox_test::Export<VersionFn>("Kelvox_GetDllVersion");
    bool ok() const { return initialize && release && last_error && version; }
};

}  // namespace

TEST(DllLifecycle, VersionWithoutAnyHandle) {
    Api api;
    ASSERT_TRUE(api.ok());
    EXPECT_EQ(api.version(), 33096993);
}

TEST(DllLifecycle, HandleLivesFromInitializeToRelease) {
    Api api;
    ASSERT_TRUE(api.ok());
    const int h = api.initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(api.last_error(h), 0);
    EXPECT_EQ(api.release(h), 1);
    EXPECT_EQ(api.release(h), 0);
    EXPECT_EQ(api.last_error(h), 0);
    EXPECT_EQ(api.release(0), 0);
}

TEST(DllLifecycle, ManyHandlesWithARealNotificationWindow) {
    Api api;
    ASSERT_TRUE(api.ok());
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    int handles[8];
    for (int& h : handles) {
        h = api.initialize(window);
        ASSERT_NE(h, 0);
    }
    for (int i = 0; i < 8; ++i)
        for (int j = i + 1; j < 8; ++j) EXPECT_NE(handles[i], handles[j]);
    for (int h : handles) EXPECT_EQ(api.release(h), 1);
    // Initialisation raised nothing, so nothing was posted.
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, window, KELVOX_WM_ERROR, KELVOX_WM_ERROR, PM_REMOVE));
    DestroyWindow(window);
}
