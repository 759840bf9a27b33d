#include "ui/settings_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace kelvox::ui {

namespace {

using settings::ControlUpdate;
using settings::DialogModel;
using settings::PageModel;
using settings::Updates;

// Posted to a page by another thread: an edit (wParam) is to show a value (lParam) as if typed.
constexpr UINT kShowValue = WM_APP + 1;

struct PageWindow;

struct DialogState {
    DialogModel* model = nullptr;
    HWND dialog = nullptr;
    std::vector<PageWindow*> pages;
    HBRUSH face = nullptr;
};

// One page: a child dialog of the tab control, or the dialog itself for a dialog without pages.
struct PageWindow {
    PageModel* model = nullptr;
    HWND window = nullptr;
    int applying = 0;  // changes made here are not the user's
};

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

bool IsClass(HWND control, const char* name) {
    char class_name[64] = {};
    GetClassNameA(control, class_name, sizeof class_name);
    return lstrcmpiA(class_name, name) == 0;
}

void Apply(PageWindow& page, const Updates& updates) {
    ++page.applying;
    for (const ControlUpdate& u : updates) {
        HWND c = GetDlgItem(page.window, u.id);
        if (!c) continue;
        const bool bar = IsClass(c, TRACKBAR_CLASSA), spin = IsClass(c, UPDOWN_CLASSA);
        if (u.fields & ControlUpdate::kItems) {
            SendMessageW(c, CB_RESETCONTENT, 0, 0);
            for (const std::string& item : u.items)
                SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
        }
        if (u.fields & ControlUpdate::kSelection) SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(u.selection), 0);
        if (u.fields & ControlUpdate::kBuddy) SendMessageW(c, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(page.window, u.buddy)), 0);
        if (u.fields & ControlUpdate::kRange) {
            if (bar) {
                SendMessageW(c, TBM_SETRANGEMIN, TRUE, u.low);
                SendMessageW(c, TBM_SETRANGEMAX, TRUE, u.high);
                SendMessageW(c, TBM_SETPAGESIZE, 0, u.page);
            } else if (spin) {
                SendMessageW(c, UDM_SETRANGE32, static_cast<WPARAM>(u.low), u.high);
            }
        }
        if (u.fields & ControlUpdate::kPosition) {
            if (bar) {
                // Through the minimum first: Wine keeps a thumb drawn for an old range when the
                // position itself does not change.
                SendMessageW(c, TBM_SETPOS, FALSE, SendMessageW(c, TBM_GETRANGEMIN, 0, 0));
                SendMessageW(c, TBM_SETPOS, TRUE, u.position);
            }
            else if (spin) SendMessageW(c, UDM_SETPOS32, 0, u.position);
        }
        if (u.fields & ControlUpdate::kText) SetWindowTextW(c, Wide(u.text).c_str());
        if (u.fields & ControlUpdate::kChecked) SendMessageW(c, BM_SETCHECK, u.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        if (u.fields & ControlUpdate::kEnabled) EnableWindow(c, u.enabled);
        if (u.fields & ControlUpdate::kVisible) ShowWindow(c, u.visible ? SW_SHOW : SW_HIDE);
    }
    --page.applying;
}

// A user's change on a page, answered by its model.
bool Notify(PageWindow& page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (page.applying || !page.model) return false;
    settings::ControlInput input;
    int id = 0;
    if (message == WM_HSCROLL && lparam && IsClass(reinterpret_cast<HWND>(lparam), TRACKBAR_CLASSA)) {
        id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
        input.value = static_cast<int>(SendMessageW(reinterpret_cast<HWND>(lparam), TBM_GETPOS, 0, 0));
    } else if (message == WM_COMMAND) {
        id = LOWORD(wparam);
        HWND c = reinterpret_cast<HWND>(lparam);
        switch (HIWORD(wparam)) {
            case EN_CHANGE: {
                std::wstring text(static_cast<size_t>(GetWindowTextLengthW(c)) + 1, L'\0');
                text.resize(static_cast<size_t>(GetWindowTextW(c, text.data(), static_cast<int>(text.size()))));
                input.text = Utf8(text);
                break;
            }
            case BN_CLICKED: input.value = SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED; break;
            case CBN_SELCHANGE: input.value = static_cast<int>(SendMessageW(c, CB_GETCURSEL, 0, 0)); break;
            default: return false;
        }
    } else {
        return false;
    }
    Apply(page, page.model->Changed(id, input));
    return true;
}

