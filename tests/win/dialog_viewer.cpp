// Shows one of the DLL's dialog templates for a few seconds, for screenshots (scripts/dialog-shots.sh):
//   kelvox_dialog_viewer.exe <template> [<page template>] [-<id to hide>...]
// A page goes into the container's tab control at (30, 25), and every up-down takes the control
// before it as buddy, as the dialog code does; owner-drawn tabs get their text drawn.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

INT_PTR CALLBACK Quiet(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_DRAWITEM) {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
        char text[64] = {};
        TCITEMA tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = text;
        tab.cchTextMax = sizeof text;
        SendMessageA(item->hwndItem, TCM_GETITEMA, item->itemID, reinterpret_cast<LPARAM>(&tab));
        FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
        SetBkColor(item->hDC, GetSysColor(COLOR_BTNFACE));
        DrawTextA(item->hDC, text, -1, &item->rcItem, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

void BuddyUpDowns(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, UPDOWN_CLASSA) == 0)
            SendMessageA(child, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetWindow(child, GW_HWNDPREV)), 0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <template> [<page template>] [-<id to hide>...]\n", argv[0]);
        return 2;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    HMODULE dll = LoadLibraryA("ZorezoRer_Av40_IVA3_V5.dll");
    const int id = std::atoi(argv[1]);
    int page_id = 0;
    std::vector<int> hidden;
    for (int i = 2; i < argc; ++i) {
        if (argv[i][0] == '-') hidden.push_back(std::atoi(argv[i] + 1));
        else page_id = std::atoi(argv[i]);
    }
    HWND dialog = CreateDialogParamA(dll, MAKEINTRESOURCEA(id), nullptr, Quiet, 0);
    if (!dialog) {
        // A child page: host it in a plain frame of its own size.
        WNDCLASSA frame_class{};
        frame_class.lpfnWndProc = DefWindowProcA;
        frame_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        frame_class.lpszClassName = "KelvoxPageFrame";
        RegisterClassA(&frame_class);
        HWND frame = CreateWindowExA(0, "KelvoxPageFrame", "page", WS_POPUP | WS_CAPTION | WS_VISIBLE, 20, 20, 10, 10,
                                     nullptr, nullptr, nullptr, nullptr);
        dialog = CreateDialogParamA(dll, MAKEINTRESOURCEA(id), frame, Quiet, 0);
        if (!dialog) {
            std::fprintf(stderr, "template %d: error %lu\n", id, GetLastError());
            return 1;
        }
        RECT r;
        GetWindowRect(dialog, &r);
        RECT frame_rect{0, 0, r.right - r.left, r.bottom - r.top};
        AdjustWindowRect(&frame_rect, WS_POPUP | WS_CAPTION, FALSE);
        SetWindowPos(frame, nullptr, 20, 20, frame_rect.right - frame_rect.left, frame_rect.bottom - frame_rect.top,
                     SWP_NOZORDER);
        BuddyUpDowns(dialog);
        ShowWindow(dialog, SW_SHOW);
    } else {
        SetWindowPos(dialog, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        HWND tab = GetDlgItem(dialog, 1001);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>("Page");
        SendMessageA(tab, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        if (page_id) {
            HWND page = CreateDialogParamA(dll, MAKEINTRESOURCEA(page_id), tab, Quiet, 0);
            if (!page) {
                std::fprintf(stderr, "page %d: error %lu\n", page_id, GetLastError());
                return 1;
            }
            SetWindowPos(page, nullptr, 30, 25, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            BuddyUpDowns(page);
            for (int h : hidden)
                if (HWND w = GetDlgItem(page, h)) ShowWindow(w, SW_HIDE);
            ShowWindow(page, SW_SHOW);
        }
        BuddyUpDowns(dialog);
        ShowWindow(dialog, SW_SHOW);
    }
    for (int h : hidden)
        if (HWND w = GetDlgItem(dialog, h)) ShowWindow(w, SW_HIDE);
    std::printf("system language %u, code page %u\n", GetSystemDefaultLangID(), GetACP());
    // Paint, say so, then stay long enough for the screenshot.
    const DWORD end = GetTickCount() + 4000;
    bool announced = false;
    while (GetTickCount() < end) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        if (!announced && GetTickCount() + 3000 > end) {
            std::printf("shown\n");
            std::fflush(stdout);
            announced = true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return 0;
}
