// The one window table of the simulated desktop, shared by the control
// windows (controls.cpp) and the dialog manager (dialogs.cpp): combo boxes
// made on their own, dialogs and their controls, and the top-level windows
// of the programs running on the machines.
#ifndef WINSIM_WINDOWS_INTERNAL_H
#define WINSIM_WINDOWS_INTERNAL_H

#include "internal.h"

#include <map>
#include <string>
#include <vector>

namespace winsim {

enum class WindowKind {
    Control,  // a child control (alone or in a dialog)
    Dialog,   // a dialog made from a template of this process
    Program,  // a top-level window of a program running on a machine
};

struct ProgramTopLevel {
    std::string machine;  // upper case
    DWORD pid = 0, tid = 0;
    ProgramWindowDecl program;
};

struct WindowRecord {
    WindowKind kind = WindowKind::Control;
    std::string cls;  // "ComboBox", "Button", "Edit", "Static", "ListBox", "#32770" ...
    std::string text;
    DWORD style = 0;
    int id = 0;
    uintptr_t parent = 0;  // a control's dialog; a dialog's owner
    bool enabled = true;
    bool visible = false;
    RECT rect{};     // dialogs: screen; controls: their dialog's client area
    unsigned z = 0;  // higher is nearer the top
    // Combo boxes and list boxes.
    bool sorted = false;
    std::vector<std::string> items;
    int selection = -1;
    // Buttons.
    UINT check = BST_UNCHECKED;
    // Edits.
    size_t limit = 32767;
    // Dialogs.
    DLGPROC proc = nullptr;
    UINT templateId = 0;
    bool modal = false, ended = false;
    INT_PTR result = 0;
    unsigned updates = 0;
    uintptr_t focus = 0;  // the control that had the focus last
    // Program windows.
    ProgramTopLevel top;
};

// Handles grow, so map order is creation order: the order EnumWindows and
// GetDlgItem go by.
std::map<uintptr_t, WindowRecord> &Windows();
uintptr_t NewWindowHandle();
WindowRecord *FindWindowRecord(HWND hWnd);

// The desktop window (user32.cpp hands out its handle).
bool IsDesktopWindow(HWND hWnd);
int ScreenWidth();
int ScreenHeight();

// A message to a control window of this process (controls.cpp); may notify
// its dialog, so it is called without the world lock held.
LRESULT ControlMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
// A message to a dialog: its dialog procedure, then the default handling (dialogs.cpp).
LRESULT DialogMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Sends WM_COMMAND with `code` from a control to its dialog.
void NotifyParent(HWND control, WORD code);
// Destroys a dialog or control and the windows it owns (dialogs.cpp).
BOOL DestroyDialogWindow(HWND hWnd);
// ShowWindow of a dialog or control of this process (dialogs.cpp).
BOOL ShowOwnWindow(HWND hWnd, int nCmdShow);
void ResetDialogs();

}  // namespace winsim

#endif