void StartPage(PageWindow& page, HWND window) {
    page.window = window;
    Apply(page, page.model->Initialise());
    page.model->SetPoster([window](int id, int value) {
        PostMessageW(window, kShowValue, static_cast<WPARAM>(id), static_cast<LPARAM>(value));
    });
}

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* page = reinterpret_cast<PageWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(window, DWLP_USER, lparam);
            StartPage(*reinterpret_cast<PageWindow*>(lparam), window);
            return TRUE;
        case kShowValue:
            if (wparam == settings::kShowAll) {
                if (page) Apply(*page, page->model->Initialise());
                return TRUE;
            }
            // Not marked as applying: the edit's change then runs as the user's.
            SetDlgItemInt(window, static_cast<int>(wparam), static_cast<UINT>(lparam), TRUE);
            return TRUE;
        case WM_DESTROY:
            if (page) page->model->SetPoster(nullptr);
            return FALSE;
        default: return page && Notify(*page, message, wparam, lparam);
    }
}

void ShowPage(DialogState& state, int selected) {
    for (size_t i = 0; i < state.pages.size(); ++i)
        ShowWindow(state.pages[i]->window, static_cast<int>(i) == selected ? SW_SHOW : SW_HIDE);
}

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

struct Dialog {
    DialogState state;
    std::vector<DialogModel::Page> specs;
    std::vector<PageWindow> pages;
    PageWindow own;
};

BOOL Initialise(HWND window, Dialog& d) {
    DialogState& state = d.state;
    state.dialog = window;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(&d));
    HWND tab = GetDlgItem(window, IDC_TAB);
    std::vector<std::string> tabs;
    for (const DialogModel::Page& p : d.specs) tabs.push_back(p.tab);
    if (d.specs.empty()) tabs = state.model->OwnTabs();
    for (size_t i = 0; i < tabs.size(); ++i) {
        std::wstring text = Wide(tabs[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    HMODULE module = ThisModule();
    for (size_t i = 0; i < d.specs.size(); ++i) {
        HWND page = CreateDialogParamW(module, MAKEINTRESOURCEW(d.specs[i].template_id), tab, PageProc,
                                       reinterpret_cast<LPARAM>(&d.pages[i]));
        if (!page) {
            EndDialog(window, 0);
            return TRUE;
        }
        SetWindowPos(page, nullptr, 30, 25, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        state.pages.push_back(&d.pages[i]);
    }
    ShowPage(state, 0);
    if (PageModel* own = state.model->OwnControls()) {
        d.own.model = own;
        StartPage(d.own, window);
    }
    return TRUE;
}

void Button(Dialog& d, int id) {
    const DialogModel::Answer answer = d.state.model->Button(id);
    for (const auto& [index, updates] : answer.updates) {
        if (index < 0) Apply(d.own, updates);
        else if (index < static_cast<int>(d.pages.size())) Apply(d.pages[index], updates);
    }
    if (answer.end_with) EndDialog(d.state.dialog, answer.end_with);
}

void DrawTab(const DialogState& state, const DRAWITEMSTRUCT& item) {
    wchar_t text[128] = {};
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = 127;
    SendMessageW(item.hwndItem, TCM_GETITEMW, item.itemID, reinterpret_cast<LPARAM>(&tab));
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, state.face);
    SetBkColor(item.hDC, GetSysColor(COLOR_BTNFACE));
    DrawTextW(item.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) return Initialise(window, *reinterpret_cast<Dialog*>(lparam));
    auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!d) return FALSE;
    switch (message) {
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->idFrom == IDC_TAB && header->code == TCN_SELCHANGE) {
                ShowPage(d->state, static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
                return TRUE;
            }
            return FALSE;
        }
        case WM_DRAWITEM:
            if (wparam == IDC_TAB) {
                DrawTab(d->state, *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE: Button(*d, IDCANCEL); return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            if (HIWORD(wparam) == BN_CLICKED && (id == IDOK || id == IDCANCEL || id == IDC_DEFAULT || id == IDC_APPLY)) {
                Button(*d, id);
                return TRUE;
            }
            return d->own.model && Notify(d->own, message, wparam, lparam);
        }
        case WM_DESTROY:
            if (d->own.model) d->own.model->SetPoster(nullptr);
            return FALSE;
        default: return d->own.model && Notify(d->own, message, wparam, lparam);
    }
}

}  // namespace

int RunSettingsDialog(platform::WindowHandle owner, settings::DialogModel& model) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    Dialog d;
    d.state.model = &model;
    d.specs = model.Pages();
    d.pages.resize(d.specs.size());
    for (size_t i = 0; i < d.specs.size(); ++i) d.pages[i].model = d.specs[i].model;
    d.state.face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    // Unicode windows: the texts show as written (Japanese, the micro sign) whatever the system's
    // code page.
    const INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(model.TemplateId()),
                                           static_cast<HWND>(owner), DialogProc, reinterpret_cast<LPARAM>(&d));
    DeleteObject(d.state.face);
    return result == 1 || result == 2 ? static_cast<int>(result) : 0;
}

int SystemLanguageId() { return GetSystemDefaultLangID(); }

}  // namespace kelvox::ui
