// The preview window: its placement, its making and closing on host threads, and drawing each
// processed frame into it on the frame thread.
#include <cstdio>
#include <cstdlib>

#include "imaging/row_converters.h"
#include "platform/clock.h"
#include "session/session.h"

namespace kelvox {

int Session::SetPreviewWindow(platform::WindowHandle parent, int x, int y, int width, int height) {
    if (!NeedDevice()) return 0;
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    placement_ = ui::PreviewPlacement{parent, x, y, width, height};
    return 1;
}

platform::WindowHandle Session::preview_window() {
    std::lock_guard<std::mutex> lock(frame_lock_);
    return preview_ ? preview_->window() : nullptr;
}

int Session::Preview() {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        callback_window_ = nullptr;
        host_buffer_ = nullptr;
        host_size_ = 0;
        row_order_ = 0;
    }
    return StartWithWindow();
}

int Session::StartWithWindow() {
    if (placement_.any() && !OpenPreviewWindow()) {
        RecordError(KELVOX_ERR_WINDOW);
        return 0;
    }
    if (!StartPreview()) {
        Close();
        RecordError(KELVOX_ERR_FRAME);
        return 0;
    }
    return 1;
}

bool Session::OpenPreviewWindow() {
    // An earlier window goes first, so repeated starts leave no windows or classes behind.
    ClosePreviewWindow();
    char name[256];
    const uint32_t stamp = platform::MultimediaTime() + static_cast<uint32_t>(std::rand());
    std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(this) & 0xFFFFFFFFu), static_cast<unsigned>(stamp));
    const auto [width, height] = OutputSize();
    auto window = std::make_unique<ui::PreviewWindow>();
    if (!window->Create(name, placement_, width, height)) return false;
    std::lock_guard<std::mutex> lock(frame_lock_);
    preview_ = std::move(window);
    return true;
}

void Session::ClosePreviewWindow() {
    std::unique_ptr<ui::PreviewWindow> window;
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        window = std::move(preview_);
    }
    window.reset();  // closes it, now that no frame can draw into it
}

imaging::DibImage* Session::DisplaySource() {
    using imaging::kSameRowOrder;
    switch (prepared_mode_) {
        case 0:
            return pictures_[kRaw8].get();
        case 1:
            if (!pictures_[kRaw8]->Convert(*pictures_[kRaw16], imaging::ReduceGrey16, nullptr, 0, 0, kSameRowOrder, 16))
                return nullptr;
            return pictures_[kRaw8].get();
        case 2:
            return pictures_[kOut24].get();
        case 3:
            if (!pictures_[kOut24]->Convert(*pictures_[kOut32], imaging::DropFourthByte, nullptr, 0, 0, kSameRowOrder))
                return nullptr;
            return pictures_[kOut24].get();
        case 4:
        case 5:
            if (!pictures_[kOut24]->Convert(*pictures_[prepared_mode_], imaging::ReduceColour16, nullptr, 0, 0,
                                             kSameRowOrder, 16))
                return nullptr;
            return pictures_[kOut24].get();
        default:
            return nullptr;
    }
}

bool Session::SizeDisplayPicture(int width, int height) {
    imaging::DibImage& display = *pictures_[kDisplay];
    const bool grey = prepared_mode_ <= 1;
    if (!display.Create(width, height, grey ? 8 : 24)) return false;
    return !grey || display.SetColourTable(0, nullptr, 0, 256);
}

void Session::DrawPreview() {
    if (!preview_) return;
    int width = 0, height = 0;
    // A hidden, minimised or empty window costs nothing: not even the reduction is made.
    if (!preview_->DrawableSize(&width, &height)) return;
    imaging::DibImage* source = DisplaySource();
    if (!source || source->empty()) return;
    if (width == source->width() && height == source->height() && prepared_mode_ != 1) {
        preview_->DrawFlipped(*source);
        return;
    }
    imaging::DibImage& display = *pictures_[kDisplay];
    // Remade only when the client area changes size (or the mode changes depth).
    if ((display.width() != width || display.height() != height ||
         display.bytes_per_pixel() != source->bytes_per_pixel()) &&
        !SizeDisplayPicture(width, height))
        return;
    if (scaler_.Scale(*source, display)) preview_->Draw(display.dc(), width, height);
}

}  // namespace kelvox
