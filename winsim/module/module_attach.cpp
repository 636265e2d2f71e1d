// Linux build only: makes the shared library a module of the simulated
// machine, as the Windows loader does for the DLL. It registers the
// library's resources under its module handle and runs its DllMain.
#include <windows.h>

#include <winsim/machine.h>

extern const char kQlResourceHeaders[];
extern const char kQlResourceScript[];
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace {
struct ModuleAttach {
    HMODULE module;
    ModuleAttach() {
        module = winsim::RegisterBuiltinModule("QLSETGUI.dll");
        winsim::RegisterModuleResources(module, kQlResourceHeaders, kQlResourceScript);
        DllMain((HINSTANCE)module, DLL_PROCESS_ATTACH, nullptr);
    }
    ~ModuleAttach() { DllMain((HINSTANCE)module, DLL_PROCESS_DETACH, nullptr); }
} g_attach;
}  // namespace
