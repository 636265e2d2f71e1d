#include "accounts.h"

#include <winsim/machine.h>

const char *RunAsPlainUser(const std::string &name) {
    winsim::Machine &m = winsim::LocalMachine();
    winsim::Account &a = m.AddAccount(name, SidTypeUser);
    m.aliasMembers["S-1-5-32-545"].insert(a.sid);
    m.userName = name;
    return nullptr;
}

const char *SetPasswordRules(unsigned minLength, unsigned history) {
    winsim::LocalMachine().minPasswordLength = minLength;
    winsim::LocalMachine().passwordHistory = history;
    return nullptr;
}

const char *TranslateBuiltinNames(const std::string &domain, const std::string &administrators,
                                  const std::string &backupOperators) {
    winsim::Machine &m = winsim::LocalMachine();
    m.builtinNames["S-1-5-32"] = domain;
    m.builtinNames["S-1-5-32-544"] = administrators;
    m.builtinNames["S-1-5-32-551"] = backupOperators;
    return nullptr;
}

const char *DomainControllerOf(const std::string &domain, std::string &controller) {
    const char *name = "TESTDC";
    if (!winsim::FindMachine(name)) {
        winsim::Machine &dc = winsim::CreateDefaultMachine(name);
        dc.productType = VER_NT_DOMAIN_CONTROLLER;
        dc.domain = domain;
        dc.domainSid = "S-1-5-21-101-202-303";
        dc.domainControllers = {name};
    }
    winsim::Machine &m = winsim::LocalMachine();
    m.domain = domain;
    m.domainSid = "S-1-5-21-101-202-303";
    m.domainControllers = {name};
    controller = name;
    return nullptr;
}
