/* The domain controller of a domain (the SDK declares it in lmaccess.h). */
#ifndef WINSIM_LMGETDC_H
#define WINSIM_LMGETDC_H

#include "lmcons.h"

#ifdef __cplusplus
extern "C" {
#endif
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetGetDCName(LPCWSTR servername, LPCWSTR domainname, LPBYTE *bufptr);
#ifdef __cplusplus
}
#endif

#endif
