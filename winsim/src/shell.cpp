// SHChangeNotify: the notification is recorded on the machine for the
// tests and the runner to read; nothing else listens.
#include "sim_helpers.h"

#include <shlobj.h>
#include <winsim/machine.h>

#include <cstdio>

using namespace winsim;

namespace {

std::string ItemText(UINT type, LPCVOID item) {
    if (type == SHCNF_DWORD) {
        // The numbers travel in the pointers themselves.
        char text[16];
        snprintf(text, sizeof text, "0x%08X", (unsigned)(DWORD)(ULONG_PTR)item);
        return text;
    }
    if (!item) return std::string();
    switch (type) {
    case SHCNF_PATHA:
    case SHCNF_PRINTERA:
        return static_cast<const char *>(item);
    default:  // item lists and wide texts are not modelled
        return std::string();
    }
}

}  // namespace

extern "C" void WINAPI SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2) {
    WINSIM_FAULT_RETURN_VOID("SHChangeNotify");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ShellNotification n;
    n.eventId = wEventId;
    n.flags = uFlags;
    const UINT type = uFlags & SHCNF_TYPE;
    n.item1 = ItemText(type, dwItem1);
    n.item2 = ItemText(type, dwItem2);
    LocalMachine().shellNotifications.push_back(n);
}
