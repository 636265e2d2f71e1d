// A branding library without the root getters: the account functions and
// the version check only.
#include "BrandKitDouble.h"

BRANDKIT_EXPORT_ACCOUNT;
BRANDKIT_EXPORT_VERSION;
