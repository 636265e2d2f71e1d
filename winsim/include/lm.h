/* LAN Manager network management (netapi32), as the SDK's lm.h gathers it. */
#ifndef WINSIM_LM_H
#define WINSIM_LM_H

#include <windows.h>

#include "lmcons.h"
#include "lmerr.h"
#include "lmapibuf.h"
#include "lmwksta.h"
#include "lmserver.h"
#include "lmshare.h"
#include "lmgetdc.h"
#include "lmaccess.h"

#endif
