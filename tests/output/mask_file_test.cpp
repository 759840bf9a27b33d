// The defect mask's reference frames through the exports: updates from raw frames at both depths,
// the mask file's bytes, save and load round trips, refusals that change nothing, and a short
// fuzz run of the loader.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "output/image_readers.h"

namespace fs = std::filesystem;
using kelvox_test::FileBytes;

namespace {

constexpr size_t kFileBytes = 13824040;
constexpr size_t kDark8 = 40, kBright8 = 2304040, kDark16 = 4608040, kBright16 = 9216040;

class MaskFile : public ::testing::Test {
protected:
    void SetUp() override {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "MASK-1");
        c.paced = 0;
        c.photometric = 0;
        c.scene = KELVOX_SIM_SCENE_RAW;
        camera_ = KelvoxSim_Attach(&c);
        ASSERT_GE(camera_, 0);
        handle_ = Kelvox_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Kelvox_GetLastError(handle_), 0);
        dir_ = fs::temp_directory_path() / ("kelvox-mask-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        EXPECT_EQ(Kelvox_Release(handle_), 1);
        KelvoxSim_DetachAll();
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // The raw frame of a scene (seeded) at a depth, top row first, as the snapshot gives it.
    std::vector<uint8_t> Snap(unsigned seed, int bits) {
        std::vector<unsigned short> scene(1920u * 1200u);
        for (size_t i = 0; i < scene.size(); ++i) scene[i] = static_cast<unsigned short>((i * 2654435761u + seed * 977) >> 20 & 0xFFF);
        EXPECT_EQ(KelvoxSim_SetRawScene(camera_, scene.data(), 1920, 1200), 1);
        EXPECT_EQ(Kelvox_SetColorMode(handle_, bits), 1);
        std::vector<uint8_t> frame(1920u * 1200u * (bits / 8));
        EXPECT_EQ(Kelvox_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1);
        return frame;
    }
    std::vector<uint8_t> Saved(const std::string& name) {
        EXPECT_EQ(Kelvox_SaveMaskFile(handle_, Path(name).c_str()), 1);
        return FileBytes(Path(name));
    }

    int camera_ = -1, handle_ = 0;
    fs::path dir_;
};

bool Equal(const std::vector<uint8_t>& file, size_t at, const std::vector<uint8_t>& frame) {
    return file.size() >= at + frame.size() && std::memcmp(file.data() + at, frame.data(), frame.size()) == 0;
}
bool AllBytes(const std::vector<uint8_t>& file, size_t at, size_t size, uint8_t value) {
    return std::all_of(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + size),
                       [&](uint8_t b) { return b == value; });
}

}  // namespace

