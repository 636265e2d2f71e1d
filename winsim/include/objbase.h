/* COM start-up and the task allocator interface, as the SDK's objbase.h and
   objidl.h declare the parts the shell calls need. */
#ifndef WINSIM_OBJBASE_H
#define WINSIM_OBJBASE_H

#include "windows.h"

#ifndef WINSIM_GUID_DEFINED
#define WINSIM_GUID_DEFINED
typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef GUID IID;
#ifdef __cplusplus
#define REFIID const IID &
#else
#define REFIID const IID *
#endif
#endif

#ifndef E_NOINTERFACE
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#endif
#ifndef E_OUTOFMEMORY
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG ((HRESULT)0x80070057L)
#endif
#ifndef E_NOTIMPL
#define E_NOTIMPL ((HRESULT)0x80004001L)
#endif

#ifdef __cplusplus
/* The task allocator (IMalloc): the shell hands out item lists from it. */
struct IMalloc {
    virtual HRESULT WINAPI QueryInterface(REFIID riid, void **ppv) = 0;
    virtual ULONG WINAPI AddRef() = 0;
    virtual ULONG WINAPI Release() = 0;
    virtual void *WINAPI Alloc(SIZE_T cb) = 0;
    virtual void *WINAPI Realloc(void *pv, SIZE_T cb) = 0;
    virtual void WINAPI Free(void *pv) = 0;
    virtual SIZE_T WINAPI GetSize(void *pv) = 0;
    virtual int WINAPI DidAlloc(void *pv) = 0;
    virtual void WINAPI HeapMinimize() = 0;
};
typedef IMalloc *LPMALLOC;

extern "C" {
#endif
__attribute__((visibility("default"))) HRESULT WINAPI CoInitialize(LPVOID pvReserved);
__attribute__((visibility("default"))) void WINAPI CoUninitialize(void);
#ifdef __cplusplus
}
#endif

#endif
