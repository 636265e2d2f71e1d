// (being written)
#include "internal.h"
namespace winsim {
void ResetModules() {}
HMODULE RegisterBuiltinModule(const std::string &) { return (HMODULE)0x10000000; }
void RegisterModuleResources(HMODULE, const std::string &) {}
}
