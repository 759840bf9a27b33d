// The defect mask through the DLL as a Windows host uses it: a hot pixel taken from a dark frame
// is corrected in later frames, and the references go through a mask file into another session.
#include <cstring>
#include <string>
#include <vector>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"

namespace {

struct Api {
    KELVOX_EXPORT(KelvoxSim_DefaultCamera);
    KELVOX_EXPORT(KelvoxSim_Attach);
    KELVOX_EXPORT(KelvoxSim_DetachAll);
    KELVOX_EXPORT(KelvoxSim_SetRawScene);
    KELVOX_EXPORT(Kelvox_Initialize);
    KELVOX_EXPORT(Kelvox_Release);
    KELVOX_EXPORT(Kelvox_GetLastError);
    KELVOX_EXPORT(Kelvox_SetColorMode);
    KELVOX_EXPORT(Kelvox_SnapShot);
    KELVOX_EXPORT(Kelvox_SetDotFilter);
    KELVOX_EXPORT(Kelvox_UpdateMaskData);
    KELVOX_EXPORT(Kelvox_SaveMaskFileW);
    KELVOX_EXPORT(Kelvox_LoadMaskFile);
};

std::vector<char> Bytes(const std::string& path) {
    std::vector<char> bytes;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(f, nullptr));
    DWORD got = 0;
    ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(f);
    bytes.resize(got);
    return bytes;
}

}  // namespace

TEST(DllMask, AHotPixelIsCorrectedAndTheReferencesTravelInAFile) {
    Api api;
    ASSERT_NE(api.Kelvox_UpdateMaskData, nullptr);
    KELVOX_SIM_CAMERA c;
    api.KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "WIN-MASK");
    c.paced = 0;
    c.photometric = 0;
    c.scene = KELVOX_SIM_SCENE_RAW;
    const int camera = api.KelvoxSim_Attach(&c);
    ASSERT_GE(camera, 0);
    int h = api.Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    ASSERT_EQ(api.Kelvox_SetColorMode(h, 8), 1);
    std::vector<unsigned char> frame(1920u * 1200u);
    auto snap = [&](int level, int hot) {
        std::vector<unsigned short> scene(1920u * 1200u, static_cast<unsigned short>(level * 16));
        scene[500u * 1920u + 700u] = static_cast<unsigned short>(hot * 16);
        EXPECT_EQ(api.KelvoxSim_SetRawScene(camera, scene.data(), 1920, 1200), 1);
        EXPECT_EQ(api.Kelvox_SnapShot(h, frame.data(), static_cast<int>(frame.size()), 1), 1);
        return static_cast<int>(frame[500u * 1920u + 700u]);
    };
    ASSERT_EQ(snap(0, 200), 200);
    ASSERT_EQ(api.Kelvox_UpdateMaskData(h, 0), 1);
    ASSERT_EQ(api.Kelvox_SetDotFilter(h, 1), 1);
    EXPECT_EQ(snap(50, 55), 50);

    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string first = std::string(dir) + "kelvox_a.msk", second = std::string(dir) + "kelvox_b.msk";
    ASSERT_EQ(api.Kelvox_SaveMaskFileW(h, std::wstring(first.begin(), first.end()).c_str()), 1);
    EXPECT_EQ(Bytes(first).size(), 13824040u);
    ASSERT_EQ(api.Kelvox_Release(h), 1);
    h = api.Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    ASSERT_EQ(api.Kelvox_LoadMaskFile(h, first.c_str()), 1);
    ASSERT_EQ(api.Kelvox_SaveMaskFileW(h, std::wstring(second.begin(), second.end()).c_str()), 1);
    EXPECT_EQ(Bytes(first), Bytes(second));
    ASSERT_EQ(api.Kelvox_SetColorMode(h, 8), 1);
    ASSERT_EQ(api.Kelvox_SetDotFilter(h, 1), 1);
    EXPECT_EQ(snap(50, 55), 50);  // the loaded map marks the pixel
    EXPECT_EQ(api.Kelvox_LoadMaskFile(h, (std::string(dir) + "kelvox_none.msk").c_str()), 0);
    EXPECT_EQ(api.Kelvox_GetLastError(h), KELVOX_ERR_MASK_FILE);
    EXPECT_EQ(api.Kelvox_Release(h), 1);
    api.KelvoxSim_DetachAll();
    DeleteFileA(first.c_str());
    DeleteFileA(second.c_str());
}
