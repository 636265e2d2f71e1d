// Service programs for the service conformance tests: on the simulated
// machine the test tells the manager how the program answers it, step by step
// on the machine's clock. A real manager runs real programs on a real clock.
#ifndef TESTS_WINSIM_SUPPORT_SERVICES_H
#define TESTS_WINSIM_SUPPORT_SERVICES_H

#include <windows.h>

namespace svctest {

enum class Behaviour { Normal, HangsStarting, HangsStopping, RefusesStop, FailsStart };

// The installed service `name` stays start pending for `startPolls` wait
// hints of `waitHint` ms and stop pending for `stopPolls`; a failing start
// ends with ERROR_SERVICE_SPECIFIC_ERROR and the service's own code 1.
// Returns null when scripted, else why not (SEEDED_OR_SKIP in wine.h).
const char *ScriptService(const char *name, Behaviour behaviour, DWORD startPolls = 0, DWORD stopPolls = 0,
                   DWORD waitHint = 1000);

}  // namespace svctest

#endif
