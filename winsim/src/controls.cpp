// The window table: combo boxes that setup code fills without a dialog on
// screen (they keep their strings so that tests can read what was added),
// and the top-level windows of the programs running on the machines. A
// program decides what a close request does to its window.
#include "internal.h"
#include "sim_helpers.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace winsim {

namespace {

struct ComboBox {
    bool sorted = false;
    std::vector<std::string> items;
};

struct TopLevel {
    std::string machine;  // upper case
    DWORD pid = 0, tid = 0;
    ProgramWindowDecl program;
    bool visible = true;
};

struct Window {
    bool topLevel = false;
    ComboBox box;
    TopLevel top;
};

// Handles grow, so map order is creation order: the order EnumWindows gives.
std::map<uintptr_t, Window> &Windows() {
    static std::map<uintptr_t, Window> *w = new std::map<uintptr_t, Window>();
    return *w;
}

// A top-level window of the local machine, or null.
TopLevel *LocalTopLevel(HWND hWnd) {
    auto it = Windows().find((uintptr_t)hWnd);
    if (it == Windows().end() || !it->second.topLevel || !HasLocalMachine()) return nullptr;
    if (!EqualNoCase(it->second.top.machine, LocalMachine().name)) return nullptr;
    return &it->second.top;
}

// What the window's program does with a message: a close request closes
// the window when the program lets it.
void Deliver(uintptr_t h, UINT msg) {
    TopLevel top = Windows()[h].top;
    bool isClose = msg == WM_CLOSE || (top.program.closeMessage && msg == top.program.closeMessage);
    if (!isClose) return;
    // The program's own close message always closes; WM_CLOSE as it decides.
    bool closed = msg == WM_CLOSE ? top.program.closes : true;
    if (closed) Windows().erase(h);
    Machine *m = FindMachine(top.machine);
    if (m) ProgramGotClose(*m, top.pid, closed);
}

uintptr_t &NextWindow() {
    static uintptr_t next = 0x10010;
    return next;
}

}  // namespace

std::vector<std::string> ComboBoxStrings(HWND comboBox) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Windows().find((uintptr_t)comboBox);
    return it == Windows().end() || it->second.topLevel ? std::vector<std::string>() : it->second.box.items;
}

HWND AddProgramWindow(const std::string &machine, DWORD pid, DWORD tid, const ProgramWindowDecl &program) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Window w;
    w.topLevel = true;
    w.top.machine = Upper(machine);
    w.top.pid = pid;
    w.top.tid = tid;
    w.top.program = program;
    uintptr_t h = NextWindow();
    NextWindow() += 0x10;
    Windows()[h] = w;
    return (HWND)h;
}

void DestroyProgramWindows(const std::string &machine, DWORD pid) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    for (auto it = Windows().begin(); it != Windows().end();)
        if (it->second.topLevel && it->second.top.pid == pid && EqualNoCase(it->second.top.machine, machine))
            it = Windows().erase(it);
        else
            ++it;
}

bool ProgramHasWindows(const std::string &machine, DWORD pid) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    for (auto &entry : Windows())
        if (entry.second.topLevel && entry.second.top.pid == pid && EqualNoCase(entry.second.top.machine, machine))
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
    Window w;
    w.box.sorted = (dwStyle & CBS_SORT) != 0;
    uintptr_t h = NextWindow();
    NextWindow() += 0x10;
    Windows()[h] = w;
    return (HWND)h;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
    WINSIM_FAULT_RETURN("DestroyWindow", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Windows().find((uintptr_t)hWnd);
    if (it == Windows().end()) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    // Another program's window is that program's to destroy.
    if (it->second.topLevel) return Fail(FALSE, ERROR_ACCESS_DENIED);
    Windows().erase(it);
    return TRUE;
}

extern "C" BOOL WINAPI IsWindow(HWND hWnd) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return Windows().count((uintptr_t)hWnd) ? TRUE : FALSE;
}

