// Stand-in for the branding library "BRANDKIT.DLL" with all seven exports;
// its answers are set through the values of BrandKitConfig.h.
#include "BrandKitDouble.h"

BRANDKIT_EXPORT_ROOTS;
BRANDKIT_EXPORT_ACCOUNT;
BRANDKIT_EXPORT_VERSION;
