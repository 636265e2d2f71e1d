/* Constants and types shared by the network management functions. */
#ifndef WINSIM_LMCONS_H
#define WINSIM_LMCONS_H

#include "winsim_types.h"

typedef DWORD NET_API_STATUS;
typedef WCHAR *LMSTR;
typedef const WCHAR *LMCSTR;
#define NET_API_FUNCTION WINAPI
#define NETAPI_EXPORT __attribute__((visibility("default")))

#define MAX_PREFERRED_LENGTH ((DWORD)-1)
#define CNLEN 15
#define LM20_CNLEN 15
#define DNLEN CNLEN
#define UNLEN 256
#define NNLEN 80
#define PWLEN 256

#define PLATFORM_ID_DOS 300
#define PLATFORM_ID_OS2 400
#define PLATFORM_ID_NT 500

#endif
