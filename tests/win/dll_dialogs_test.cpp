// The settings dialogs driven as a user drives them: the export shows its dialog on this thread
// while a second thread finds it, types into edits, moves track bars, picks combo entries, ticks
// boxes and presses buttons; then what reached the camera, the session and the registry.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "dll_host.h"  // windows.h first
#include "kelvox/kelvox_sim.h"

#include <commctrl.h>
#include <wincodec.h>
#include "resource_ids.h"

namespace {

struct Api {
    KELVOX_EXPORT(KelvoxSim_DefaultCamera);
    KELVOX_EXPORT(KelvoxSim_Attach);
    KELVOX_EXPORT(KelvoxSim_DetachAll);
    KELVOX_EXPORT(KelvoxSim_PeekRegister);
    KELVOX_EXPORT(Kelvox_Initialize);
    KELVOX_EXPORT(Kelvox_Release);
    KELVOX_EXPORT(Kelvox_GetLastError);
    KELVOX_EXPORT(Kelvox_SetColorMode);
    KELVOX_EXPORT(Kelvox_SetFilterValue);
    KELVOX_EXPORT(Kelvox_GetFilterValue);
    KELVOX_EXPORT(Kelvox_SetAutoIris);
    KELVOX_EXPORT(Kelvox_SetExposureTimeEx);
    KELVOX_EXPORT(Kelvox_CallBackPreview);
    KELVOX_EXPORT(Kelvox_StopPreview);
    KELVOX_EXPORT(Kelvox_SetCameraDlg);
    KELVOX_EXPORT(Kelvox_SetAnalogDlg);
    KELVOX_EXPORT(Kelvox_SetImageDlg);
};

const bool kJapanese = GetSystemDefaultLangID() == 1041;
constexpr const char* kCameraKey = "Software\\Quorin\\DizoruDu403Z5Avo\\Camera_00";

int StoredDword(const std::string& key, const char* name) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return -12345;
    return static_cast<int>(value);
}