TEST_F(MaskFile, UpdatesAreSavedAndLoadedBack) {
    const std::vector<uint8_t> initial = Saved("initial.msk");
    ASSERT_EQ(initial.size(), kFileBytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(initial.data())), "QUORIN MASK1000");
    EXPECT_EQ(initial[15], 0);
    const uint32_t fields[6] = {1920, 1200, 2304000, 2304000, 4608000, 4608000};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(kelvox_test::Le32(&initial[16 + 4 * i]), fields[i]);
    EXPECT_TRUE(AllBytes(initial, kDark8, 2304000, 0));
    EXPECT_TRUE(AllBytes(initial, kBright8, 2304000, 255));
    EXPECT_TRUE(AllBytes(initial, kDark16, 4608000, 0));
    EXPECT_TRUE(AllBytes(initial, kBright16, 4608000, 255));

    const std::vector<uint8_t> dark8 = Snap(1, 8);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 0), 1);
    const std::vector<uint8_t> bright8 = Snap(2, 8);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 1), 1);
    const std::vector<uint8_t> dark16 = Snap(3, 16);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 0), 1);
    const std::vector<uint8_t> bright16 = Snap(4, 16);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 1), 1);
    const std::vector<uint8_t> saved = Saved("a.msk");
    EXPECT_TRUE(Equal(saved, kDark8, dark8));
    EXPECT_TRUE(Equal(saved, kBright8, bright8));
    EXPECT_TRUE(Equal(saved, kDark16, dark16));
    EXPECT_TRUE(Equal(saved, kBright16, bright16));

    // A new session starts from the initial references; loading restores the saved ones.
    ASSERT_EQ(Kelvox_Release(handle_), 1);
    handle_ = Kelvox_Initialize(nullptr);
    ASSERT_NE(handle_, 0);
    EXPECT_EQ(Saved("fresh.msk"), initial);
    const std::string wide_name = Path("a.msk");
    ASSERT_EQ(Kelvox_LoadMaskFileW(handle_, std::wstring(wide_name.begin(), wide_name.end()).c_str()), 1);
    EXPECT_EQ(Saved("b.msk"), saved);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(MaskFile, RefusalsChangeNothing) {
    Snap(5, 8);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 0), 1);
    const std::vector<uint8_t> valid = Saved("valid.msk");
    auto variant = [&](const std::string& name, const std::function<void(std::vector<uint8_t>&)>& change) {
        std::vector<uint8_t> bytes = valid;
        change(bytes);
        std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
        return Path(name);
    };
    auto put = [](std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    const std::wstring unconvertible = L"\x4E00.msk";
    const struct {
        const char* what;
        std::function<int()> call;
        int code;
    } cases[] = {
        {"missing", [&] { return Kelvox_LoadMaskFile(handle_, Path("none.msk").c_str()); }, KELVOX_ERR_MASK_FILE},
        {"empty name", [&] { return Kelvox_LoadMaskFile(handle_, ""); }, KELVOX_ERR_MASK_FILE},
        {"a folder", [&] { return Kelvox_LoadMaskFile(handle_, dir_.string().c_str()); }, KELVOX_ERR_MASK_FILE},
        {"one byte short", [&] {
             return Kelvox_LoadMaskFile(handle_, variant("short.msk", [](auto& b) { b.pop_back(); }).c_str());
         }, KELVOX_ERR_MASK_FILE},
        {"wrong magic", [&] {
             return Kelvox_LoadMaskFile(handle_, variant("magic.msk", [](auto& b) { b[14] = '1'; }).c_str());
         }, KELVOX_ERR_MASK_FILE},
        {"magic without its NUL", [&] {
             return Kelvox_LoadMaskFile(handle_, variant("nul.msk", [](auto& b) { b[15] = ' '; }).c_str());
         }, KELVOX_ERR_MASK_FILE},
        {"height 1080", [&] {
             return Kelvox_LoadMaskFile(handle_, variant("1080.msk", [&](auto& b) { put(b, 20, 1080); }).c_str());
         }, KELVOX_ERR_MASK_FILE},
        {"negative width", [&] {
             return Kelvox_LoadMaskFile(handle_, variant("neg.msk", [&](auto& b) { put(b, 16, 0xFFFFF880u); }).c_str());
         }, KELVOX_ERR_MASK_FILE},
        {"huge frame size", [&] {
             return Kelvox_LoadMaskFile(handle_, variant("huge.msk", [&](auto& b) { put(b, 32, 0x7FFFFFFFu); }).c_str());
         }, KELVOX_ERR_MASK_FILE},
        {"wide name not in the code page", [&] { return Kelvox_LoadMaskFileW(handle_, unconvertible.c_str()); },
         KELVOX_ERR_CONVERT},
        {"wide null", [&] { return Kelvox_SaveMaskFileW(handle_, nullptr); }, KELVOX_ERR_CONVERT},
        {"save into a missing folder", [&] { return Kelvox_SaveMaskFile(handle_, Path("no/a.msk").c_str()); },
         KELVOX_ERR_MASK_FILE},
        {"selector 2", [&] { return Kelvox_UpdateMaskData(handle_, 2); }, KELVOX_ERR_CONVERT},
        {"selector -1", [&] { return Kelvox_UpdateMaskData(handle_, -1); }, KELVOX_ERR_CONVERT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), c.code);
        EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
    }
    EXPECT_EQ(Saved("after.msk"), valid);

    // A frame that is not the whole sensor is not taken, though the update answers 1.
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 640, 1200, 0, 480), 1);
    Snap(6, 8);
    EXPECT_EQ(Kelvox_UpdateMaskData(handle_, 0), 1);
    EXPECT_EQ(Saved("window.msk"), valid);

    // A disk that fills during the save leaves no file.
    sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 5000000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const int saved = Kelvox_SaveMaskFile(handle_, Path("full.msk").c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_MASK_FILE);
    EXPECT_FALSE(fs::exists(Path("full.msk")));
}

