// Stand-in for the product's version library: its version and build texts
// come from QLVCTL_VERSION and QLVCTL_BUILD. A text of 32 characters or more
// is written as its first 32 bytes without a terminator, as a library that
// fills the whole buffer would.
#include "DoubleEnv.h"

#include <cstring>
#include <string>

namespace {
void Fill(char *buffer, const std::string &text) {
    if (!buffer) return;
    if (text.size() >= 32)
        std::memcpy(buffer, text.data(), 32);
    else
        std::memcpy(buffer, text.c_str(), text.size() + 1);
}
}  // namespace

extern "C" __attribute__((visibility("default"))) int WINAPI QlvGetVersionA(char *buffer) {
    Fill(buffer, DoubleSetting("QLVCTL_VERSION", "7.0.1230"));
    return 1;
}

extern "C" __attribute__((visibility("default"))) int WINAPI QlvGetBuildNumberA(char *buffer) {
    Fill(buffer, DoubleSetting("QLVCTL_BUILD", "1230"));
    return 1;
}
