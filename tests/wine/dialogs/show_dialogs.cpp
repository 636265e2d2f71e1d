// Opens each dialog that the library shows, from the templates of the real
// QLSETGUI.dll, on the display: checks that it opened with its controls (by
// id and class), saves a picture of it (a BMP beside the program, taken from
// the screen) and closes it with its button, checking that it is gone.
//   show_dialogs.exe   exit code 0 when every check passed
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resource.h"

namespace {

int g_checks = 0, g_failed = 0;

void Check(bool ok, const std::string &what) {
    ++g_checks;
    if (!ok) ++g_failed;
    printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    fflush(stdout);
}

// Closes the dialog on either of its buttons.
INT_PTR CALLBACK Proc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        DestroyWindow(h);
        return TRUE;
    }
    return FALSE;
}

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while ((LONG)(end - GetTickCount()) > 0) {
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(20);
    }
}

// The window's rectangle of the screen as a 24-bit BMP file.
bool SaveShot(HWND h, const char *file) {
    RECT r;
    if (!GetWindowRect(h, &r)) return false;
    int cx = r.right - r.left, cy = r.bottom - r.top;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, cx, cy);
    HGDIOBJ old = SelectObject(mem, bmp);
    BOOL copied = BitBlt(mem, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi = {};
    bi.biSize = sizeof bi;
    bi.biWidth = cx;
    bi.biHeight = cy;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    int stride = ((cx * 3) + 3) & ~3;
    std::vector<BYTE> pixels((size_t)stride * cy);
    int lines = GetDIBits(mem, bmp, 0, cy, pixels.data(), (BITMAPINFO *)&bi, DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    if (!copied || lines != cy) return false;
    BITMAPFILEHEADER bf = {};
    bf.bfType = 0x4D42;
    bf.bfOffBits = sizeof bf + sizeof bi;
    bf.bfSize = bf.bfOffBits + (DWORD)pixels.size();
    FILE *f = fopen(file, "wb");
    if (!f) return false;
    fwrite(&bf, sizeof bf, 1, f);
    fwrite(&bi, sizeof bi, 1, f);
    fwrite(pixels.data(), 1, pixels.size(), f);
    fclose(f);
    return true;
}

struct Expected {
    int id;
    const char *cls;
};

void ShowOne(HMODULE module, UINT id, const char *name, const std::vector<Expected> &controls, int closeWith) {
    HWND h = CreateDialogParamA(module, MAKEINTRESOURCEA(id), GetDesktopWindow(), Proc, 0);
    Check(h != NULL, std::string(name) + ": opened");
    if (!h) return;
    ShowWindow(h, SW_SHOW);
    SetWindowPos(h, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    UpdateWindow(h);
    Pump(700);
    Check(IsWindowVisible(h) != FALSE, std::string(name) + ": visible");
    for (const Expected &c : controls) {
        HWND ctl = GetDlgItem(h, c.id);
        char cls[64] = "";
        if (ctl) GetClassNameA(ctl, cls, sizeof cls);
        Check(ctl != NULL && lstrcmpiA(cls, c.cls) == 0,
              std::string(name) + ": control " + std::to_string(c.id) + " is a " + c.cls + " (" + cls + ")");
    }
    std::string file = std::string("dialog-") + std::to_string(id) + ".bmp";
    Check(SaveShot(h, file.c_str()), std::string(name) + ": picture " + file);
    if (closeWith) {
        SendMessageA(GetDlgItem(h, closeWith), BM_CLICK, 0, 0);
        Pump(200);
        Check(!IsWindow(h), std::string(name) + ": closed with button " + std::to_string(closeWith));
    } else {
        Check(DestroyWindow(h) != FALSE && !IsWindow(h), std::string(name) + ": destroyed");
    }
}

}  // namespace

int main() {
    HMODULE module = LoadLibraryA("QLSETGUI.dll");
    Check(module != NULL, "QLSETGUI.dll loaded");
    if (!module) return 1;
    ShowOne(module, IDD_WAIT, "wait window", {{IDC_WAIT_MESSAGE, "Static"}}, 0);
    ShowOne(module, IDD_REMOTE_CONFIG, "configuration",
            {{IDC_COMPUTER_NAME, "Static"},
             {IDC_PRODUCT_SHARE, "ComboBox"},
             {IDC_PRODUCT_FOLDER, "Edit"},
             {IDC_ALERT_SHARE, "ComboBox"},
             {IDC_ALERT_FOLDER, "Edit"},
             {IDC_COMPLETE, "Button"},
             {IDC_CUSTOM, "Button"},
             {IDC_CUSTOM_DETAILS, "Button"},
             {IDC_ACCOUNT_DETAILS, "Button"},
             {IDOK, "Button"},
             {IDCANCEL, "Button"}},
            IDOK);
    ShowOne(module, IDD_REMOTE_ACCOUNT, "service account",
            {{IDC_SERVER_NAME, "Edit"},
             {IDC_ACCOUNT_DOMAIN, "Edit"},
             {IDC_ACCOUNT_USER, "Edit"},
             {IDC_ACCOUNT_PASSWORD, "Edit"},
             {IDOK, "Button"},
             {IDCANCEL, "Button"}},
            IDCANCEL);
    ShowOne(module, IDD_REMOTE_CUSTOM, "custom installation",
            {{IDC_MANAGER, "Button"},
             {IDC_SERVER, "Button"},
             {IDC_SERVER_ADMIN, "Button"},
             {IDC_ALERT, "Button"},
             {IDC_DATA_MIGRATION, "Button"},
             {IDC_TOTAL_SPACE, "Static"},
             {IDOK, "Button"},
             {IDCANCEL, "Button"}},
            IDOK);
    printf("%d checks, %d failed\n", g_checks, g_failed);
    return g_failed ? 1 : 0;
}
