// A branding library that names the registry roots only: no account
// functions, no version check.
#include "BrandKitDouble.h"

BRANDKIT_EXPORT_ROOTS;
