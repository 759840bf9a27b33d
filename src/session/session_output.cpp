// Still images: the current output picture into a file, on the caller's thread. The frame lock
// keeps the picture still while it is read.
#include <cstring>

#include "output/image_writer.h"
#include "platform/text_convert.h"
#include "session/session.h"

namespace kelvox {

int Session::SaveImage(const char* name, int format) {
    if (!device_ || !image_valid_.load()) {
        RecordError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    std::unique_lock<std::mutex> lock(frame_lock_);
    const imaging::DibImage* image = pictures_[prepared_mode_].get();
    if (!image || image->empty()) {
        lock.unlock();
        RecordError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    // JPEG and PNG encoding takes up to seconds at 1920 x 1200; the frame thread must not wait that
    // long, so those encoders get a copy and the lock goes. The others are about as quick as a copy.
    if (format >= output::kFormatJpeg100 && format <= output::kFormatPng) {
        imaging::DibImage copy;
        if (copy.CreateLike(image)) {
            std::memcpy(copy.pixels(), image->pixels(), image->size());
            lock.unlock();
            return output::SaveImageFile(name, copy, format);
        }
    }
    // A writer failure reports no error code: the result says it.
    return output::SaveImageFile(name, *image, format);
}

bool Session::NarrowFileName(const wchar_t* name, char (&narrow)[kMaxFileName]) {
    if (name && platform::WideToNarrow(platform::CodePage::ThreadAnsi, name, narrow, kMaxFileName - 1) != 0)
        return true;
    RecordError(KELVOX_ERR_CONVERT);
    return false;
}

int Session::SaveImageW(const wchar_t* name, int format) {
    char narrow[kMaxFileName];
    return NarrowFileName(name, narrow) ? SaveImage(narrow, format) : 0;
}

}  // namespace kelvox
