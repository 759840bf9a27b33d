// The dialog templates and the version block compiled into the DLL, loaded as the dialog code
// loads them: every template creates, holds its controls with the right classes, captions and
// styles, the Japanese twins match the English ones, and nothing overlaps or is cut off.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "dll_host.h"  // windows.h before commctrl.h

#include <commctrl.h>

#include "resource_ids.h"

namespace {

constexpr const char* kTrackBar = "msctls_trackbar32";
constexpr const char* kUpDown = "msctls_updown32";

// A control of a template: id (-1 for a label, then found by its caption), window class, and the
// English caption where the control has a fixed one.
struct Control {
    int id;
    const char* window_class;
    const char* caption = nullptr;
};
using Controls = std::vector<Control>;

struct Template {
    int english;
    int japanese;
    bool page;
    Controls controls;
};

Controls operator+(Controls a, const Controls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Controls ValueRow(const char* label, int bar, int edit, int spin) {
    return {{-1, "Static", label}, {bar, kTrackBar}, {edit, "Edit"}, {spin, kUpDown}};
}

Controls BayerModes() {
    return {{-1, "Static", "Bayer Mode"}, {IDC_BAYER_MODE_0, "Button"}, {IDC_BAYER_MODE_1, "Button"},
            {IDC_BAYER_MODE_2, "Button"}, {IDC_BAYER_MODE_3, "Button"}};
}

Controls AutoRow(const char* label) {
    return {{-1, "Static", label}, {IDC_AUTO_ONCE, "Button", "Once"}, {IDC_AUTO_ALL_FRAMES, "Button", "All frames"}};
}

Controls Container() {
    return {{IDC_TAB, WC_TABCONTROLA}, {IDOK, "Button", "OK"}, {IDCANCEL, "Button", "Cancel"},
            {IDC_DEFAULT, "Button", "Default(&D)"}};
}

Controls GrayRows(int first) {
    Controls rows;
    const char* labels[] = {"Red", "Green1", "Green2", "Blue"};
    for (int i = 0; i < 4; ++i) rows = rows + ValueRow(labels[i], first + 3 * i, first + 3 * i + 1, first + 3 * i + 2);
    return rows;
}

Controls AnalogCommon() {
    return ValueRow("&Global Gain", IDC_GLOBAL_GAIN_BAR, IDC_GLOBAL_GAIN_EDIT, IDC_GLOBAL_GAIN_SPIN) +
           Controls{{IDC_EXPOSURE_LABEL, "Static", "&Exposure"},
                    {IDC_EXPOSURE_BAR, kTrackBar},
                    {IDC_EXPOSURE_EDIT, "Edit"},
                    {IDC_EXPOSURE_SPIN, kUpDown},
                    {IDC_EXPOSURE_MS, "Static", "= msec"},
                    {-1, "Static", "Auto Iris"},
                    {IDC_AUTO_IRIS_GAIN, "Button", "Gain"},
                    {IDC_AUTO_IRIS_EXPOSURE, "Button", "Exposure"},
                    {IDC_MIRROR_V, "Button", "Mirror V"},
                    {IDC_MIRROR_H, "Button", "Mirror H"},
                    {IDC_EXPOSURE_EX_LABEL, "Static", "ExposureEx"},
                    {IDC_EXPOSURE_EX_EDIT, "Edit"},
                    {IDC_EXPOSURE_EX_UNIT, "ComboBox"},
                    {IDC_EXPOSURE_EX_RANGE, "Static", "range"}};
}

const std::vector<Template>& Templates() {
    static const std::vector<Template> templates = {
        {IDD_CAMERA_EN, IDD_CAMERA_JA, false,
         {{IDC_TAB, WC_TABCONTROLA},
          {-1, "Button", "Video Format"},
          {-1, "Static", "Color / Compression(&C):"},
          {IDC_PIXEL_FORMAT, "ComboBox"},
          {-1, "Static", "Size(&S):"},
          {IDC_SIZE, "ComboBox"},
          {-1, "Static", "Sub Sample(&B):"},
          {IDC_SUBSAMPLE, "ComboBox"},
          {-1, "Button", "Camera Size"},
          {-1, "Static", "H Total"},
          {IDC_TOTAL_WIDTH, "Edit"},
          {-1, "Static", "V Total"},
          {IDC_TOTAL_HEIGHT, "Edit"},
          {-1, "Static", "H Effective"},
          {IDC_EFFECTIVE_WIDTH, "Edit"},
          {-1, "Static", "V Effective"},
          {IDC_EFFECTIVE_HEIGHT, "Edit"},
          {-1, "Static", "H Start"},
          {IDC_START_X, "Edit"},
          {-1, "Static", "V Start"},
          {IDC_START_Y, "Edit"},
          {-1, "Button", "Frame Rate"},
          {-1, "Static", "Wait Time(&T):"},
          {IDC_WAIT_TIME, "Edit"},
          {-1, "Static", "Clock(&C):"},
          {IDC_CLOCK, "ComboBox"},
          {IDOK, "Button", "OK"},
          {IDCANCEL, "Button", "Cancel"},
          {IDC_APPLY, "Button", "Apply(&A)"},
          {-1, "Static", "* In the WORD forwarding mode, please set the clock to the half."}}},
        {IDD_IMAGE_CONTAINER_EN, IDD_IMAGE_CONTAINER_JA, false, Container()},
        {IDD_ANALOG_CONTAINER_EN, IDD_ANALOG_CONTAINER_JA, false, Container()},
        {IDD_FILTER_PAGE_EN, IDD_FILTER_PAGE_JA, true,
         ValueRow("&Brightness", IDC_BRIGHTNESS_BAR, IDC_BRIGHTNESS_EDIT, IDC_BRIGHTNESS_SPIN) +
             ValueRow("&Contrast", IDC_CONTRAST_BAR, IDC_CONTRAST_EDIT, IDC_CONTRAST_SPIN) +
             ValueRow("&Hue", IDC_HUE_BAR, IDC_HUE_EDIT, IDC_HUE_SPIN) +
             ValueRow("&Saturation", IDC_SATURATION_BAR, IDC_SATURATION_EDIT, IDC_SATURATION_SPIN) +
             ValueRow("Shar&pness", IDC_SHARPNESS_BAR, IDC_SHARPNESS_EDIT, IDC_SHARPNESS_SPIN) +
             ValueRow("&R Gain", IDC_RED_GAIN_BAR, IDC_RED_GAIN_EDIT, IDC_RED_GAIN_SPIN) +
             ValueRow("&G Gain", IDC_GREEN_GAIN_BAR, IDC_GREEN_GAIN_EDIT, IDC_GREEN_GAIN_SPIN) +
             ValueRow("&B Gain", IDC_BLUE_GAIN_BAR, IDC_BLUE_GAIN_EDIT, IDC_BLUE_GAIN_SPIN) +
             ValueRow("&Gamma", IDC_GAMMA_BAR, IDC_GAMMA_EDIT, IDC_GAMMA_SPIN) + AutoRow("Auto white balance") +
             BayerModes()},
        {IDD_GRAY_PAGE_EN, IDD_GRAY_PAGE_JA, true,
         Controls{{-1, "Button", "Gain"}} + GrayRows(IDC_GRAY_GAIN_FIRST) + Controls{{-1, "Button", "Offset"}} +
             GrayRows(IDC_GRAY_OFFSET_FIRST) +
             Controls{{-1, "Static", "Filter mode"},
                      {IDC_FILTER_MODE_BAYER, "Button", "Bayer"},
                      {IDC_FILTER_MODE_CONVERT, "Button", "Bayer convert"},
                      {IDC_FILTER_MODE_GRAYSCALE, "Button", "Grayscale"}} +
             AutoRow("Auto Gain") + BayerModes()},
        {IDD_GRAY_COMPACT_EN, IDD_GRAY_COMPACT_JA, true,
         {{IDC_GRAY_GAIN_FIRST + 1, "Edit"}, {IDC_GRAY_GAIN_FIRST + 4, "Edit"}, {IDC_GRAY_GAIN_FIRST + 7, "Edit"},
          {IDC_GRAY_GAIN_FIRST + 10, "Edit"}, {IDC_GRAY_OFFSET_FIRST + 1, "Edit"},
          {IDC_GRAY_OFFSET_FIRST + 4, "Edit"}, {IDC_GRAY_OFFSET_FIRST + 7, "Edit"},
          {IDC_GRAY_OFFSET_FIRST + 10, "Edit"}}},
        {IDD_ANALOG_COLOUR_PAGE_EN, IDD_ANALOG_COLOUR_PAGE_JA, true,
         AnalogCommon() + ValueRow("&Color Gain G1", IDC_GAIN_G1_BAR, IDC_GAIN_G1_EDIT, IDC_GAIN_G1_SPIN) +
             ValueRow("&Color Gain R", IDC_GAIN_R_BAR, IDC_GAIN_R_EDIT, IDC_GAIN_R_SPIN) +
             ValueRow("&Color Gain B", IDC_GAIN_B_BAR, IDC_GAIN_B_EDIT, IDC_GAIN_B_SPIN) +
             ValueRow("&Color Gain G2", IDC_GAIN_G2_BAR, IDC_GAIN_G2_EDIT, IDC_GAIN_G2_SPIN)},
        {IDD_ANALOG_MONO_PAGE_EN, IDD_ANALOG_MONO_PAGE_JA, true,
         AnalogCommon() + Controls{{IDC_PELTIER, "Button", "Peltier"},
                                   {IDC_SHORT_EXPOSURE, "Button", "Short exposure mode"},
                                   {IDC_GAIN_MODE, "ComboBox"},
                                   {IDC_BLACK_LEVEL_LABEL, "Static", "&Black Level"},
                                   {IDC_BLACK_LEVEL_BAR, kTrackBar},
                                   {IDC_BLACK_LEVEL_EDIT, "Edit"},
                                   {IDC_BLACK_LEVEL_SPIN, kUpDown}}},
    };
    return templates;
}

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::string ClassOf(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

bool SameClass(HWND w, const char* window_class) { return lstrcmpiA(ClassOf(w).c_str(), window_class) == 0; }

std::wstring TextOf(HWND w) {
    wchar_t text[256] = {};
    GetWindowTextW(w, text, 256);
    return text;
}

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

std::vector<HWND> Children(HWND dialog) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    return children;
}

RECT RectIn(HWND w, HWND parent) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Creates templates from the DLL; pages need a parent window.
class DllDialogResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
        InitCommonControlsEx(&icc);
    }
    void SetUp() override {
        ASSERT_NE(kelvox_test::Dll(), nullptr);
        host_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override {
        for (HWND w : windows_)
            if (w && IsWindow(w)) DestroyWindow(w);
        DestroyWindow(host_);
    }

    // Unicode windows keep the Japanese captions whatever the system code page (the ANSI path
    // converts them to it).
    HWND Create(int id, bool page, HWND parent = nullptr) {
        HWND w = CreateDialogParamW(kelvox_test::Dll(), MAKEINTRESOURCEW(id), page ? (parent ? parent : host_) : nullptr,
                                    Quiet, 0);
        windows_.push_back(w);
        return w;
    }
    HWND host_ = nullptr;
    std::vector<HWND> windows_;
};

TEST_F(DllDialogResources, EveryTemplateHoldsItsControls) {
    for (const Template& t : Templates()) {
        for (int id : {t.english, t.japanese}) {
            SCOPED_TRACE("template " + std::to_string(id));
            HWND dialog = Create(id, t.page);
            ASSERT_NE(dialog, nullptr) << GetLastError();
            const LONG style = GetWindowLongA(dialog, GWL_STYLE);
            if (t.page) {
                EXPECT_EQ(style & (WS_CHILD | DS_CONTROL | WS_CAPTION), WS_CHILD | DS_CONTROL);
            } else {
                EXPECT_EQ(style & (WS_POPUP | WS_CAPTION), WS_POPUP | WS_CAPTION);
                if (id == t.english) { EXPECT_EQ(TextOf(dialog), L"Property"); }
            }
            const auto children = Children(dialog);
            for (const Control& c : t.controls) {
                SCOPED_TRACE(std::to_string(c.id) + " " + (c.caption ? c.caption : ""));
                if (c.id != -1) {
                    HWND w = GetDlgItem(dialog, c.id);
                    ASSERT_NE(w, nullptr);
                    EXPECT_TRUE(SameClass(w, c.window_class)) << ClassOf(w);
                    if (c.caption && id == t.english) { EXPECT_EQ(TextOf(w), Wide(c.caption)); }
                } else if (id == t.english) {
                    EXPECT_TRUE(std::any_of(children.begin(), children.end(), [&](HWND w) {
                        return SameClass(w, c.window_class) && TextOf(w) == Wide(c.caption);
                    }));
                }
            }
        }
    }
    // The camera dialog's size is fixed.
    HWND camera = Create(IDD_CAMERA_EN, false);
    RECT client, units{0, 0, 313, 229};
    GetClientRect(camera, &client);
    MapDialogRect(camera, &units);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);
}

