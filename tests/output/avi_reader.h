#pragma once
// Takes a written AVI file apart: the header fields the tests check, the frame chunks found by
// walking the movi list, and the idx1 entries when there is an index.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "output/image_readers.h"

namespace kelvox_test {

struct Avi {
    bool ok = false;  // the fixed header was there
    uint64_t length = 0;
    uint32_t riff_size = 0, movi_size = 0;
    uint32_t us_per_frame = 0, max_bytes_per_sec = 0, flags = 0, total_frames = 0, streams = 0, suggested = 0;
    int32_t width = 0, height = 0, bmp_width = 0, bmp_height = 0;
    uint32_t scale = 0, rate = 0, stream_length = 0, stream_suggested = 0;
    int bit_count = 0;
    std::string fcc_type, fcc_handler;
    struct Chunk {
        uint64_t offset;  // of the "00db" from the start of the file
        uint32_t size;
    };
    std::vector<Chunk> chunks;  // frame chunks walked from the first at 232
    bool has_index = false;
    struct Entry {
        std::string id;
        uint32_t flags, offset, size;
    };
    std::vector<Entry> index;
    std::vector<uint8_t> bytes;

    const uint8_t* frame(size_t i) const { return bytes.data() + chunks[i].offset + 8; }
};

inline Avi ReadAvi(const std::string& path) {
    Avi a;
    a.bytes = FileBytes(path);
    const std::vector<uint8_t>& f = a.bytes;
    a.length = f.size();
    if (f.size() < 232 || std::memcmp(&f[0], "RIFF", 4) != 0 || std::memcmp(&f[8], "AVI ", 4) != 0) return a;
    a.riff_size = Le32(&f[4]);
    a.us_per_frame = Le32(&f[32]);
    a.max_bytes_per_sec = Le32(&f[36]);
    a.flags = Le32(&f[44]);
    a.total_frames = Le32(&f[48]);
    a.streams = Le32(&f[56]);
    a.suggested = Le32(&f[60]);
    a.width = static_cast<int32_t>(Le32(&f[64]));
    a.height = static_cast<int32_t>(Le32(&f[68]));
    a.fcc_type.assign(reinterpret_cast<const char*>(&f[108]), 4);
    a.fcc_handler.assign(reinterpret_cast<const char*>(&f[112]), 4);
    a.scale = Le32(&f[128]);
    a.rate = Le32(&f[132]);
    a.stream_length = Le32(&f[140]);
    a.stream_suggested = Le32(&f[144]);
    a.bmp_width = static_cast<int32_t>(Le32(&f[184]));
    a.bmp_height = static_cast<int32_t>(Le32(&f[188]));
    a.bit_count = static_cast<int>(Le16(&f[194]));
    a.movi_size = Le32(&f[224]);
    a.ok = true;
    uint64_t at = 232;
    while (at + 8 <= f.size() && std::memcmp(&f[at], "00db", 4) == 0) {
        const uint32_t size = Le32(&f[at + 4]);
        if (at + 8 + size > f.size()) break;
        a.chunks.push_back({at, size});
        at += 8 + size;
    }
    if (at + 8 <= f.size() && std::memcmp(&f[at], "idx1", 4) == 0) {
        a.has_index = true;
        const uint32_t size = Le32(&f[at + 4]);
        for (uint64_t e = at + 8; e + 16 <= at + 8 + size && e + 16 <= f.size(); e += 16)
            a.index.push_back({std::string(reinterpret_cast<const char*>(&f[e]), 4), Le32(&f[e + 4]), Le32(&f[e + 8]),
                               Le32(&f[e + 12])});
    }
    return a;
}

}  // namespace kelvox_test
