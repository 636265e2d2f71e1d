/* Named mutexes. */
#ifndef WINSIM_SYNCHAPI_H
#define WINSIM_SYNCHAPI_H

#include "winsim_types.h"

#define MUTANT_QUERY_STATE 0x0001
#define MUTEX_MODIFY_STATE 0x0001
#define MUTEX_ALL_ACCESS (0x000F0000L | 0x00100000L | MUTANT_QUERY_STATE)

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes,
                                                                  BOOL bInitialOwner, LPCSTR lpName);
__attribute__((visibility("default"))) HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle,
                                                                LPCSTR lpName);
__attribute__((visibility("default"))) BOOL WINAPI ReleaseMutex(HANDLE hMutex);
#ifdef __cplusplus
}
#endif

#define CreateMutex CreateMutexA
#define OpenMutex OpenMutexA

#endif