TEST_F(DllDialogResources, JapaneseTemplatesHaveTheEnglishControlsInJapanese) {
    for (const Template& t : Templates()) {
        SCOPED_TRACE("template " + std::to_string(t.english));
        HWND english = Create(t.english, t.page), japanese = Create(t.japanese, t.page);
        ASSERT_TRUE(english && japanese);
        auto layout = [](HWND dialog) {
            std::vector<std::pair<int, std::string>> controls;
            for (HWND c : Children(dialog)) controls.emplace_back(GetDlgCtrlID(c), ClassOf(c));
            return controls;
        };
        EXPECT_EQ(layout(english), layout(japanese));
        EXPECT_EQ(GetWindowLongA(english, GWL_STYLE), GetWindowLongA(japanese, GWL_STYLE));
        // Every word the user reads is Japanese, numbers, "OK" and unit texts aside.
        for (HWND c : Children(japanese)) {
            const std::wstring text = TextOf(c);
            const bool ascii_only =
                std::all_of(text.begin(), text.end(), [](wchar_t ch) { return ch < 0x80; });
            if (text.size() > 2 && text != L"= msec") { EXPECT_FALSE(ascii_only) << GetDlgCtrlID(c); }
        }
    }
}

TEST_F(DllDialogResources, ControlStylesSuitTheirValues) {
    for (const Template& t : Templates()) {
        for (int id : {t.english, t.japanese}) {
            SCOPED_TRACE("template " + std::to_string(id));
            HWND dialog = Create(id, t.page);
            ASSERT_NE(dialog, nullptr);
            for (HWND c : Children(dialog)) {
                const LONG style = GetWindowLongA(c, GWL_STYLE);
                const int control = GetDlgCtrlID(c);
                SCOPED_TRACE(control);
                if (SameClass(c, "Edit")) {
                    EXPECT_EQ(style & ES_NUMBER, 0);  // values go negative
                } else if (SameClass(c, kUpDown)) {
                    const LONG wanted = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;
                    EXPECT_EQ(style & (wanted | UDS_AUTOBUDDY), wanted);
                    EXPECT_TRUE(SameClass(GetWindow(c, GW_HWNDPREV), "Edit"));  // its buddy comes first
                } else if (SameClass(c, "ComboBox")) {
                    EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
                } else if (SameClass(c, "Button") && control >= 1000) {
                    const bool radio = (control >= IDC_BAYER_MODE_0 && control <= IDC_BAYER_MODE_3) ||
                                       (control >= IDC_FILTER_MODE_BAYER && control <= IDC_FILTER_MODE_GRAYSCALE);
                    const bool first = control == IDC_BAYER_MODE_0 || control == IDC_FILTER_MODE_BAYER;
                    const LONG type = control == IDC_AUTO_ONCE || control == IDC_APPLY ? BS_PUSHBUTTON
                                      : radio                  ? BS_AUTORADIOBUTTON
                                                               : BS_AUTOCHECKBOX;
                    EXPECT_EQ(style & BS_TYPEMASK, type);
                    if (radio) { EXPECT_EQ((style & WS_GROUP) != 0, first); }
                }
            }
        }
    }
}

