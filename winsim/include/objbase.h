/* COM start-up, as the SDK's objbase.h declares it; the task allocator
   interface is objidl.h's. */
#ifndef WINSIM_OBJBASE_H
#define WINSIM_OBJBASE_H

#include "windows.h"

#include "objidl.h"

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) HRESULT WINAPI CoInitialize(LPVOID pvReserved);
__attribute__((visibility("default"))) void WINAPI CoUninitialize(void);
#ifdef __cplusplus
}
#endif

#endif
