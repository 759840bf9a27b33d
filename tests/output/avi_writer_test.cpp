// AviWriter on its own: the exact header and chunk layout, the sizes Finish patches in, DIB row
// padding at every width, unfinished files, and a disk that fills while frames are written.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "output/avi_reader.h"
#include "output/avi_writer.h"

namespace fs = std::filesystem;
using kelvox::output::AviWriter;
using kelvox_test::Avi;
using kelvox_test::ReadAvi;

namespace {

class AviFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kelvox-avi-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // Frame i: every byte a function of its position and i, so shifted or mixed-up frames show.
    static std::vector<uint8_t> Frame(const AviWriter& w, int i) {
        std::vector<uint8_t> f(w.frame_bytes());
        for (size_t k = 0; k < f.size(); ++k) f[k] = static_cast<uint8_t>(k * 7 + k / 1000 + i * 31);
        return f;
    }

    fs::path dir_;
};

// Files may grow only to `bytes` while it lives; a write beyond fails instead of killing us.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_handler_ = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, old_handler_);
    }

private:
    rlimit old_{};
    sighandler_t old_handler_;
};

// Everything a finished file must agree on, for n frames of `chunk` bytes.
void ExpectFinished(const Avi& a, uint32_t n, uint32_t chunk) {
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.riff_size, a.length - 8);
    EXPECT_EQ(a.movi_size, 4 + n * (8 + chunk));
    EXPECT_EQ(a.total_frames, n);
    EXPECT_EQ(a.stream_length, n);
    ASSERT_EQ(a.chunks.size(), n);
    ASSERT_TRUE(a.has_index);
    ASSERT_EQ(a.index.size(), n);
    for (uint32_t i = 0; i < n; ++i) {
        EXPECT_EQ(a.chunks[i].size, chunk);
        EXPECT_EQ(a.index[i].id, "00db");
        EXPECT_EQ(a.index[i].flags, 16u);
        EXPECT_EQ(a.index[i].offset, 4 + i * (8 + chunk));
        EXPECT_EQ(a.index[i].size, chunk);
        EXPECT_EQ(a.chunks[i].offset, 228 + a.index[i].offset);  // index offsets count from "movi"
    }
    EXPECT_EQ(a.length, 232 + n * (8ull + chunk) + 8 + 16 * n);
}

}  // namespace

TEST_F(AviFile, FullFrameHeadersAndFinishedSizes) {
    AviWriter w;
    w.SetFormat(1920, 1200, 48);
    ASSERT_EQ(w.Open(Path("full.avi").c_str()), 1);
    EXPECT_EQ(w.frame_bytes(), 6912000u);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(w.WriteFrame(Frame(w, i).data()), 1);
    ASSERT_EQ(w.Finish(8234), 1);  // 82.34 frames per second
    EXPECT_FALSE(w.is_open());

    const Avi a = ReadAvi(Path("full.avi"));
    ExpectFinished(a, 3, 6912000);
    EXPECT_EQ(a.chunks[0].offset, 232u);
    EXPECT_EQ(a.index[0].offset, 4u);
    EXPECT_EQ(a.suggested, 6912008u);
    EXPECT_EQ(a.stream_suggested, 6912008u);
    EXPECT_EQ(a.max_bytes_per_sec, 2933358656u);  // the suggested size squared, wrapped
    EXPECT_EQ(a.flags, 0x10010u);
    EXPECT_EQ(a.streams, 1u);
    EXPECT_EQ(a.fcc_type, "vids");
    EXPECT_EQ(a.fcc_handler, "DIB ");
    EXPECT_EQ(a.width, 1920);
    EXPECT_EQ(a.height, 1200);
    EXPECT_EQ(a.bmp_width, 1920);
    EXPECT_EQ(a.bmp_height, 1200);
    EXPECT_EQ(a.bit_count, 24);
    EXPECT_EQ(a.rate, 10000000u);
    EXPECT_EQ(a.us_per_frame, 100000000u / 8234);
    EXPECT_EQ(a.scale, 1000000000u / 8234);
    // The fixed parts of the first 232 bytes, as listed in the format.
    const uint8_t* f = a.bytes.data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f + 12), 4), "LIST");
    EXPECT_EQ(kelvox_test::Le32(f + 16), 200u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f + 20), 8), "hdrlavih");
    EXPECT_EQ(kelvox_test::Le32(f + 28), 56u);
    EXPECT_EQ(kelvox_test::Le32(f + 92), 124u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f + 96), 8), "strlstrh");
    EXPECT_EQ(kelvox_test::Le32(f + 104), 64u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f + 172), 4), "strf");
    EXPECT_EQ(kelvox_test::Le32(f + 176), 40u);
    EXPECT_EQ(kelvox_test::Le32(f + 180), 40u);
    EXPECT_EQ(kelvox_test::Le16(f + 192), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f + 220), 4), "LIST");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f + 228), 4), "movi");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(std::memcmp(a.frame(i), Frame(w, i).data(), 6912000), 0) << "frame " << i;
}

