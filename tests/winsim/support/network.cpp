#include "network.h"

#include <winsim/machine.h>

const char *NeighbourServer() {
    if (!winsim::FindMachine("NEIGHBOUR")) winsim::CreateDefaultMachine("NEIGHBOUR");
    return "NEIGHBOUR";
}
