#include "dialogs/WaitWindow.h"

#include "resource.h"

namespace {

// Shows the message and puts the window in the middle of the screen. The
// position is taken relative to the parent's top-left corner, which is the
// screen's own for the desktop every caller passes.
void CentreAndFocus(HWND hDlg) {
    HWND hText = GetDlgItem(hDlg, IDC_WAIT_MESSAGE);
    ShowWindow(hText, SW_SHOW);
    // Without its own size or the screen's the middle is unknown: the window
    // stays where it was made rather than going to a made-up place.
    RECT rcWindow;
    int cxScreen = GetSystemMetrics(SM_CXSCREEN), cyScreen = GetSystemMetrics(SM_CYSCREEN);
    if (GetWindowRect(hDlg, &rcWindow) && cxScreen > 0 && cyScreen > 0) {
        int x = (cxScreen - (rcWindow.right - rcWindow.left)) / 2;
        int y = (cyScreen - (rcWindow.bottom - rcWindow.top)) / 2;
        HWND hParent = GetParent(hDlg);
        RECT rcParent;
        if (hParent && GetWindowRect(hParent, &rcParent)) {
            x -= rcParent.left;
            y -= rcParent.top;
        }
        SetWindowPos(hDlg, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    SetFocus(hText);
}

void BringToTop(HWND hDlg) { SetWindowPos(hDlg, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

}  // namespace

INT_PTR CALLBACK WaitWindowProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_INITDIALOG:
        CentreAndFocus(hDlg);
        return FALSE;  // the focus is set
    case WM_LBUTTONDOWN:
        // A click (the window was covered, say) brings it back in front.
        CentreAndFocus(hDlg);
        UpdateWindow(hDlg);
        BringToTop(hDlg);
        return FALSE;
    default:
        return FALSE;
    }
}

HWND ShowWaitWindow(HINSTANCE hInstance, HWND hParent, LPCSTR lpszText) {
    HWND hDlg = CreateDialogParamA(hInstance, MAKEINTRESOURCEA(IDD_WAIT), hParent, WaitWindowProc, 0);
    if (!hDlg) return NULL;
    SetDlgItemTextA(hDlg, IDC_WAIT_MESSAGE, lpszText ? lpszText : "");
    ShowWindow(hDlg, SW_SHOW);
    UpdateWindow(hDlg);
    BringToTop(hDlg);
    return hDlg;
}
