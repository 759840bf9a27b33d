// Kelvox_Record and Kelvox_RecordW on a session: refusals and their codes, frames equal to the
// snapshot in every colour mode, a capture stop before the deadline, a disk that fills, and the
// files read back by ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "output/avi_reader.h"

namespace fs = std::filesystem;
using namespace kelvox_test;

namespace {

class Record : public ::testing::Test {
protected:
    void SetUp() override {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "REC-1");
        c.paced = 0;
        c.photometric = 0;
        c.scene = KELVOX_SIM_SCENE_RAW;
        camera_ = KelvoxSim_Attach(&c);
        ASSERT_GE(camera_, 0);
        std::vector<unsigned short> scene(1920u * 1200u);
        for (size_t i = 0; i < scene.size(); ++i)
            scene[i] = static_cast<unsigned short>((i / 1920 * 13 + i % 1920 * 7 + (i * 2654435761u >> 20)) % 4096);
        ASSERT_EQ(KelvoxSim_SetRawScene(camera_, scene.data(), 1920, 1200), 1);
        handle_ = Kelvox_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Kelvox_GetLastError(handle_), 0);
        SetSize(kWidth, kHeight);
        dir_ = fs::temp_directory_path() / ("kelvox-record-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        EXPECT_EQ(Kelvox_Release(handle_), 1);
        KelvoxSim_DetachAll();
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void SetSize(int width, int height) {
        width_ = width;
        height_ = height;
        ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, width, 1200, 0, height), 1);
    }

    // What each recorded frame must hold: the snapshot of the mode, bottom-up, as 24-bit rows.
    std::vector<uint8_t> ExpectedFrame(int bits) {
        const int bpp = bits / 8, stride = (width_ * bpp + 3) & ~3, out_stride = (width_ * 3 + 3) & ~3;
        std::vector<uint8_t> snap(static_cast<size_t>(stride) * height_), frame(static_cast<size_t>(out_stride) * height_);
        EXPECT_EQ(Kelvox_SnapShot(handle_, snap.data(), static_cast<int>(snap.size()), 0), 1);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const uint8_t* p = &snap[static_cast<size_t>(y) * stride + x * bpp];
                uint8_t* q = &frame[static_cast<size_t>(y) * out_stride + x * 3];
                for (int c = 0; c < 3; ++c) {
                    switch (bits) {
                        case 8: q[c] = p[0]; break;
                        case 16: q[c] = static_cast<uint8_t>((p[0] | p[1] << 8) >> 2); break;  // bits 2..9
                        case 24: case 32: q[c] = p[c]; break;
                        default: q[c] = p[2 * c + 1]; break;  // the high bytes
                    }
                }
            }
        return frame;
    }

    // Waits until the recording has written its index, then stops the capture (which waits for the
    // recording thread), so the file is complete.
    Avi WaitFinished(const std::string& path) {
        for (int i = 0; i < 1000 && !ReadAvi(path).has_index; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
        return ReadAvi(path);
    }

    static constexpr int kWidth = 333, kHeight = 50;  // 3 x 333 is not a multiple of 4
    int camera_ = -1, handle_ = 0, width_ = 0, height_ = 0;
    fs::path dir_;
};

void ExpectFinished(const Avi& a, int width, int height) {
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(a.has_index);
    const uint32_t chunk = static_cast<uint32_t>((width * 3 + 3) & ~3) * height;
    const uint32_t n = static_cast<uint32_t>(a.chunks.size());
    EXPECT_EQ(a.riff_size, a.length - 8);
    EXPECT_EQ(a.movi_size, 4 + n * (8 + chunk));
    EXPECT_EQ(a.total_frames, n);
    EXPECT_EQ(a.index.size(), n);
    EXPECT_EQ(a.width, width);
    EXPECT_EQ(a.height, height);
    EXPECT_EQ(a.suggested, chunk + 8);
    for (const auto& c : a.chunks) EXPECT_EQ(c.size, chunk);
    EXPECT_NE(a.us_per_frame, 33333u);  // the measured rate replaced the opening one
}

std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[1 << 16];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

}  // namespace

