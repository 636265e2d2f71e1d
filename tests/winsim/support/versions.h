// Files with a version resource, for the version-resource conformance tests.
#ifndef TESTS_WINSIM_SUPPORT_VERSIONS_H
#define TESTS_WINSIM_SUPPORT_VERSIONS_H

#include <windows.h>

// Places a file at `path` whose version resource gives the file version
// fileMS.fileLS (product version the same). Returns null when placed, else
// why it cannot be (SEEDED_OR_SKIP in wine.h).
const char *PlaceVersionedFile(const char *path, DWORD fileMS, DWORD fileLS);

#endif
