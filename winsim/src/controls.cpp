// The window table: combo boxes that setup code fills without a dialog on
// screen (they keep their strings so that tests can read what was added),
// the dialogs of this process with their controls (dialogs.cpp), and the
// top-level windows of the programs running on the machines. A program
// decides what a close request does to its window.
#include "sim_helpers.h"
#include "windows_internal.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace winsim {

std::map<uintptr_t, WindowRecord> &Windows() {
    static std::map<uintptr_t, WindowRecord> *w = new std::map<uintptr_t, WindowRecord>();
    return *w;
}

uintptr_t NewWindowHandle() {
    static uintptr_t next = 0x10010;
    uintptr_t h = next;
    next += 0x10;
    return h;
}

WindowRecord *FindWindowRecord(HWND hWnd) {
    auto it = Windows().find((uintptr_t)hWnd);
    return it == Windows().end() ? nullptr : &it->second;
}

namespace {

// A top-level window of the local machine, or null.
ProgramTopLevel *LocalTopLevel(HWND hWnd) {
    auto it = Windows().find((uintptr_t)hWnd);
    if (it == Windows().end() || it->second.kind != WindowKind::Program || !HasLocalMachine()) return nullptr;
    if (!EqualNoCase(it->second.top.machine, LocalMachine().name)) return nullptr;
    return &it->second.top;
}

// What the window's program does with a message: a close request closes
// the window when the program lets it.
void Deliver(uintptr_t h, UINT msg) {
    ProgramTopLevel top = Windows()[h].top;
    bool isClose = msg == WM_CLOSE || (top.program.closeMessage && msg == top.program.closeMessage);
    if (!isClose) return;
    // The program's own close message always closes; WM_CLOSE as it decides.
    bool closed = msg == WM_CLOSE ? top.program.closes : true;
    if (closed) Windows().erase(h);
    Machine *m = FindMachine(top.machine);
    if (m) ProgramGotClose(*m, top.pid, closed);
}

// Copies a window text to a caller buffer of nMax characters, cut to fit;
// the number of characters copied.
int CopyWindowText(const std::string &text, LPSTR buffer, int nMax) {
    if (!buffer || nMax <= 0) return 0;
    size_t n = std::min(text.size(), (size_t)nMax - 1);
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return (int)n;
}

bool IsComboOrList(const WindowRecord &w) { return w.cls == "ComboBox" || w.cls == "ListBox"; }

bool IsDropDownList(const WindowRecord &w) { return w.cls == "ComboBox" && (w.style & 3) == CBS_DROPDOWNLIST; }

// The messages of combo boxes (CB_); list boxes in templates keep their
// strings the same way but are not driven.
LRESULT ComboMessage(WindowRecord &w, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::vector<std::string> &items = w.items;
    switch (Msg) {
    case CB_ADDSTRING: {
        if (!lParam) return CB_ERR;
        std::string text((LPCSTR)lParam);
        size_t at = items.size();
        if (w.sorted)
            for (at = 0; at < items.size() && lstrcmpiA(items[at].c_str(), text.c_str()) <= 0; ++at) {
            }
        items.insert(items.begin() + at, text);
        if (w.selection >= (int)at) ++w.selection;
        return (LRESULT)at;
    }
    case CB_INSERTSTRING: {
        if (!lParam) return CB_ERR;
        size_t at = (int)wParam == -1 ? items.size() : (size_t)wParam;
        if (at > items.size()) return CB_ERR;
        items.insert(items.begin() + at, std::string((LPCSTR)lParam));
        if (w.selection >= (int)at) ++w.selection;
        return (LRESULT)at;
    }
    case CB_DELETESTRING:
        if (wParam >= items.size()) return CB_ERR;
        items.erase(items.begin() + wParam);
        if (w.selection == (int)wParam) {
            w.selection = -1;
            if (IsDropDownList(w)) w.text.clear();
        } else if (w.selection > (int)wParam) {
            --w.selection;
        }
        return (LRESULT)items.size();
    case CB_GETCOUNT:
        return (LRESULT)items.size();
    case CB_GETLBTEXTLEN:
        return wParam < items.size() ? (LRESULT)items[wParam].size() : CB_ERR;
    case CB_GETLBTEXT:
        if (wParam >= items.size() || !lParam) return CB_ERR;
        memcpy((LPSTR)lParam, items[wParam].c_str(), items[wParam].size() + 1);
        return (LRESULT)items[wParam].size();
    case CB_RESETCONTENT:
        items.clear();
        w.selection = -1;
        if (IsDropDownList(w)) w.text.clear();
        return TRUE;
    case CB_FINDSTRINGEXACT:
    case CB_FINDSTRING: {
        if (!lParam || items.empty()) return CB_ERR;
        // The search starts after wParam and wraps; -1 (or an index past the end) searches from the top.
        size_t first = (int)wParam < 0 || wParam >= items.size() ? 0 : (size_t)wParam + 1;
        LPCSTR find = (LPCSTR)lParam;
        size_t len = strlen(find);
        for (size_t k = 0; k < items.size(); ++k) {
            size_t i = (first + k) % items.size();
            // CB_FINDSTRING matches a prefix, CB_FINDSTRINGEXACT the whole item, both without case.
            std::string item = Msg == CB_FINDSTRINGEXACT ? items[i] : items[i].substr(0, len);
            bool match = lstrcmpiA(item.c_str(), find) == 0;
            if (match) return (LRESULT)i;
        }
        return CB_ERR;
    }
    case CB_SETCURSEL:
        // -1 clears the selection and answers CB_ERR, as an index past the end does.
        if ((int)wParam < 0 || wParam >= items.size()) {
            w.selection = -1;
            if (IsDropDownList(w)) w.text.clear();
            return CB_ERR;
        }
        w.selection = (int)wParam;
        w.text = items[wParam];
        return (LRESULT)wParam;
    case CB_GETCURSEL:
        return w.selection;
    case CB_LIMITTEXT:
        w.limit = wParam ? (size_t)wParam : 0x7FFFFFFE;
        return TRUE;
    default:
        return Fail<LRESULT>(0, ERROR_CALL_NOT_IMPLEMENTED);
    }
}

}  // namespace