TEST_F(Record, RefusalsAndTheirCodes) {
    const std::string narrow = Path("w.avi");
    const std::wstring wide(narrow.begin(), narrow.end());
    std::wstring too_long = L"/" + std::wstring(1100, L'a') + L".avi";
    const struct {
        const char* what;
        std::function<int()> call;
        int code;
    } cases[] = {
        {"null", [&] { return Kelvox_Record(handle_, nullptr, 100, 0); }, KELVOX_ERR_PARAM},
        {"empty", [&] { return Kelvox_Record(handle_, "", 100, 0); }, KELVOX_ERR_PARAM},
        {"no such folder", [&] { return Kelvox_Record(handle_, Path("none/a.avi").c_str(), 100, 0); },
         KELVOX_ERR_CONVERT},
        {"wide null", [&] { return Kelvox_RecordW(handle_, nullptr, 100, 0); }, KELVOX_ERR_CONVERT},
        {"not in the code page", [&] { return Kelvox_RecordW(handle_, L"\x4E00.avi", 100, 0); }, KELVOX_ERR_CONVERT},
        {"longer than 1023 bytes", [&] { return Kelvox_RecordW(handle_, too_long.c_str(), 100, 0); },
         KELVOX_ERR_CONVERT},
        {"unknown handle", [&] { return Kelvox_Record(987654, narrow.c_str(), 100, 0); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), 0);
        EXPECT_EQ(Kelvox_GetLastError(handle_), c.code);
        EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
    }
    EXPECT_FALSE(fs::exists(Path("none")));
    // No window system here: asking for the window with a placement fails as a window would.
    ASSERT_EQ(Kelvox_SetPreviewWindow(handle_, nullptr, 0, 0, 100, 100), 1);
    EXPECT_EQ(Kelvox_Record(handle_, narrow.c_str(), 100, 1), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_WINDOW);
    // Without the window flag the placement does not matter.
    ASSERT_EQ(Kelvox_RecordW(handle_, wide.c_str(), 0, 0), 1);
    ExpectFinished(WaitFinished(narrow), kWidth, kHeight);
}

TEST_F(Record, FramesAreTheBottomUpSnapshotInEveryColourMode) {
    // Frames at least a few milliseconds apart, so the second one is past a deadline of 0.
    ASSERT_EQ(Kelvox_SetWaitTime(handle_, 3), 1);
    for (const int bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        ASSERT_EQ(Kelvox_SetColorMode(handle_, bits), 1);
        const std::vector<uint8_t> expected = ExpectedFrame(bits);
        const std::string path = Path("m" + std::to_string(bits) + ".avi");
        ASSERT_EQ(Kelvox_Record(handle_, path.c_str(), 0, 0), 1);
        const Avi a = WaitFinished(path);
        ExpectFinished(a, kWidth, kHeight);
        // Duration 0: the first frame sets the deadline, the next one ends the recording.
        ASSERT_EQ(a.chunks.size(), 2u);
        for (size_t i = 0; i < a.chunks.size(); ++i)
            EXPECT_EQ(std::memcmp(a.frame(i), expected.data(), expected.size()), 0) << "frame " << i;
    }
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}

