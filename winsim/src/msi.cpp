// (being written)
#include "internal.h"
namespace winsim {
void ResetInstallerHandles() {}
}
