/* The process heap. */
#ifndef WINSIM_HEAPAPI_H
#define WINSIM_HEAPAPI_H

#include "winsim_types.h"

#define HEAP_NO_SERIALIZE 0x00000001
#define HEAP_GENERATE_EXCEPTIONS 0x00000004
#define HEAP_ZERO_MEMORY 0x00000008

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) HANDLE WINAPI GetProcessHeap(void);
__attribute__((visibility("default"))) LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
__attribute__((visibility("default"))) BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
#ifdef __cplusplus
}
#endif

#endif