// The modal dialog of `thread`, once it is up.
HWND WaitForDialog(DWORD thread) {
    for (int i = 0; i < 1000; ++i) {
        HWND found = nullptr;
        EnumThreadWindows(
            thread,
            [](HWND w, LPARAM out) {
                char name[32] = {};
                GetClassNameA(w, name, sizeof name);
                if (std::strcmp(name, "#32770") || !IsWindowVisible(w)) return TRUE;
                *reinterpret_cast<HWND*>(out) = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        if (found) return found;
        Sleep(10);
    }
    return nullptr;
}

// The page of a tabbed dialog that holds control `id`.
HWND PageWith(HWND dialog, int id) {
    HWND tab = GetDlgItem(dialog, IDC_TAB);
    for (HWND page = GetWindow(tab, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
        if (GetDlgItem(page, id)) return page;
    return nullptr;
}

void Type(HWND page, int id, const char* text) { SendMessageA(GetDlgItem(page, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }
std::string TextOf(HWND page, int id) {
    char text[256] = {};
    GetDlgItemTextA(page, id, text, sizeof text);
    return text;
}
void Slide(HWND page, int id, int position) {
    HWND bar = GetDlgItem(page, id);
    SendMessageA(bar, TBM_SETPOS, TRUE, position);
    SendMessageA(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(bar));
}
void Pick(HWND page, int id, int entry) {
    HWND box = GetDlgItem(page, id);
    SendMessageA(box, CB_SETCURSEL, entry, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}
void Click(HWND window, int id) { SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }
std::vector<std::string> Entries(HWND page, int id) {
    std::vector<std::string> entries;
    HWND box = GetDlgItem(page, id);
    const int n = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char text[128] = {};
        SendMessageA(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}
bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != 0; }

// The dialog as it is on the screen, as <directory>/<name>-en.png or -ja.png, when the run asks
// for screenshots (KELVOX_SCREENSHOT_DIR).
void Screenshot(HWND dialog, const char* name) {
    const char* directory = std::getenv("KELVOX_SCREENSHOT_DIR");
    if (!directory || !*directory) return;
    CreateDirectoryA(directory, nullptr);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200);
    RECT r;
    GetWindowRect(dialog, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const std::wstring path = std::wstring(directory, directory + std::strlen(directory)) + L"/" +
                              std::wstring(name, name + std::strlen(name)) + (kJapanese ? L"-ja.png" : L"-en.png");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    const bool written =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) && SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->SetSize(static_cast<UINT>(w), static_cast<UINT>(h))) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
        SUCCEEDED(frame->WritePixels(static_cast<UINT>(h), static_cast<UINT>(w) * 4, static_cast<UINT>(w * h * 4),
                                     static_cast<BYTE*>(bits))) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    for (IUnknown* u : std::initializer_list<IUnknown*>{frame, encoder, stream, factory})
        if (u) u->Release();
    CoUninitialize();
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(written) << "screenshot " << name;
}

class DllDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(api_.Kelvox_SetCameraDlg, nullptr);
        KELVOX_SIM_CAMERA c;
        api_.KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "WIN-DIALOGS");
        camera_ = api_.KelvoxSim_Attach(&c);
        handle_ = api_.Kelvox_Initialize(nullptr);
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KelvoxDialogOwner";
        RegisterClassA(&wc);
        owner_ = CreateWindowExA(0, "KelvoxDialogOwner", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    void TearDown() override {
        api_.Kelvox_StopPreview(handle_);
        api_.Kelvox_Release(handle_);
        api_.KelvoxSim_DetachAll();
        DestroyWindow(owner_);
    }

    // Runs the export with `drive` on a second thread; a dialog the driver leaves open is cancelled.
    int Run(int (*show)(int, KELVOX_HWND), const std::function<void(HWND)>& drive) {
        const DWORD me = GetCurrentThreadId();
        std::thread driver([&] {
            HWND dialog = WaitForDialog(me);
            if (!dialog) return;
            drive(dialog);
            if (IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        const int result = show(handle_, owner_);
        driver.join();
        return result;
    }
    int GainRegister() {
        unsigned low = 0, high = 0;
        api_.KelvoxSim_PeekRegister(camera_, 0x48, 0x0404, &low);
        api_.KelvoxSim_PeekRegister(camera_, 0x48, 0x0405, &high);
        return static_cast<int>(low | (high & 1) << 8);
    }
    int Filter(int id) {
        int ok = 0;
        return api_.Kelvox_GetFilterValue(handle_, id, &ok);
    }

    Api api_;
    std::vector<unsigned char> frame_ = std::vector<unsigned char>(1920u * 1200u * 3u);  // outlives the preview
    int camera_ = -1, handle_ = 0;
    HWND owner_ = nullptr;
};

}  // namespace

TEST_F(DllDialogs, CameraDialogOkStoresTheStreamFormat) {
    std::vector<std::string> clocks;
    bool clock_enabled = true, owner_enabled = true;
    ASSERT_EQ(Run(api_.Kelvox_SetCameraDlg,
                  [&](HWND d) {
                      Screenshot(d, "camera");
                      clocks = Entries(d, IDC_CLOCK);
                      clock_enabled = Enabled(d, IDC_CLOCK);
                      owner_enabled = IsWindowEnabled(owner_) != 0;
                      Click(d, IDOK);
                  }),
              1);
    ASSERT_EQ(clocks.size(), 3u);
    if (!kJapanese) {
        EXPECT_EQ(clocks[0], "Nomal(24MHz)");
    }
    EXPECT_FALSE(clock_enabled);
    EXPECT_FALSE(owner_enabled);  // modal
    EXPECT_EQ(StoredDword(kCameraKey, "Clock"), 2);
    EXPECT_EQ(StoredDword(kCameraKey, "SubSample"), 0);
}

TEST_F(DllDialogs, CameraDialogCustomSizeAddsAPreset) {
    std::vector<std::string> sizes;
    ASSERT_EQ(Run(api_.Kelvox_SetCameraDlg,
                  [&](HWND d) {
                      Pick(d, IDC_SIZE, static_cast<int>(Entries(d, IDC_SIZE).size()) - 1);  // "Custom"
                      Type(d, IDC_EFFECTIVE_WIDTH, "640");
                      Type(d, IDC_EFFECTIVE_HEIGHT, "480");
                      Click(d, IDC_APPLY);
                      sizes = Entries(d, IDC_SIZE);
                      Click(d, IDCANCEL);
                  }),
              1);
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[1], "640 x 480");
    EXPECT_EQ(StoredDword(std::string(kCameraKey) + "\\Size_01", "EH"), 640);
    EXPECT_EQ(StoredDword(std::string(kCameraKey) + "\\Size_01", "EV"), 480);
}

TEST_F(DllDialogs, AnalogDialogCancelRestoresTheGain) {
    const int before = GainRegister();
    int during = -1, record_during = -1;
    ASSERT_EQ(Run(api_.Kelvox_SetAnalogDlg,
                  [&](HWND d) {
                      HWND page = PageWith(d, IDC_GLOBAL_GAIN_BAR);
                      Slide(page, IDC_GLOBAL_GAIN_BAR, 300);
                      Screenshot(d, "analog");
                      during = GainRegister();
                      record_during = Filter(KELVOX_FILTER_GLOBAL_GAIN);
                      Click(d, IDCANCEL);
                  }),
              1);
    EXPECT_EQ(during, 300);
    EXPECT_EQ(record_during, 300);
    EXPECT_EQ(GainRegister(), before);
    EXPECT_EQ(Filter(KELVOX_FILTER_GLOBAL_GAIN), before);
}

TEST_F(DllDialogs, ImageDialogFollowsTheOutputFormat) {
    const struct {
        int bits;
        int tabs;
        bool hue;
    } cases[] = {{8, 2, false}, {24, 1, true}};
    for (const auto& c : cases) {
        ASSERT_TRUE(api_.Kelvox_SetColorMode(handle_, c.bits));
        int tabs = 0;
        bool hue = false, saturation = false, red = false, gamma = false, gray_shown = false;
        int brightness_at = -1, brightness_low = 0, thumb_off_centre = -1;
        ASSERT_EQ(Run(api_.Kelvox_SetImageDlg,
                      [&](HWND d) {
                          tabs = static_cast<int>(SendMessageA(GetDlgItem(d, IDC_TAB), TCM_GETITEMCOUNT, 0, 0));
                          HWND page = PageWith(d, IDC_HUE_BAR);
                          hue = Enabled(page, IDC_HUE_BAR);
                          saturation = Enabled(page, IDC_SATURATION_EDIT);
                          red = Enabled(page, IDC_RED_GAIN_EDIT);
                          gamma = Enabled(page, IDC_GAMMA_EDIT);
                          brightness_at = static_cast<int>(SendMessageA(GetDlgItem(page, IDC_BRIGHTNESS_BAR), TBM_GETPOS, 0, 0));
                          brightness_low = static_cast<int>(SendMessageA(GetDlgItem(page, IDC_BRIGHTNESS_BAR), TBM_GETRANGEMIN, 0, 0));
                          RECT thumb{}, channel{};  // where the thumb is drawn, not only its number
                          SendMessageA(GetDlgItem(page, IDC_BRIGHTNESS_BAR), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
                          SendMessageA(GetDlgItem(page, IDC_BRIGHTNESS_BAR), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
                          thumb_off_centre = std::abs((thumb.left + thumb.right) - (channel.left + channel.right)) / 2;
                          Screenshot(d, c.bits == 8 ? "image-mono" : "image-colour");
                          if (tabs == 2) {  // the gray page, as a click on its tab shows it
                              HWND tab = GetDlgItem(d, IDC_TAB);
                              SendMessageA(tab, TCM_SETCURSEL, 1, 0);
                              NMHDR change{tab, IDC_TAB, static_cast<UINT>(TCN_SELCHANGE)};
                              SendMessageA(d, WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&change));
                              gray_shown = IsWindowVisible(PageWith(d, IDC_GRAY_GAIN_FIRST)) != 0;
                              Screenshot(d, "image-gray");
                          }
                          Click(d, IDOK);
                      }),
                  1);
        EXPECT_EQ(tabs, c.tabs) << c.bits;
        EXPECT_EQ(hue, c.hue) << c.bits;
        EXPECT_EQ(saturation, c.hue) << c.bits;
        EXPECT_EQ(red, c.hue) << c.bits;
        EXPECT_TRUE(gamma) << c.bits;
        EXPECT_EQ(gray_shown, c.tabs == 2) << c.bits;
        EXPECT_EQ(brightness_low, -255);
        EXPECT_EQ(brightness_at, 0);  // the middle of -255..255
        EXPECT_GE(thumb_off_centre, 0);
        EXPECT_LE(thumb_off_centre, 6);
    }
}

TEST_F(DllDialogs, ImageDialogDefaultKeepsTheGrayMode) {
    ASSERT_TRUE(api_.Kelvox_SetColorMode(handle_, 8));
    ASSERT_TRUE(api_.Kelvox_SetFilterValue(handle_, KELVOX_FILTER_GRAY_MODE, 2));
    ASSERT_TRUE(api_.Kelvox_SetFilterValue(handle_, KELVOX_FILTER_GRAY_GAIN_G1, 40));
    std::string gain_text;
    ASSERT_EQ(Run(api_.Kelvox_SetImageDlg,
                  [&](HWND d) {
                      HWND filter = PageWith(d, IDC_BRIGHTNESS_BAR);
                      Type(filter, IDC_BRIGHTNESS_EDIT, "-30");
                      Click(d, IDC_DEFAULT);
                      gain_text = TextOf(PageWith(d, IDC_GRAY_GAIN_FIRST), IDC_GRAY_GAIN_FIRST + 1);
                      Click(d, IDOK);
                  }),
              1);
    EXPECT_EQ(gain_text, "128");
    EXPECT_EQ(Filter(KELVOX_FILTER_GRAY_MODE), 2);
    EXPECT_EQ(Filter(KELVOX_FILTER_GRAY_GAIN_G1), 128);
    EXPECT_EQ(Filter(KELVOX_FILTER_GRAY_OFFSET_B), 128);
    EXPECT_EQ(Filter(KELVOX_FILTER_BRIGHTNESS), 0);
}

TEST_F(DllDialogs, LiveChangesReachFramesAndTheCameraDialogRestartsThePreview) {
    // 24-bit colour: the format the camera dialog stores when left as it is.
    ASSERT_TRUE(api_.Kelvox_SetColorMode(handle_, 24));
    std::vector<unsigned char>& frame = frame_;
    ASSERT_EQ(api_.Kelvox_CallBackPreview(handle_, nullptr, frame.data(), static_cast<int>(frame.size()), 0), 1);
    auto mean = [&] {
        Sleep(300);  // a few frames
        uint64_t sum = 0;
        for (size_t i = 0; i < frame.size(); i += 97) sum += frame[i];
        return static_cast<double>(sum) / static_cast<double>(frame.size() / 97);
    };
    ASSERT_TRUE(api_.Kelvox_SetFilterValue(handle_, KELVOX_FILTER_BRIGHTNESS, -100));
    const double before = mean();
    double brighter = 0;
    ASSERT_EQ(Run(api_.Kelvox_SetImageDlg,
                  [&](HWND d) {
                      Slide(PageWith(d, IDC_BRIGHTNESS_BAR), IDC_BRIGHTNESS_BAR, 80);
                      brighter = mean();
                      Click(d, IDOK);
                  }),
              1);
    EXPECT_GT(brighter, before + 40);
    // Stopped while the camera dialog is open, running again after it.
    unsigned first = 0, second = 0;
    ASSERT_EQ(Run(api_.Kelvox_SetCameraDlg,
                  [&](HWND d) {
                      first = frame[1000];
                      std::memset(frame.data(), 0, frame.size());
                      Sleep(300);
                      second = frame[1000];
                      Click(d, IDOK);
                  }),
              1);
    EXPECT_EQ(second, 0u);
    Sleep(300);
    EXPECT_NE(frame[1000], 0u);
    (void)first;
}

TEST_F(DllDialogs, AutomaticGainShowsInTheOpenAnalogDialog) {
    ASSERT_EQ(api_.Kelvox_CallBackPreview(handle_, nullptr, frame_.data(), static_cast<int>(frame_.size()), 0), 1);
    ASSERT_EQ(api_.Kelvox_SetAutoIris(handle_, 2), 1);
    int checks = 0, matches = 0;
    std::vector<std::string> shown;
    ASSERT_EQ(Run(api_.Kelvox_SetAnalogDlg,
                  [&](HWND d) {
                      HWND page = PageWith(d, IDC_GLOBAL_GAIN_EDIT);
                      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                      while (std::chrono::steady_clock::now() < end) {
                          Sleep(250);
                          const int gain = Filter(KELVOX_FILTER_GLOBAL_GAIN);
                          Sleep(100);  // the posted value reaches the edit
                          ++checks;
                          // A darker and a brighter scene in turn keep the gain moving.
                          if (checks % 12 == 0) api_.Kelvox_SetExposureTimeEx(handle_, checks % 24 ? 0.0002 : 0.02);
                          if (shown.empty() || shown.back() != TextOf(page, IDC_GLOBAL_GAIN_EDIT))
                              shown.push_back(TextOf(page, IDC_GLOBAL_GAIN_EDIT));
                          matches += TextOf(page, IDC_GLOBAL_GAIN_EDIT) == std::to_string(Filter(KELVOX_FILTER_GLOBAL_GAIN)) ||
                                     TextOf(page, IDC_GLOBAL_GAIN_EDIT) == std::to_string(gain);
                      }
                      Click(d, IDOK);
                  }),
              1);
    EXPECT_GT(checks, 50);
    EXPECT_GE(matches, checks * 9 / 10);
    EXPECT_GE(shown.size(), 2u);  // the gain moved, and the edit with it
}

TEST_F(DllDialogs, TemplatesAndTextsFollowTheSystemLanguage) {
    std::wstring title, tab, format, unit;
    ASSERT_EQ(Run(api_.Kelvox_SetAnalogDlg,
                  [&](HWND d) {
                      wchar_t text[64] = {};
                      GetWindowTextW(d, text, 64);
                      title = text;
                      TCITEMW item{};
                      item.mask = TCIF_TEXT;
                      item.pszText = text;
                      item.cchTextMax = 64;
                      SendMessageW(GetDlgItem(d, IDC_TAB), TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                      tab = text;
                      HWND page = PageWith(d, IDC_EXPOSURE_EX_UNIT);
                      SendMessageW(GetDlgItem(page, IDC_EXPOSURE_EX_UNIT), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
                      unit = text;
                      Click(d, IDOK);
                  }),
              1);
    ASSERT_EQ(Run(api_.Kelvox_SetCameraDlg,
                  [&](HWND d) {
                      wchar_t text[64] = {};
                      SendMessageW(GetDlgItem(d, IDC_PIXEL_FORMAT), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
                      format = text;
                      Click(d, IDCANCEL);
                  }),
              1);
    EXPECT_EQ(title, kJapanese ? L"\u30d7\u30ed\u30d1\u30c6\u30a3" : L"Property");
    EXPECT_EQ(tab, kJapanese ? L"\u30a2\u30ca\u30ed\u30b0\u30b2\u30a4\u30f3" : L"Analog Gain");
    EXPECT_EQ(format, kJapanese ? L"\u30e2\u30ce\u30af\u30ed 8bit" : L"Monochrome 8bit");
    EXPECT_EQ(unit, L"\u03bcs");  // the micro sign as written, in either code page
}

