// The mask file loader on arbitrary files. Input: a mode byte; mode bit 0 clear, the rest is the
// whole file; set, 40 header bytes, a signed byte added to the format's length, and the first
// bytes of the frames (the file is that long, zeros after them), so the length check is passed.
// A file it refuses leaves the four references as they were; one it takes replaces them.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "imaging/dib_image.h"
#include "output/mask_file.h"

namespace {

using kelvox::imaging::DibImage;
namespace out = kelvox::output;

constexpr size_t kHeaderBytes = 40;

struct References {
    DibImage frames[4];
    std::vector<uint8_t> expected[4];  // what each must hold now

    References() {
        const int bits[4] = {8, 8, 16, 16};
        for (int i = 0; i < 4; ++i) {
            FUZZ_CHECK(frames[i].Create(out::kMaskWidth, out::kMaskHeight, bits[i]));
            for (size_t b = 0; b < frames[i].size(); ++b) frames[i].pixels()[b] = static_cast<uint8_t>(b * 7 + i);
            expected[i].assign(frames[i].pixels(), frames[i].pixels() + frames[i].size());
        }
    }
    out::MaskReferences View() { return {&frames[0], &frames[1], &frames[2], &frames[3]}; }
};

void WriteMaskFile(const std::string& path, const uint8_t* head, const uint8_t* body, size_t body_size,
                   off_t length) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(write(fd, head, kHeaderBytes) == static_cast<ssize_t>(kHeaderBytes));
    FUZZ_CHECK(body_size == 0 || write(fd, body, body_size) == static_cast<ssize_t>(body_size));
    FUZZ_CHECK(ftruncate(fd, length) == 0);  // the rest a hole: zeros, cheap to write and read
    FUZZ_CHECK(close(fd) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static References refs;
    static const std::string file = fuzz::ScratchFile("mask.bin");
    if (size == 0) return 0;
    const bool structured = data[0] & 1;
    ++data, --size;
    uint8_t head[kHeaderBytes] = {};
    const uint8_t* body = data;
    size_t body_size = size;
    off_t length = static_cast<off_t>(size);
    if (structured) {
        const size_t taken = size < kHeaderBytes ? size : kHeaderBytes;
        std::memcpy(head, data, taken);
        const int delta = size > kHeaderBytes ? static_cast<int8_t>(data[kHeaderBytes]) : 0;
        body = data + taken + (size > kHeaderBytes ? 1 : 0);
        body_size = size - (body - data);
        length = static_cast<off_t>(out::kMaskFileBytes) + delta;
        WriteMaskFile(file, head, body, body_size, length);
    } else {
        fuzz::WriteFile(file, data, size);
        if (size >= kHeaderBytes) std::memcpy(head, data, kHeaderBytes);
        body = size > kHeaderBytes ? data + kHeaderBytes : data + size;
        body_size = size > kHeaderBytes ? size - kHeaderBytes : 0;
    }

    const int loaded = out::LoadMaskFile(file.c_str(), refs.View());
    if (loaded) {
        // Only a whole file with the format's header is taken, and its frames are what it holds.
        FUZZ_CHECK(length >= static_cast<off_t>(out::kMaskFileBytes));
        FUZZ_CHECK(std::memcmp(head, "QUORIN MASK1000", 16) == 0);
        size_t at = 0;
        for (std::vector<uint8_t>& e : refs.expected) {
            const size_t from_body = at < body_size ? std::min(body_size - at, e.size()) : 0;
            if (from_body) std::memcpy(e.data(), body + at, from_body);
            std::memset(e.data() + from_body, 0, e.size() - from_body);
            at += e.size();
        }
    }
    for (int i = 0; i < 4; ++i)
        FUZZ_CHECK(std::memcmp(refs.frames[i].pixels(), refs.expected[i].data(), refs.expected[i].size()) == 0);
    return 0;
}
