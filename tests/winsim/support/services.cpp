// The one place the service conformance tests reach past Win32: telling the
// simulated manager what a service program does.
#include "services.h"

#include <winsim/machine.h>

namespace svctest {

const char *ScriptService(const char *name, Behaviour behaviour, DWORD startPolls, DWORD stopPolls, DWORD waitHint) {
    winsim::ServiceScript s;
    s.kind = static_cast<winsim::ServiceScript::Kind>(static_cast<int>(behaviour));
    s.startPolls = startPolls;
    s.stopPolls = stopPolls;
    s.waitHint = waitHint;
    winsim::SetServiceScript(winsim::LocalMachine(), name, s);
    return nullptr;
}

}  // namespace svctest
