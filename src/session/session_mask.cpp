// The defect mask's reference frames: taken from the raw picture, saved to and loaded from mask
// files, with the defect maps rebuilt from them. The references and maps are changed under the
// mask lock, which frame processing holds while it corrects with them.
#include <cstring>

#include "session/session.h"

namespace kelvox {

bool Session::NeedOpenCamera() {
    if (device_ && open_camera_ >= 0) return true;
    RecordError(KELVOX_ERR_NOT_READY);
    return false;
}

output::MaskReferences Session::MaskReferenceFrames() {
    auto plane = [this](int i) { return pictures_[kFirstMaskPlane + i].get(); };
    return output::MaskReferences{plane(kDark8), plane(kBright8), plane(kDark16), plane(kBright16)};
}

void Session::CorrectWithMask(imaging::DibImage& raw) {
    std::lock_guard<std::mutex> mask(mask_lock_);
    auto plane = [this](int i) -> imaging::DibImage& { return *pictures_[kFirstMaskPlane + i]; };
    const bool wide = raw.bit_count() == 16;
    if (mask_filter_) {
        imaging::ShadingCorrection& shading = wide ? shading16_ : shading8_;
        if (!shading.prepared()) shading.Prepare(plane(wide ? kDark16 : kDark8), plane(wide ? kBright16 : kBright8));
        // Row by row, so the frame's bands can share it.
        band_workers_.Run(raw.height(), [&](int first, int end) { shading.Apply(raw, prepared_x_, prepared_y_, first, end); });
    }
    if (dot_filter_) {
        defects_.Apply(raw, prepared_x_, prepared_y_, plane(wide ? kDefect16a : kDefect8a),
                       plane(wide ? kDefect16b : kDefect8b), plane(wide ? kWork16 : kWork8),
                       wide ? imaging::kOutlierThreshold16 : imaging::kOutlierThreshold8);
    }
}

int Session::UpdateMaskData(int which) {
    if (which != 0 && which != 1) {
        RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    if (!NeedOpenCamera()) return 0;
    // The frame lock first, as frame processing takes them: no frame is corrected meanwhile.
    std::lock_guard<std::mutex> frame(frame_lock_);
    const int mode = prepared_mode_;
    const bool wide = mode == 1 || mode == 4 || mode == 5;
    const imaging::DibImage& raw = *pictures_[wide ? kRaw16 : kRaw8];
    if (raw.empty() || raw.width() != kSensorWidth || raw.height() != kSensorHeight) return 1;
    const int reference = wide ? (which == 0 ? kDark16 : kBright16) : (which == 0 ? kDark8 : kBright8);
    const int map = wide ? (which == 0 ? kDefect16a : kDefect16b) : (which == 0 ? kDefect8a : kDefect8b);
    std::lock_guard<std::mutex> mask(mask_lock_);
    imaging::DibImage& target = *pictures_[kFirstMaskPlane + reference];
    std::memcpy(target.pixels(), raw.pixels(), raw.size());
    imaging::BuildDefectMap(target, *pictures_[kFirstMaskPlane + map], which == 0);
    (wide ? shading16_ : shading8_).Invalidate();
    return 1;
}

int Session::SaveMaskFile(const char* name) {
    if (!NeedOpenCamera()) return 0;
    std::lock_guard<std::mutex> mask(mask_lock_);
    if (output::SaveMaskFile(name, MaskReferenceFrames())) return 1;
    RecordError(KELVOX_ERR_MASK_FILE);
    return 0;
}

int Session::LoadMaskFile(const char* name) {
    if (!NeedOpenCamera()) return 0;
    std::lock_guard<std::mutex> mask(mask_lock_);
    const output::MaskReferences r = MaskReferenceFrames();
    if (!output::LoadMaskFile(name, r)) {
        RecordError(KELVOX_ERR_MASK_FILE);
        return 0;
    }
    // Rebuilt before the lock goes, so a correction never meets maps of the old references.
    auto plane = [this](int i) -> imaging::DibImage& { return *pictures_[kFirstMaskPlane + i]; };
    imaging::BuildDefectMap(plane(kDark8), plane(kDefect8a), true);
    imaging::BuildDefectMap(plane(kBright8), plane(kDefect8b), false);
    imaging::BuildDefectMap(plane(kDark16), plane(kDefect16a), true);
    imaging::BuildDefectMap(plane(kBright16), plane(kDefect16b), false);
    shading8_.Invalidate();
    shading16_.Invalidate();
    return 1;
}

int Session::SaveMaskFileW(const wchar_t* name) {
    char narrow[kMaxFileName];
    return NarrowFileName(name, narrow) ? SaveMaskFile(narrow) : 0;
}

int Session::LoadMaskFileW(const wchar_t* name) {
    char narrow[kMaxFileName];
    return NarrowFileName(name, narrow) ? LoadMaskFile(narrow) : 0;
}

}  // namespace kelvox
