/* Buffers the network management functions allocate for their callers. */
#ifndef WINSIM_LMAPIBUF_H
#define WINSIM_LMAPIBUF_H

#include "lmcons.h"

#ifdef __cplusplus
extern "C" {
#endif
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetApiBufferAllocate(DWORD ByteCount, LPVOID *Buffer);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID Buffer);
#ifdef __cplusplus
}
#endif

#endif