extern "C" LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WINSIM_FAULT_RETURN("SendMessageA", (LRESULT)0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Windows().find((uintptr_t)hWnd);
    if (it == Windows().end()) return Fail<LRESULT>(0, ERROR_INVALID_WINDOW_HANDLE);
    if (it->second.topLevel) {
        if (!LocalTopLevel(hWnd)) return Fail<LRESULT>(0, ERROR_INVALID_WINDOW_HANDLE);
        Deliver(it->first, Msg);  // the program answers 0 to what it handles
        return 0;
    }
    std::vector<std::string> &items = it->second.box.items;
    switch (Msg) {
    case CB_ADDSTRING: {
        if (!lParam) return CB_ERR;
        std::string text((LPCSTR)lParam);
        size_t at = items.size();
        if (it->second.box.sorted)
            for (at = 0; at < items.size() && lstrcmpiA(items[at].c_str(), text.c_str()) <= 0; ++at) {
            }
        items.insert(items.begin() + at, text);
        return (LRESULT)at;
    }
    case CB_INSERTSTRING: {
        if (!lParam) return CB_ERR;
        size_t at = (int)wParam == -1 ? items.size() : (size_t)wParam;
        if (at > items.size()) return CB_ERR;
        items.insert(items.begin() + at, std::string((LPCSTR)lParam));
        return (LRESULT)at;
    }
    case CB_DELETESTRING:
        if (wParam >= items.size()) return CB_ERR;
        items.erase(items.begin() + wParam);
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
        return TRUE;
    case CB_FINDSTRINGEXACT: {
        if (!lParam) return CB_ERR;
        size_t first = (int)wParam == -1 ? 0 : (size_t)wParam + 1;
        for (size_t k = 0; k < items.size(); ++k) {
            size_t i = (first + k) % items.size();
            if (lstrcmpiA(items[i].c_str(), (LPCSTR)lParam) == 0) return (LRESULT)i;
        }
        return CB_ERR;
    }
    default:
        return Fail<LRESULT>(0, ERROR_CALL_NOT_IMPLEMENTED);
    }
}

// ---- top-level windows --------------------------------------------------------------
namespace {

// Copies a window text to a caller buffer of nMax characters, cut to fit;
// the number of characters copied.
int CopyWindowText(const std::string &text, LPSTR buffer, int nMax) {
    if (!buffer || nMax <= 0) return 0;
    size_t n = std::min(text.size(), (size_t)nMax - 1);
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return (int)n;
}

}  // namespace

extern "C" HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    WINSIM_FAULT_RETURN("FindWindowA", (HWND) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (lpClassName && IS_INTRESOURCE(lpClassName)) return Fail<HWND>(nullptr, ERROR_CALL_NOT_IMPLEMENTED);
    for (auto &entry : Windows()) {
        TopLevel *top = LocalTopLevel((HWND)entry.first);
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
    if (it->second.topLevel && !LocalTopLevel(hWnd)) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    return CopyWindowText(it->second.topLevel ? it->second.top.program.className : std::string("ComboBox"), lpClassName,
                          nMaxCount);
}

extern "C" int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    WINSIM_FAULT_RETURN("GetWindowTextA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    TopLevel *top = LocalTopLevel(hWnd);
    if (!top) {
        if (lpString && nMaxCount > 0) *lpString = '\0';
        return Fail(0, Windows().count((uintptr_t)hWnd) ? ERROR_SUCCESS : ERROR_INVALID_WINDOW_HANDLE);
    }
    return CopyWindowText(top->program.title, lpString, nMaxCount);
}

extern "C" DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    WINSIM_FAULT_RETURN("GetWindowThreadProcessId", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    TopLevel *top = LocalTopLevel(hWnd);
    if (!top) {
        auto it = Windows().find((uintptr_t)hWnd);
        if (it == Windows().end()) return Fail((DWORD)0, ERROR_INVALID_WINDOW_HANDLE);
        // Combo boxes belong to the running program.
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
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    TopLevel *top = LocalTopLevel(hWnd);
    if (!top) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    BOOL wasVisible = top->visible ? TRUE : FALSE;
    top->visible = nCmdShow != SW_HIDE;
    return wasVisible;
}
