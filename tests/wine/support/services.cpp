// Windows under Wine: its service manager is real and runs real programs on
// the real clock; how a service advances through its pending states, hangs,
// refuses to stop or fails cannot be scripted for it.
#include "support/services.h"

namespace svctest {

const char *ScriptService(const char *, Behaviour, DWORD, DWORD, DWORD) {
    return "Wine: a real service manager runs real service programs; their steps on the simulated clock cannot be scripted";
}

}  // namespace svctest