// The two analog exposure rows share a place: the code shows only one of them.
bool ShareAPlace(int a, int b) {
    auto exposure = [](int id) {
        return id == IDC_EXPOSURE_LABEL || id == IDC_EXPOSURE_BAR || id == IDC_EXPOSURE_EDIT ||
               id == IDC_EXPOSURE_SPIN || id == IDC_EXPOSURE_MS;
    };
    auto extended = [](int id) { return id >= IDC_EXPOSURE_EX_EDIT && id <= IDC_EXPOSURE_EX_LABEL; };
    return (exposure(a) && extended(b)) || (extended(a) && exposure(b));
}

TEST_F(DllDialogResources, ControlsNeitherOverlapNorCutTheirTexts) {
    for (const Template& t : Templates()) {
        for (int id : {t.english, t.japanese}) {
            SCOPED_TRACE("template " + std::to_string(id));
            HWND dialog = Create(id, t.page);
            ASSERT_NE(dialog, nullptr);
            RECT client;
            GetClientRect(dialog, &client);
            std::vector<HWND> placed;
            for (HWND c : Children(dialog)) {
                const RECT r = RectIn(c, dialog);
                const LONG type = GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK;
                const bool frame = SameClass(c, WC_TABCONTROLA) || (SameClass(c, "Button") && type == BS_GROUPBOX);
                SCOPED_TRACE(GetDlgCtrlID(c));
                EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom);
                // The caption's extent in the control's own font, with room for a box or a frame.
                const std::wstring text = TextOf(c);
                if (!text.empty()) {
                    HDC dc = GetDC(c);
                    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)));
                    RECT extent{0, 0, 0, 0};
                    DrawTextW(dc, text.c_str(), -1, &extent, DT_CALCRECT | DT_SINGLELINE);
                    SelectObject(dc, old);
                    ReleaseDC(c, dc);
                    int room = r.right - r.left;
                    if (SameClass(c, "Button"))
                        room -= type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? 4
                                : frame                                            ? 16
                                                                                   : GetSystemMetrics(SM_CXMENUCHECK) + 4;
                    EXPECT_LE(extent.right, room) << "cut off: " << ::testing::PrintToString(text);
                    EXPECT_LE(extent.bottom, r.bottom - r.top) << "cut off: " << ::testing::PrintToString(text);
                }
                if (frame) continue;
                for (HWND other : placed) {
                    RECT o = RectIn(other, dialog), both;
                    const bool buddy = SameClass(c, kUpDown) && other == GetWindow(c, GW_HWNDPREV);
                    if (buddy || ShareAPlace(GetDlgCtrlID(c), GetDlgCtrlID(other))) continue;
                    EXPECT_FALSE(IntersectRect(&both, &r, &o)) << "overlaps " << GetDlgCtrlID(other);
                }
                placed.push_back(c);
            }
        }
    }
}