std::vector<std::string> ComboBoxStrings(HWND comboBox) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    WindowRecord *w = FindWindowRecord(comboBox);
    return !w || !IsComboOrList(*w) ? std::vector<std::string>() : w->items;
}

HWND AddProgramWindow(const std::string &machine, DWORD pid, DWORD tid, const ProgramWindowDecl &program) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    WindowRecord w;
    w.kind = WindowKind::Program;
    w.cls = program.className;
    w.visible = true;
    w.top.machine = Upper(machine);
    w.top.pid = pid;
    w.top.tid = tid;
    w.top.program = program;
    uintptr_t h = NewWindowHandle();
    Windows()[h] = w;
    return (HWND)h;
}

void DestroyProgramWindows(const std::string &machine, DWORD pid) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    for (auto it = Windows().begin(); it != Windows().end();)
        if (it->second.kind == WindowKind::Program && it->second.top.pid == pid &&
            EqualNoCase(it->second.top.machine, machine))
            it = Windows().erase(it);
        else
            ++it;
}

bool ProgramHasWindows(const std::string &machine, DWORD pid) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    for (auto &entry : Windows())
        if (entry.second.kind == WindowKind::Program && entry.second.top.pid == pid &&
            EqualNoCase(entry.second.top.machine, machine))
            return true;
    return false;
}

BOOL PostToWindow(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!LocalTopLevel(hWnd)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    Deliver((uintptr_t)hWnd, msg);
    return TRUE;
}

void ResetWindows() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Windows().clear();
    ResetDialogs();
}

void NotifyParent(HWND control, WORD code) {
    HWND parent;
    int id;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w = FindWindowRecord(control);
        if (!w || !w->parent) return;
        parent = (HWND)w->parent;
        id = w->id;
    }
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM((WORD)id, code), (LPARAM)control);
}

