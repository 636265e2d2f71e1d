// SendMessageTimeoutA: a broadcast is recorded on the machine (there are no
// other top-level windows to answer it); a message to one of winsim's own
// windows goes to it as SendMessageA would send it.
#include "sim_helpers.h"

#include <winsim/machine.h>

#include <cstring>

using namespace winsim;

extern "C" LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                                              UINT uTimeout, PDWORD_PTR lpdwResult) {
    WINSIM_FAULT_RETURN("SendMessageTimeoutA", 0);
    if (lpdwResult) *lpdwResult = 0;
    if (hWnd == HWND_BROADCAST) {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        BroadcastRecord r;
        r.message = Msg;
        r.wParam = wParam;
        r.flags = fuFlags;
        r.timeoutMs = uTimeout;
        // WM_SETTINGCHANGE names the changed section by a text.
        if (Msg == WM_SETTINGCHANGE && lParam) {
            r.hasText = true;
            r.text = reinterpret_cast<const char *>(lParam);
        }
        LocalMachine().broadcasts.push_back(r);
        return 1;
    }
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LRESULT result = SendMessageA(hWnd, Msg, wParam, lParam);
    if (lpdwResult) *lpdwResult = (DWORD_PTR)result;
    return 1;
}
