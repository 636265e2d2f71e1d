// Windows under Wine: the prefix is a workgroup machine alone on the network.
// It cannot be made to join a domain, become a controller or gain a second
// machine for a test, so the tests that need one skip with the reason.
#include "support/network.h"

const char *JoinDomain(const std::string &, const std::vector<std::string> &, const std::vector<std::string> &) {
    return "Wine: a prefix is a workgroup machine and cannot be made a member of a domain with controllers and trusts";
}

const char *BecomeController(const std::string &, const std::vector<std::string> &,
                             const std::vector<std::string> &) {
    return "Wine: a prefix cannot be made a domain controller";
}

const char *NeighbourServer(std::string &server) {
    server.clear();
    return "Wine: there is no second machine on the network to connect to";
}

const char *NeighbourUser(const std::string &, const std::string &, const std::string &, bool) {
    return "Wine: there is no second machine on the network to hold the account";
}
