#include "libraries.h"

#include "doubles.h"

void PlaceTestLibrary(const char *path) { InstallDouble("TESTMOD", path); }
