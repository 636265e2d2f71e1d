// Windows: a file with a version resource would be a DLL built with one;
// the test build makes none, so the tests that need it say so and skip.
#include <windows.h>

#include "support/versions.h"

const char *PlaceVersionedFile(const char *, DWORD, DWORD) {
    return "no library with a chosen version resource is built for the tests under Wine";
}
