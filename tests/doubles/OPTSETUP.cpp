// An option setup library with all six entry points.
#include "OptionSetupDouble.h"

OPTSETUP_EXPORT_INSTALL_PATH
