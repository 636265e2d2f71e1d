// A second machine on the network for the connection conformance tests. On
// Windows it would be a server the test account may use; on the simulated
// machine the world gains one.
#ifndef TESTS_WINSIM_SUPPORT_NETWORK_H
#define TESTS_WINSIM_SUPPORT_NETWORK_H

// The NetBIOS name of a reachable server with drive C: and no further shares.
const char *NeighbourServer();

#endif
