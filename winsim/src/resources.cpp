// (being written)
#include "internal.h"
namespace winsim {
void RegisterModuleResources(HMODULE, const std::string &) {}
bool LookupString(HMODULE, UINT, std::string &) { return false; }
}
