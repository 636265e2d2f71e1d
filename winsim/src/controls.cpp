// Windows of the standard control classes that setup code fills without a
// dialog on screen. Only combo boxes exist: they keep their strings so
// that tests can read what was added.
#include "internal.h"
#include "sim_helpers.h"

#include <cstring>
#include <map>

namespace winsim {

namespace {

struct ComboBox {
    bool sorted = false;
    std::vector<std::string> items;
};

std::map<uintptr_t, ComboBox> &Windows() {
    static std::map<uintptr_t, ComboBox> *w = new std::map<uintptr_t, ComboBox>();
    return *w;
}

uintptr_t &NextWindow() {
    static uintptr_t next = 0x10010;
    return next;
}

}  // namespace

std::vector<std::string> ComboBoxStrings(HWND comboBox) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Windows().find((uintptr_t)comboBox);
    return it == Windows().end() ? std::vector<std::string>() : it->second.items;
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
    ComboBox box;
    box.sorted = (dwStyle & CBS_SORT) != 0;
    uintptr_t h = NextWindow();
    NextWindow() += 0x10;
    Windows()[h] = box;
    return (HWND)h;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
    WINSIM_FAULT_RETURN("DestroyWindow", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!Windows().erase((uintptr_t)hWnd)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
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
    std::vector<std::string> &items = it->second.items;
    switch (Msg) {
    case CB_ADDSTRING: {
        if (!lParam) return CB_ERR;
        std::string text((LPCSTR)lParam);
        size_t at = items.size();
        if (it->second.sorted)
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