LRESULT ControlMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::unique_lock<std::recursive_mutex> g(WorldLock());
    WindowRecord *w = FindWindowRecord(hWnd);
    if (!w) return Fail<LRESULT>(0, ERROR_INVALID_WINDOW_HANDLE);
    switch (Msg) {
    case WM_SETTEXT: {
        std::string text = lParam ? (LPCSTR)lParam : "";
        if (IsDropDownList(*w)) return CB_ERR;  // its text is the selected item
        w->text = text;
        // A single-line edit tells its dialog of the new text; a multiline one does not.
        bool notify = w->cls == "Edit" && !(w->style & ES_MULTILINE) && w->parent;
        g.unlock();
        if (notify) {
            NotifyParent(hWnd, EN_UPDATE);
            NotifyParent(hWnd, EN_CHANGE);
        }
        return TRUE;
    }
    case WM_GETTEXT: {
        if (!lParam || (int)wParam <= 0) return 0;
        return CopyWindowText(w->text, (LPSTR)lParam, (int)wParam);
    }
    case WM_GETTEXTLENGTH:
        return (LRESULT)w->text.size();
    case EM_LIMITTEXT:
        if (w->cls != "Edit") break;
        // 0 asks for the largest limit.
        w->limit = wParam ? (size_t)wParam : 0x7FFFFFFE;
        return 0;
    case EM_GETLIMITTEXT:
        if (w->cls != "Edit") break;
        return (LRESULT)w->limit;
    case BM_GETCHECK:
        return w->cls == "Button" ? (LRESULT)w->check : 0;
    case BM_SETCHECK: {
        if (w->cls != "Button") return 0;
        DWORD type = w->style & BS_TYPEMASK;
        bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                         type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
        if (!checkable) return 0;
        // A state beyond what the button can show becomes its highest one:
        // a two-state box reads the indeterminate state as checked.
        UINT state = (UINT)wParam;
        UINT highest = type == BS_3STATE || type == BS_AUTO3STATE ? BST_INDETERMINATE : BST_CHECKED;
        if (state > highest) state = highest;
        w->check = state;
        return 0;
    }
    case WM_SETFONT:
    case WM_PAINT:
        return 0;
    default:
        if (IsComboOrList(*w) && Msg >= CB_ADDSTRING && Msg <= 0x0160) return ComboMessage(*w, Msg, wParam, lParam);
        break;
    }
    return Fail<LRESULT>(0, ERROR_CALL_NOT_IMPLEMENTED);
}

}  // namespace winsim

using namespace winsim;

extern "C" HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                       int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                       HINSTANCE hInstance, LPVOID lpParam) {
    WINSIM_FAULT_RETURN("CreateWindowExA", (HWND) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpClassName || IS_INTRESOURCE(lpClassName)) return Fail<HWND>(nullptr, ERROR_CALL_NOT_IMPLEMENTED);
    if (!EqualNoCase(lpClassName, "COMBOBOX")) return Fail<HWND>(nullptr, ERROR_CALL_NOT_IMPLEMENTED);
    // A child window needs its parent (a message-only one will do).
    if ((dwStyle & (WS_CHILD | WS_POPUP)) == WS_CHILD && !hWndParent)
        return Fail<HWND>(nullptr, ERROR_TLW_WITH_WSCHILD);
    WindowRecord w;
    w.cls = "ComboBox";
    w.style = dwStyle;
    w.sorted = (dwStyle & CBS_SORT) != 0;
    w.visible = (dwStyle & WS_VISIBLE) != 0;
    uintptr_t h = NewWindowHandle();
    Windows()[h] = w;
    return (HWND)h;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
    WINSIM_FAULT_RETURN("DestroyWindow", FALSE);
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        auto it = Windows().find((uintptr_t)hWnd);
        if (it == Windows().end()) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        // Another program's window is that program's to destroy.
        if (it->second.kind == WindowKind::Program) return Fail(FALSE, ERROR_ACCESS_DENIED);
    }
    return DestroyDialogWindow(hWnd);
}

extern "C" BOOL WINAPI IsWindow(HWND hWnd) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return Windows().count((uintptr_t)hWnd) || IsDesktopWindow(hWnd) ? TRUE : FALSE;
}

extern "C" LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WINSIM_FAULT_RETURN("SendMessageA", (LRESULT)0);
    WindowKind kind;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        auto it = Windows().find((uintptr_t)hWnd);
        if (it == Windows().end()) return Fail<LRESULT>(0, ERROR_INVALID_WINDOW_HANDLE);
        kind = it->second.kind;
        if (kind == WindowKind::Program) {
            if (!LocalTopLevel(hWnd)) return Fail<LRESULT>(0, ERROR_INVALID_WINDOW_HANDLE);
            Deliver(it->first, Msg);  // the program answers 0 to what it handles
            return 0;
        }
    }
    // Dialog procedures and notifications run without the world lock.
    if (kind == WindowKind::Dialog) return DialogMessage(hWnd, Msg, wParam, lParam);
    return ControlMessage(hWnd, Msg, wParam, lParam);
}

