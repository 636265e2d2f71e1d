// Shared by the fuzz targets: one simulated machine for the whole run, and
// property checks that stop the fuzzer with a message (libFuzzer then keeps
// the input that broke the property, as it does for a crash).
#ifndef QL_FUZZ_SUPPORT_H
#define QL_FUZZ_SUPPORT_H

#include <windows.h>

#include <winsim/machine.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#define QL_FUZZ_CHECK(cond, ...)                                                           \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            fprintf(stderr, "%s:%d: property broken: %s\n  ", __FILE__, __LINE__, #cond); \
            fprintf(stderr, __VA_ARGS__);                                                  \
            fprintf(stderr, "\n");                                                         \
            abort();                                                                       \
        }                                                                                  \
    } while (0)

namespace qlfuzz {

// The default Windows 2000 server with a fixed drive D: for setup files.
// Made once: a fresh machine per input would cost more than the parsing.
inline winsim::Machine &Machine() {
    static winsim::Machine *m = [] {
        winsim::ResetWorld();
        winsim::Machine &made = winsim::CreateDefaultMachine();
        made.AddDrive('D', DRIVE_FIXED);
        made.MakeDirs("D:\\SETUP");
        return &made;
    }();
    return *m;
}

// The input as text (bytes as they are, NULs included).
inline std::string Text(const uint8_t *data, size_t size) { return std::string((const char *)data, size); }

// The input up to its first NUL: what a reader of C strings sees.
inline std::string CText(const uint8_t *data, size_t size) {
    std::string t = Text(data, size);
    size_t nul = t.find('\0');
    return nul == std::string::npos ? t : t.substr(0, nul);
}

}  // namespace qlfuzz

#endif
