#include "network.h"

#include <winsim/machine.h>

const char *JoinDomain(const std::string &domain, const std::vector<std::string> &controllers,
                const std::vector<std::string> &trusts) {
    winsim::Machine &m = winsim::LocalMachine();
    m.domain = domain;
    if (m.domainSid.empty()) m.domainSid = "S-1-5-21-2025429265-507921405-1417001333";
    m.domainControllers = controllers;
    m.trustedDomains = trusts;
    return nullptr;
}

const char *BecomeController(const std::string &domain, const std::vector<std::string> &controllers,
                      const std::vector<std::string> &trusts) {
    JoinDomain(domain, controllers, trusts);
    winsim::LocalMachine().productType = VER_NT_DOMAIN_CONTROLLER;
    return nullptr;
}

const char *NeighbourServer(std::string &server) {
    if (!winsim::FindMachine("NEIGHBOUR")) winsim::CreateDefaultMachine("NEIGHBOUR");
    server = "NEIGHBOUR";
    return nullptr;
}

const char *NeighbourUser(const std::string &server, const std::string &user, const std::string &password,
                          bool administrator) {
    winsim::Machine *m = winsim::FindMachine(server);
    if (!m) return "no such neighbour";
    winsim::Account &a = m->AddAccount(user, 1);
    a.password = password;
    if (administrator) m->aliasMembers["S-1-5-32-544"].insert(a.sid);
    return nullptr;
}
