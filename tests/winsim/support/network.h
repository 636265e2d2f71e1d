// Seeds the local machine's place on the network for the network, LSA and
// connection conformance tests: on Windows these describe the test machine's real
// domain, on the simulated machine they set it.
#ifndef TESTS_WINSIM_SUPPORT_NETWORK_H
#define TESTS_WINSIM_SUPPORT_NETWORK_H

#include <string>
#include <vector>

// Makes the local machine a member of `domain`, whose controllers (primary
// first) and trusted domains are as given.
void JoinDomain(const std::string &domain, const std::vector<std::string> &controllers,
                const std::vector<std::string> &trusts);
// Makes the local machine a domain controller of `domain`; primary when it
// is the first of `controllers`.
void BecomeController(const std::string &domain, const std::vector<std::string> &controllers,
                      const std::vector<std::string> &trusts);


// A second machine on the network for the connection conformance tests. On
// Windows it would be a server the test account may use; on the simulated
// machine the world gains one. The NetBIOS name of a reachable server with
// drive C: and no further shares.
const char *NeighbourServer();

#endif
