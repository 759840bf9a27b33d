#include "ui/preview_window.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace kelvox::ui {

const bool kHasWindowSystem = true;

namespace {

constexpr DWORD kChildStyle = 0x52000000;     // WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN
constexpr DWORD kTopLevelStyle = 0x16CF0000;  // WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIP*
constexpr int kChildId = 6540;
// Posted by a thread that does not own the window, wParam the window's device context: the
// owning thread releases the context and destroys the window and its class.
constexpr UINT kCloseMessage = WM_APP + 0x3B0;

HINSTANCE HostModule() { return GetModuleHandleA(nullptr); }

// Classes whose window was left to its own thread to destroy. A class cannot go while it has a
// window; these are tried again at every create and close until they are gone.
std::mutex pending_lock;
std::vector<std::string> pending_classes;

void UnregisterPendingClasses() {
    std::lock_guard<std::mutex> lock(pending_lock);
    std::erase_if(pending_classes, [](const std::string& name) {
        WNDCLASSEXA info{};
        info.cbSize = sizeof info;
        return UnregisterClassA(name.c_str(), HostModule()) || !GetClassInfoExA(HostModule(), name.c_str(), &info);
    });
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kCloseMessage) {
        char name[256] = {};
        const bool named = GetClassNameA(window, name, sizeof name) > 0;
        if (wparam) ReleaseDC(window, reinterpret_cast<HDC>(wparam));
        DestroyWindow(window);
        if (named) UnregisterClassA(name, HostModule());
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// The window is still the one made under this class name (a handle can be reused once its window
// is gone).
bool IsOurs(HWND window, const char* class_name) {
    char name[256] = {};
    return IsWindow(window) && GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, class_name) == 0;
}

}  // namespace

bool PreviewWindow::Create(const char* class_name, const PreviewPlacement& placement, int image_width,
                           int image_height) {
    Close();
    UnregisterPendingClasses();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProcedure;
    wc.hInstance = HostModule();
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = class_name;
    if (!RegisterClassExA(&wc)) return false;
    HWND window = nullptr;
    if (placement.parent) {
        window = CreateWindowExA(0, class_name, "ActiveMovie Window", kChildStyle, placement.x, placement.y,
                                 placement.width, placement.height, static_cast<HWND>(placement.parent),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildId)), HostModule(), nullptr);
    } else if (placement.x || placement.y || placement.width || placement.height) {
        RECT r{0, 0, image_width, image_height};
        if (AdjustWindowRectEx(&r, kTopLevelStyle, FALSE, 0)) {
            int x = (GetSystemMetrics(SM_CXSCREEN) + r.left - r.right) / 2;
            int y = (GetSystemMetrics(SM_CYSCREEN) + r.top - r.bottom) / 2;
            if (x < 0) x = 0;
            if (y < 0) y = 0;
            window = CreateWindowExA(0, class_name, "Active Window", kTopLevelStyle, x, y, r.right - r.left,
                                     r.bottom - r.top, nullptr, nullptr, HostModule(), nullptr);
        }
    }
    HDC dc = nullptr;
    if (window) {
        SetFocus(window);
        ShowWindow(window, SW_SHOW);
        if (UpdateWindow(window)) dc = GetDC(window);
        if (!dc) DestroyWindow(window);
    }
    if (!dc) {
        UnregisterClassA(class_name, HostModule());
        return false;
    }
    window_ = window;
    dc_ = dc;
    std::strncpy(class_name_, class_name, sizeof class_name_ - 1);
    return true;
}

bool PreviewWindow::DrawableSize(int* width, int* height) const {
    HWND window = static_cast<HWND>(window_);
    RECT r;
    if (!window || !dc_ || !IsWindowVisible(window) || !GetClientRect(window, &r)) return false;
    if (r.right <= 0 || r.bottom <= 0) return false;  // minimised, or sized to nothing
    *width = r.right;
    *height = r.bottom;
    return true;
}

void PreviewWindow::DrawFlipped(const imaging::DibImage& picture) const {
    // The picture's header with the height negated: GDI then takes memory row 0 as the top row.
    // (A StretchBlt from the picture's memory DC with a negative source height does the same on
    // Windows, but Wine shifts it by a row or draws nothing.)
    imaging::DibInfo info = picture.info();
    info.header.height = -info.header.height;
    StretchDIBits(static_cast<HDC>(dc_), 0, 0, picture.width(), picture.height(), 0, 0, picture.width(),
                  picture.height(), picture.pixels(), reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                  SRCCOPY);
}

void PreviewWindow::Draw(void* source_dc, int width, int height) const {
    BitBlt(static_cast<HDC>(dc_), 0, 0, width, height, static_cast<HDC>(source_dc), 0, 0, SRCCOPY);
}

void PreviewWindow::Close() {
    HWND window = static_cast<HWND>(window_);
    if (!window) return;
    HDC dc = static_cast<HDC>(dc_);
    window_ = nullptr;
    dc_ = nullptr;
    if (!IsOurs(window, class_name_)) {  // closed by the user, or its thread has ended
        UnregisterClassA(class_name_, HostModule());
    } else if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        ReleaseDC(window, dc);
        DestroyWindow(window);
        UnregisterClassA(class_name_, HostModule());
    } else {
        {
            std::lock_guard<std::mutex> lock(pending_lock);
            pending_classes.emplace_back(class_name_);
        }
        PostMessageA(window, kCloseMessage, reinterpret_cast<WPARAM>(dc), 0);
    }
    class_name_[0] = '\0';
    UnregisterPendingClasses();
}

}  // namespace kelvox::ui
