// Test libraries for the module conformance tests. On Windows each would be a
// small DLL built for the purpose; on the simulated machine the test build's
// shared object is copied to the Windows path.
#ifndef TESTS_WINSIM_SUPPORT_LIBRARIES_H
#define TESTS_WINSIM_SUPPORT_LIBRARIES_H

// Places the library TESTMOD (exports DllMain, TestModAdd, TestModAttached,
// TestModDetached) at `path`.
void PlaceTestLibrary(const char *path);

#endif
