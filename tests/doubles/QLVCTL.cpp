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

// The long texts: QLVCTL_VERSION_LONG into a 32-character buffer and
// QLVCTL_PRODUCT_NAME into a 128-character one, each written as far as its
// buffer reaches, without a terminator when the text fills it.
namespace {
void FillLong(char *buffer, const std::string &text, size_t size) {
    if (!buffer) return;
    if (text.size() >= size)
        std::memcpy(buffer, text.data(), size);
    else
        std::memcpy(buffer, text.c_str(), text.size() + 1);
}
}  // namespace

extern "C" __attribute__((visibility("default"))) int WINAPI QlvGetVersionLongA(char *buffer) {
    FillLong(buffer, DoubleSetting("QLVCTL_VERSION_LONG", "Version 6.5"), 32);
    return 1;
}

extern "C" __attribute__((visibility("default"))) int WINAPI QlvGetProductNameLongA(char *buffer) {
    FillLong(buffer, DoubleSetting("QLVCTL_PRODUCT_NAME", "Quillbak for Windows NT"), 128);
    return 1;
}
