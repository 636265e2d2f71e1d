// What the actions read of the product in the setup directory and of the
// installed one: its version and the type of its database (kept with the
// checks that first needed them).
#ifndef QL_INSTALLEDPRODUCT_H
#define QL_INSTALLEDPRODUCT_H

#include "Checks.h"

#endif
