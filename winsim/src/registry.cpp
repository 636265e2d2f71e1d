// (being written)
#include "internal.h"
namespace winsim {
Registry::Registry() {}
void ResetRegistryHandles() {}
}
