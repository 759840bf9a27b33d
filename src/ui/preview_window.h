#pragma once
// The live-preview window: a child of a host window, or a top-level window sized to the picture.
// Host threads create and close it; the session's frame thread draws into it through its device
// context, which sends no window messages. Where there is no window system, creation fails.
#include "imaging/dib_image.h"
#include "platform/window_message.h"

namespace kelvox::ui {

// False where no window system exists (the native Linux build).
extern const bool kHasWindowSystem;

struct PreviewPlacement {
    platform::WindowHandle parent = nullptr;  // a child window of this one when set
    int x = 0, y = 0, width = 0, height = 0;  // the child's rectangle inside its parent
    // A window is made only for a parent or a non-zero rectangle.
    bool any() const { return parent || x || y || width || height; }
};

class PreviewWindow {
public:
    PreviewWindow() = default;
    ~PreviewWindow() { Close(); }
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Registers a window class of this name, creates the window on the calling thread (a child at
    // the placement's rectangle when it has a parent, else a top-level window whose client area is
    // image_width x image_height, centred on the screen), gives it the focus, shows and updates it
    // and takes its device context. False when any step fails; then nothing is left behind.
    bool Create(const char* class_name, const PreviewPlacement& placement, int image_width, int image_height);
    bool exists() const { return window_ != nullptr; }
    platform::WindowHandle window() const { return window_; }

    // The client area's size, when the window is visible, has a device context and the area is
    // not empty; false means nothing is to be drawn.
    bool DrawableSize(int* width, int* height) const;
    // A picture of the client area's size with its memory row 0 (the top row) shown at the top:
    // one copy that reads the bottom-up bitmap as top-down, no intermediate bitmap.
    void DrawFlipped(const imaging::DibImage& picture) const;
    // A bottom-up picture of the client area's size from a memory device context, as it is.
    void Draw(void* source_dc, int width, int height) const;

    // Releases the device context, destroys the window and unregisters its class. Only the thread
    // that made a window may destroy it: from any other thread the window is asked to destroy
    // itself and its class, which happens when that thread next handles its messages.
    void Close();

private:
    platform::WindowHandle window_ = nullptr;
#ifdef _WIN32
    void* dc_ = nullptr;
    char class_name_[256] = {};
#endif
};

}  // namespace kelvox::ui
