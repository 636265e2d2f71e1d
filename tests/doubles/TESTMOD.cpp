// A stand-in outside library for the module-loading tests: counts its
// attach and detach notifications and exports one stdcall function.
#include <windows.h>

static int g_attached = 0;
static int g_detached = 0;

extern "C" __attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // A machine can ask the library to refuse loading, as a broken DLL would.
        char value[8] = "";
        if (GetEnvironmentVariableA("TESTMOD_REFUSE", value, sizeof value) && value[0] == '1') return FALSE;
        ++g_attached;
    } else if (reason == DLL_PROCESS_DETACH) {
        ++g_detached;
    }
    return TRUE;
}

extern "C" __attribute__((visibility("default"))) int WINAPI TestModAdd(int a, int b) { return a + b; }
extern "C" __attribute__((visibility("default"))) int TestModAttached() { return g_attached; }
extern "C" __attribute__((visibility("default"))) int TestModDetached() { return g_detached; }
