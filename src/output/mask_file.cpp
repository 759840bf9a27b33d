#include "output/mask_file.h"

#include <cstring>
#include <memory>
#include <new>

#include "output/binary_file.h"
#include "output/image_encoders.h"
#include "platform/file.h"

namespace kelvox::output {

namespace {

constexpr char kMagic[16] = "QUORIN MASK1000";
constexpr uint32_t kHeaderBytes = 40;

void Put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
int32_t Get32(const uint8_t* at) {
    return static_cast<int32_t>(at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24);
}

bool IsReference(const imaging::DibImage* image, int bits) {
    return image && !image->empty() && image->width() == kMaskWidth && image->height() == kMaskHeight &&
           image->bit_count() == bits;
}

// Closes the file on every way out.
struct ReadFile {
    platform::FileHandle handle;
    ~ReadFile() {
        if (handle != platform::kNoFile) platform::CloseFile(handle);
    }
};

}  // namespace

int SaveMaskFile(const char* name, const MaskReferences& r) {
    if (!name || !*name || !r.dark8 || r.dark8->empty() || !r.bright8 || !r.dark16 || !r.bright16) return 0;
    const imaging::DibImage* frames[4] = {r.dark8, r.bright8, r.dark16, r.bright16};
    uint8_t head[kHeaderBytes] = {};
    std::memcpy(head, kMagic, sizeof kMagic);
    Put32(head + 16, static_cast<uint32_t>(r.dark8->width()));
    Put32(head + 20, static_cast<uint32_t>(r.dark8->height()));
    for (int i = 0; i < 4; ++i)
        Put32(head + 24 + 4 * i, static_cast<uint32_t>(frames[i]->stride()) * static_cast<uint32_t>(r.dark8->height()));
    BinaryFile file;
    if (!file.Create(name)) return 0;
    file.Write(head, sizeof head);
    for (const imaging::DibImage* f : frames) file.Write(f->pixels(), f->size());
    return file.Close() ? 1 : Abandon(name);
}

int LoadMaskFile(const char* name, const MaskReferences& r) {
    imaging::DibImage* frames[4] = {r.dark8, r.bright8, r.dark16, r.bright16};
    const int bits[4] = {8, 8, 16, 16};
    for (int i = 0; i < 4; ++i)
        if (!IsReference(frames[i], bits[i])) return 0;
    ReadFile file{platform::OpenFileForReading(name)};
    uint64_t length = 0;
    // The length first: a huge file is refused without reading it.
    if (file.handle == platform::kNoFile || !platform::FileLength(file.handle, &length) || length < kMaskFileBytes)
        return 0;
    uint8_t head[kHeaderBytes];
    if (!platform::ReadFromFile(file.handle, head, sizeof head)) return 0;
    // The magic compares as a NUL-terminated string within its 16 bytes.
    if (std::memchr(head, 0, 16) == nullptr || std::strcmp(reinterpret_cast<const char*>(head), kMagic) != 0) return 0;
    if (Get32(head + 16) != kMaskWidth || Get32(head + 20) != kMaskHeight) return 0;
    for (int i = 0; i < 4; ++i)
        if (Get32(head + 24 + 4 * i) != static_cast<int32_t>(frames[i]->size())) return 0;
    // Everything is read before any reference changes, so a file that falls short changes nothing.
    std::unique_ptr<uint8_t[]> staging(new (std::nothrow) uint8_t[kMaskFileBytes - kHeaderBytes]);
    if (!staging || !platform::ReadFromFile(file.handle, staging.get(), kMaskFileBytes - kHeaderBytes)) return 0;
    const uint8_t* p = staging.get();
    for (imaging::DibImage* f : frames) {
        std::memcpy(f->pixels(), p, f->size());
        p += f->size();
    }
    return 1;
}

}  // namespace kelvox::output
