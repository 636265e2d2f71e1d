// Seeds the local machine's place on the network for the network, LSA and
// connection conformance tests: the simulated machine is set so; a real one
// cannot be made to join a domain or gain a neighbour for a test. Each helper
// returns null when the machine is seeded, else why not: the test skips with
// that (SEEDED_OR_SKIP in wine.h).
#ifndef TESTS_WINSIM_SUPPORT_NETWORK_H
#define TESTS_WINSIM_SUPPORT_NETWORK_H

#include <string>
#include <vector>

// Makes the local machine a member of `domain`, whose controllers (primary
// first) and trusted domains are as given.
const char *JoinDomain(const std::string &domain, const std::vector<std::string> &controllers,
                const std::vector<std::string> &trusts);
// Makes the local machine a domain controller of `domain`; primary when it
// is the first of `controllers`.
const char *BecomeController(const std::string &domain, const std::vector<std::string> &controllers,
                      const std::vector<std::string> &trusts);


// A second machine on the network for the connection conformance tests: on
// the simulated machine the world gains one. Sets `server` to the NetBIOS
// name of a reachable server with drive C: and no further shares.
const char *NeighbourServer(std::string &server);
// A user of that server's own accounts with the password given, one of its
// administrators or not.
const char *NeighbourUser(const std::string &server, const std::string &user, const std::string &password,
                          bool administrator);

#endif
