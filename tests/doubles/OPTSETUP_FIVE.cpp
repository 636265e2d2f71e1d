// An option setup library that lacks "GetInstallPath": not usable at all.
#include "OptionSetupDouble.h"