TEST_F(MaskFile, NeedsAnOpenCamera) {
    KelvoxSim_DetachAll();
    const int h = Kelvox_Initialize(nullptr);  // no camera to open
    ASSERT_NE(h, 0);
    while (Kelvox_GetLastError(h) != 0) continue;
    EXPECT_EQ(Kelvox_UpdateMaskData(h, 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(h), KELVOX_ERR_NOT_READY);
    EXPECT_EQ(Kelvox_SaveMaskFile(h, Path("x.msk").c_str()), 0);
    EXPECT_EQ(Kelvox_GetLastError(h), KELVOX_ERR_NOT_READY);
    EXPECT_EQ(Kelvox_LoadMaskFile(h, Path("x.msk").c_str()), 0);
    EXPECT_EQ(Kelvox_GetLastError(h), KELVOX_ERR_NOT_READY);
    EXPECT_FALSE(fs::exists(Path("x.msk")));
    EXPECT_EQ(Kelvox_Release(h), 1);
}

// Random and mutated files: the loader never crashes, and only a whole valid file is taken.
TEST_F(MaskFile, FuzzedFilesChangeNothingUnlessWholeAndValid) {
    Snap(7, 8);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 1), 1);
    const std::vector<uint8_t> valid = Saved("valid.msk");
    std::mt19937 random(12345);
    const std::string path = Path("fuzz.msk");
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> bytes;
        switch (round % 3) {
            case 0:  // random bytes of a random length, short or long
                bytes.resize(random() % 64 + (round % 2 ? kFileBytes - 8 : 0));
                for (auto& b : bytes) b = static_cast<uint8_t>(random());
                break;
            case 1:  // the valid header with one field set to an extreme
                bytes = valid;
                for (uint32_t v : {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0u})
                    if (random() % 2) std::memcpy(&bytes[16 + 4 * (random() % 6)], &v, 4);
                break;
            default:  // the valid file with a few header bytes flipped and maybe cut short
                bytes = valid;
                for (int k = 0; k < 3; ++k) bytes[random() % 40] ^= static_cast<uint8_t>(1 + random() % 255);
                if (random() % 2) bytes.resize(random() % bytes.size());
                break;
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const bool whole_and_valid = bytes.size() >= kFileBytes && std::memcmp(bytes.data(), valid.data(), 40) == 0;
        EXPECT_EQ(Kelvox_LoadMaskFile(handle_, path.c_str()), whole_and_valid ? 1 : 0) << "round " << round;
        while (Kelvox_GetLastError(handle_) != 0) continue;
    }
    EXPECT_EQ(Saved("after.msk"), valid);
}

// The corrections in the frames a host receives: a pixel that read 200 in the dark frame is
// replaced by its neighbours in every later frame while the dot filter is on; with the mask
// filter on, dark 10 and bright 210 turn 110 into 128.
TEST_F(MaskFile, CorrectionsActOnLaterFrames) {
    auto snap = [&](int level, int x, int y, int value) {
        std::vector<unsigned short> scene(1920u * 1200u, static_cast<unsigned short>(level * 16));
        scene[static_cast<size_t>(y) * 1920 + x] = static_cast<unsigned short>(value * 16);
        EXPECT_EQ(KelvoxSim_SetRawScene(camera_, scene.data(), 1920, 1200), 1);
        std::vector<uint8_t> frame(1920u * 1200u);
        EXPECT_EQ(Kelvox_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1);
        return frame;
    };
    auto at = [](const std::vector<uint8_t>& f, int x, int y) { return static_cast<int>(f[static_cast<size_t>(y) * 1920 + x]); };
    ASSERT_EQ(Kelvox_SetColorMode(handle_, 8), 1);
    ASSERT_EQ(at(snap(0, 700, 500, 200), 700, 500), 200);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 0), 1);  // a hot pixel at (700, 500)
    ASSERT_EQ(Kelvox_SetDotFilter(handle_, 1), 1);
    for (int frame = 0; frame < 2; ++frame) {
        const std::vector<uint8_t> f = snap(50, 700, 500, 55);  // not an outlier by itself
        EXPECT_EQ(at(f, 700, 500), 50);
    }
    ASSERT_EQ(Kelvox_SetDotFilter(handle_, 0), 1);
    EXPECT_EQ(at(snap(50, 700, 500, 55), 700, 500), 55);

    snap(10, 0, 0, 10);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 0), 1);
    snap(210, 0, 0, 210);
    ASSERT_EQ(Kelvox_UpdateMaskData(handle_, 1), 1);
    ASSERT_EQ(Kelvox_SetMaskFilter(handle_, 1), 1);
    const std::vector<uint8_t> f = snap(110, 900, 600, 5);
    EXPECT_EQ(at(f, 400, 300), 128);
    EXPECT_EQ(at(f, 900, 600), 0);
    EXPECT_EQ(at(f, 1, 1), 110);  // the two outer rows and columns of a full frame stay
}
