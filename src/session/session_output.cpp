// Still images: the current output picture into a file, on the caller's thread under the frame
// lock, so a frame being processed never changes it half-way.
#include "output/image_writer.h"
#include "platform/text_convert.h"
#include "session/session.h"

namespace kelvox {

int CKelvox::SaveImage(const char* name, int format) {
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
    // A writer failure reports no error code: the result says it.
    return output::SaveImageFile(name, *image, format);
}

int CKelvox::SaveImageW(const wchar_t* name, int format) {
    char narrow[kMaxFileName];
    if (platform::WideToNarrow(platform::CodePage::ThreadAnsi, name, narrow, kMaxFileName - 1) == 0) {
        RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    return SaveImage(narrow, format);
}

}  // namespace kelvox
