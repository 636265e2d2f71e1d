// The administrator through which the remote-install tests reach a target.
#ifndef QL_TESTS_REMOTE_TARGET_H
#define QL_TESTS_REMOTE_TARGET_H

#include <winsim/machine.h>

// Adds "setupadm" (password "Secret1"), a member of the target's
// Administrators, and returns the target.
inline winsim::Machine &AddSetupAdministrator(winsim::Machine &target) {
    winsim::Account &a = target.AddAccount("setupadm", 1);
    a.password = "Secret1";
    target.aliasMembers["S-1-5-32-544"].insert(a.sid);
    return target;
}

#endif