TEST_F(Record, AStopBeforeTheDeadlineLeavesTheOpeningHeaderAndNoIndex) {
    // A host's delivery targets are cleared: no frame messages once the recording starts.
    KELVOX_HWND window = KelvoxSim_CreateMessageWindow();
    std::vector<uint8_t> buffer(static_cast<size_t>((kWidth * 3 + 3) & ~3) * kHeight);
    ASSERT_EQ(Kelvox_CallBackPreview(handle_, window, buffer.data(), static_cast<int>(buffer.size()), 0), 1);
    KELVOX_SIM_MSG msg;
    ASSERT_EQ(KelvoxSim_WaitMessage(window, &msg, 5000), 1);

    const std::string path = Path("stopped.avi");
    ASSERT_EQ(Kelvox_Record(handle_, path.c_str(), 60000, 0), 1);
    while (KelvoxSim_PeekMessage(window, &msg)) continue;  // frames announced before the start
    const uintmax_t three_frames = 232 + 3 * (8 + static_cast<uintmax_t>(buffer.size()));
    for (int i = 0; i < 1000 && fs::file_size(path) < three_frames; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // A second recording is refused and leaves the running one alone.
    EXPECT_EQ(Kelvox_Record(handle_, Path("second.avi").c_str(), 0, 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CONVERT);
    EXPECT_FALSE(fs::exists(Path("second.avi")));
    EXPECT_EQ(KelvoxSim_PeekMessage(window, &msg), 0);

    ASSERT_EQ(Kelvox_StopPreview(handle_), 1);
    const Avi a = ReadAvi(path);
    ASSERT_TRUE(a.ok);
    EXPECT_GE(a.chunks.size(), 3u);
    EXPECT_FALSE(a.has_index);
    EXPECT_EQ(a.riff_size, 0u);
    EXPECT_EQ(a.movi_size, 0u);
    EXPECT_EQ(a.total_frames, 0u);
    EXPECT_EQ(a.stream_length, 0u);
    EXPECT_EQ(a.us_per_frame, 33333u);
    EXPECT_EQ(a.length, 232 + a.chunks.size() * (8ull + a.chunks[0].size));  // whole frames only
    // The capture stop ended it: a new recording may start and finishes normally.
    ASSERT_EQ(Kelvox_Record(handle_, Path("next.avi").c_str(), 0, 0), 1);
    ExpectFinished(WaitFinished(Path("next.avi")), kWidth, kHeight);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
    KelvoxSim_DestroyMessageWindow(window);
}

TEST_F(Record, AFullDiskEndsTheRecordingWithAPlayableFileAndReportsIt) {
    const uint32_t chunk = static_cast<uint32_t>((kWidth * 3 + 3) & ~3) * kHeight;
    const std::string path = Path("full.avi");
    sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 232 + 5 * (8 + chunk) + chunk / 2;  // five frames and half of a sixth
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const int started = Kelvox_Record(handle_, path.c_str(), 60000, 0);
    int code = 0;
    for (int i = 0; i < 1000 && started && (code = Kelvox_GetLastError(handle_)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, old_handler);
    ASSERT_EQ(started, 1);
    EXPECT_EQ(code, KELVOX_ERR_CONVERT);
    ASSERT_EQ(Kelvox_StopPreview(handle_), 1);
    const Avi a = ReadAvi(path);
    ExpectFinished(a, kWidth, kHeight);
    EXPECT_EQ(a.chunks.size(), 5u);
}

// Readers nobody here wrote: ffprobe counts the frames and reads the rate, ffmpeg decodes them.
TEST_F(Record, FfprobeAndFfmpegReadTheFiles) {
    ASSERT_FALSE(RunCommand("command -v ffprobe").empty()) << "ffmpeg is not installed (scripts/bootstrap.sh installs it)";
    for (const auto& [width, height] : {std::pair{1920, 1200}, std::pair{kWidth, kHeight}}) {
        SCOPED_TRACE(width);
        SetSize(width, height);
        const std::vector<uint8_t> expected = ExpectedFrame(24);
        const std::string path = Path("read" + std::to_string(width) + ".avi");
        ASSERT_EQ(Kelvox_Record(handle_, path.c_str(), 150, 0), 1);
        const Avi a = WaitFinished(path);
        ExpectFinished(a, width, height);

        unsigned frames = 0, num = 0, den = 0;
        const std::string probe = RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                      "stream=nb_read_frames,avg_frame_rate -of default=nw=1 '" + path + "'");
        const size_t rate_at = probe.find("avg_frame_rate="), count_at = probe.find("nb_read_frames=");
        ASSERT_NE(rate_at, std::string::npos) << probe;
        ASSERT_NE(count_at, std::string::npos) << probe;
        std::sscanf(probe.c_str() + rate_at, "avg_frame_rate=%u/%u", &num, &den);
        std::sscanf(probe.c_str() + count_at, "nb_read_frames=%u", &frames);
        EXPECT_EQ(frames, a.total_frames);
        ASSERT_GT(den, 0u);
        EXPECT_NEAR(static_cast<double>(num) / den, 10000000.0 / a.scale, 0.01);

        // ffmpeg gives top-down rows without padding; the expected frame is bottom-up, padded.
        const std::string raw = RunCommand("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt bgr24 -");
        const size_t packed = static_cast<size_t>(width) * 3, stride = (packed + 3) & ~size_t{3};
        const size_t frame_size = packed * height;
        ASSERT_EQ(raw.size(), frame_size * a.total_frames);
        for (size_t f = 0; f < a.total_frames; ++f)
            for (int y = 0; y < height; ++y)
                ASSERT_EQ(std::memcmp(raw.data() + f * frame_size + y * packed,
                                      expected.data() + (height - 1 - y) * stride, packed),
                          0)
                    << "frame " << f << " row " << y;
    }
}
