// The hives of a machine's registry, for tools that walk all of it.
#include "internal.h"

namespace winsim {

// HKEY_CLASSES_ROOT and HKEY_CURRENT_USER are views into these, so they are
// not listed on their own.
std::vector<std::shared_ptr<RegKey>> Registry::Hives() const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return {hklm, hku, hkcc};
}

}  // namespace winsim