// ---- top-level windows --------------------------------------------------------------
extern "C" HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    WINSIM_FAULT_RETURN("FindWindowA", (HWND) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (lpClassName && IS_INTRESOURCE(lpClassName)) return Fail<HWND>(nullptr, ERROR_CALL_NOT_IMPLEMENTED);
    for (auto &entry : Windows()) {
        ProgramTopLevel *top = LocalTopLevel((HWND)entry.first);
        if (!top) continue;
        if (lpClassName && !EqualNoCase(top->program.className, lpClassName)) continue;
        if (lpWindowName && !EqualNoCase(top->program.title, lpWindowName)) continue;
        return (HWND)entry.first;
    }
    return Fail<HWND>(nullptr, ERROR_SUCCESS);
}

extern "C" int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
    WINSIM_FAULT_RETURN("GetClassNameA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Windows().find((uintptr_t)hWnd);
    if (it == Windows().end()) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    if (it->second.kind == WindowKind::Program && !LocalTopLevel(hWnd)) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    return CopyWindowText(it->second.cls, lpClassName, nMaxCount);
}

extern "C" int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    WINSIM_FAULT_RETURN("GetWindowTextA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ProgramTopLevel *top = LocalTopLevel(hWnd);
    if (!top) {
        if (lpString && nMaxCount > 0) *lpString = '\0';
        WindowRecord *w = FindWindowRecord(hWnd);
        if (w && w->kind != WindowKind::Program) {
            if (!w->text.empty()) return CopyWindowText(w->text, lpString, nMaxCount);
            return Fail(0, ERROR_SUCCESS);
        }
        return Fail(0, w ? ERROR_SUCCESS : ERROR_INVALID_WINDOW_HANDLE);
    }
    return CopyWindowText(top->program.title, lpString, nMaxCount);
}

extern "C" DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    WINSIM_FAULT_RETURN("GetWindowThreadProcessId", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ProgramTopLevel *top = LocalTopLevel(hWnd);
    if (!top) {
        auto it = Windows().find((uintptr_t)hWnd);
        if (it == Windows().end()) return Fail((DWORD)0, ERROR_INVALID_WINDOW_HANDLE);
        // Combo boxes and dialogs belong to the running program.
        if (lpdwProcessId) *lpdwProcessId = OwnProcessId();
        return GetCurrentThreadId();
    }
    if (lpdwProcessId) *lpdwProcessId = top->pid;
    return top->tid;
}

extern "C" BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    WINSIM_FAULT_RETURN("EnumWindows", FALSE);
    if (!lpEnumFunc) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    std::vector<HWND> windows;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        // This process's own top-level windows too (its dialogs, owned or not,
        // and windows made without WS_CHILD), nearest the top first; then the
        // other programs' windows.
        std::vector<std::pair<unsigned, HWND>> own;
        for (auto &entry : Windows()) {
            const WindowRecord &w = entry.second;
            if (w.kind == WindowKind::Dialog || (w.kind == WindowKind::Control && !w.parent && !(w.style & WS_CHILD)))
                own.push_back({w.z, (HWND)entry.first});
        }
        std::stable_sort(own.begin(), own.end(), [](const std::pair<unsigned, HWND> &a,
                                                    const std::pair<unsigned, HWND> &b) { return a.first > b.first; });
        for (auto &o : own) windows.push_back(o.second);
        for (auto &entry : Windows())
            if (LocalTopLevel((HWND)entry.first)) windows.push_back((HWND)entry.first);
    }
    // The callback may close windows: the list is taken first, as Windows does.
    for (HWND h : windows)
        if (!lpEnumFunc(h, lParam)) return FALSE;
    return TRUE;
}

extern "C" BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    WINSIM_FAULT_RETURN("ShowWindow", FALSE);
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w = FindWindowRecord(hWnd);
        if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        if (w->kind == WindowKind::Program) {
            if (!LocalTopLevel(hWnd)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
            BOOL wasVisible = w->visible ? TRUE : FALSE;
            w->visible = nCmdShow != SW_HIDE;
            return wasVisible;
        }
    }
    return ShowOwnWindow(hWnd, nCmdShow);
}