TEST_F(DllDialogResources, PagesFitInsideTheirContainersTabs) {
    const std::pair<int, int> pairs[] = {
        {IDD_IMAGE_CONTAINER_EN, IDD_FILTER_PAGE_EN},         {IDD_IMAGE_CONTAINER_EN, IDD_GRAY_PAGE_EN},
        {IDD_ANALOG_CONTAINER_EN, IDD_ANALOG_COLOUR_PAGE_EN}, {IDD_ANALOG_CONTAINER_EN, IDD_ANALOG_MONO_PAGE_EN},
        {IDD_IMAGE_CONTAINER_JA, IDD_FILTER_PAGE_JA},         {IDD_IMAGE_CONTAINER_JA, IDD_GRAY_PAGE_JA},
        {IDD_ANALOG_CONTAINER_JA, IDD_ANALOG_COLOUR_PAGE_JA}, {IDD_ANALOG_CONTAINER_JA, IDD_ANALOG_MONO_PAGE_JA},
    };
    for (const auto& [container_id, page_id] : pairs) {
        SCOPED_TRACE("page " + std::to_string(page_id));
        HWND container = Create(container_id, false);
        ASSERT_NE(container, nullptr);
        HWND tab = GetDlgItem(container, IDC_TAB);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>("Page");
        SendMessageA(tab, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        HWND page = Create(page_id, true, tab);
        ASSERT_NE(page, nullptr);
        SetWindowPos(page, nullptr, 30, 25, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        RECT area, placed = RectIn(page, tab);
        GetClientRect(tab, &area);
        SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        EXPECT_GE(placed.top, area.top);
        EXPECT_LE(placed.right, area.right);
        EXPECT_LE(placed.bottom, area.bottom);
    }
}

TEST(DllVersionResource, FileVersionIsTheDllVersion) {
    KELVOX_EXPORT(Kelvox_GetDllVersion);
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(kelvox_test::Dll(), path, MAX_PATH), 0u);
    std::vector<char> block(GetFileVersionInfoSizeA(path, nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    auto packed = [](DWORD ms, DWORD ls) {
        return static_cast<int>((HIWORD(ms) << 24) | (LOWORD(ms) << 16) | (HIWORD(ls) << 8) | LOWORD(ls));
    };
    EXPECT_EQ(packed(fixed->dwFileVersionMS, fixed->dwFileVersionLS), Kelvox_GetDllVersion());
    EXPECT_EQ(packed(fixed->dwProductVersionMS, fixed->dwProductVersionLS), Kelvox_GetDllVersion());
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\OriginalFilename",
                               reinterpret_cast<void**>(&text), &size));
    EXPECT_STREQ(text, kelvox_test::kDllName);
}

}  // namespace