TEST_F(AviFile, RowsArePaddedAsInADibAtEveryWidth) {
    const struct {
        int width, height;
        uint32_t chunk;
    } cases[] = {{1920, 8, 1920 * 8 * 3}, {333, 5, 1000 * 5}, {642, 3, 1928 * 3}, {1, 1, 4}, {4, 2, 24}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        AviWriter w;
        w.SetFormat(c.width, c.height, 24);
        ASSERT_EQ(w.Open(Path("w.avi").c_str()), 1);
        EXPECT_EQ(w.frame_bytes(), c.chunk);
        for (int i = 0; i < 2; ++i) ASSERT_EQ(w.WriteFrame(Frame(w, i).data()), 1);
        ASSERT_EQ(w.Finish(3000), 1);
        const Avi a = ReadAvi(Path("w.avi"));
        ExpectFinished(a, 2, c.chunk);
        EXPECT_EQ(a.suggested, c.chunk + 8);
        EXPECT_EQ(a.us_per_frame, 33333u);
    }
}

TEST_F(AviFile, AnUnfinishedFileKeepsTheOpeningHeaderAndHasNoIndex) {
    AviWriter w;
    w.SetFormat(64, 4, 24);
    ASSERT_EQ(w.Open(Path("cut.avi").c_str()), 1);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(w.WriteFrame(Frame(w, i).data()), 1);
    w.Close();
    const Avi a = ReadAvi(Path("cut.avi"));
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.riff_size, 0u);
    EXPECT_EQ(a.movi_size, 0u);
    EXPECT_EQ(a.total_frames, 0u);
    EXPECT_EQ(a.stream_length, 0u);
    EXPECT_EQ(a.us_per_frame, 33333u);
    EXPECT_EQ(a.scale, 333333u);
    EXPECT_EQ(a.chunks.size(), 4u);
    EXPECT_FALSE(a.has_index);
    EXPECT_EQ(a.length, 232u + 4 * (8 + 768));
    EXPECT_EQ(w.Finish(100), 0);  // nothing open any more
}

TEST_F(AviFile, ARateOfZeroIsWrittenAsTheSmallestRate) {
    AviWriter w;
    w.SetFormat(8, 8, 8);
    ASSERT_EQ(w.Open(Path("slow.avi").c_str()), 1);
    ASSERT_EQ(w.WriteFrame(Frame(w, 0).data()), 1);
    ASSERT_EQ(w.Finish(0), 1);
    const Avi a = ReadAvi(Path("slow.avi"));
    EXPECT_EQ(a.us_per_frame, 100000000u);
    EXPECT_EQ(a.scale, 1000000000u);
}

TEST_F(AviFile, RefusesWhatItCannotWrite) {
    AviWriter w;
    EXPECT_EQ(w.Open(Path("none.avi").c_str()), 0);  // no format
    w.SetFormat(30000, 30000, 24);                   // a frame beyond what the sizes can count
    EXPECT_EQ(w.Open(Path("huge.avi").c_str()), 0);
    w.SetFormat(16, 16, 24);
    EXPECT_EQ(w.Open((dir_ / "no" / "dir.avi").string().c_str()), 0);
    EXPECT_EQ(w.WriteFrame(Frame(w, 0).data()), 0);
    EXPECT_FALSE(fs::exists(Path("none.avi")));
    EXPECT_FALSE(fs::exists(Path("huge.avi")));
}

// A full disk: the frame that did not fit is cut off and the file finished with the whole
// frames; when even the index does not fit, frames go from the end until it does.
TEST_F(AviFile, AFullDiskLeavesAPlayableFileOfWholeFrames) {
    constexpr uint32_t kChunk = 100 * 10 * 3;
    const struct {
        uint64_t room;           // file bytes the disk takes
        int written, finished;   // frames WriteFrame accepted; frames in the finished file
        int finish_result;
    } cases[] = {
        {232 + 2 * (8 + kChunk) + 1500, 2, 2, 1},  // the third frame is cut off; the index fits
        {232 + 3 * (8 + kChunk) + 20, 3, 2, 0},    // all three fit, their index not: one goes
        {232 + 10, 0, 0, 1},                       // not one frame; an empty index
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.room);
        AviWriter w;
        w.SetFormat(100, 10, 24);
        const std::string path = Path("full.avi");
        {
            FileSizeLimit limit(c.room);
            ASSERT_EQ(w.Open(path.c_str()), 1);
            int accepted = 0;
            for (int i = 0; i < 5 && w.WriteFrame(Frame(w, i).data()); ++i) ++accepted;
            EXPECT_EQ(accepted, c.written);
            EXPECT_EQ(w.Finish(2500), c.finish_result);
        }
        const Avi a = ReadAvi(path);
        ExpectFinished(a, c.finished, kChunk);
        for (int i = 0; i < c.finished; ++i) EXPECT_EQ(std::memcmp(a.frame(i), Frame(w, i).data(), kChunk), 0);
    }
}
