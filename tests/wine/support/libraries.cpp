// Windows: the test library is a real DLL built beside the test program.
#include <windows.h>

#include "support/libraries.h"

#include "beside.h"

void PlaceTestLibrary(const char *path) { CopyFileA(BesideTestProgram("TESTMOD.DLL").c_str(), path, FALSE); }
