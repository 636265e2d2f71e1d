/* The COM basics the shell's folder functions use: GUID, IUnknown and the
 * task allocator IMalloc, as the SDK's guiddef.h, unknwn.h and objidl.h
 * declare them. */
#ifndef WINSIM_OBJIDL_H
#define WINSIM_OBJIDL_H

#include "windows.h"

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
#endif
typedef GUID IID;
#ifdef __cplusplus
#define REFIID const IID &
#else
#define REFIID const IID *
#endif

#ifndef E_NOTIMPL
#define E_NOTIMPL ((HRESULT)0x80004001L)
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG ((HRESULT)0x80070057L)
#endif
#ifndef E_OUTOFMEMORY
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#endif
#ifndef E_NOINTERFACE
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#endif
#ifndef STDMETHODCALLTYPE
#define STDMETHODCALLTYPE __stdcall
#endif

#ifdef __cplusplus
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IMalloc : public IUnknown {
    virtual void *STDMETHODCALLTYPE Alloc(SIZE_T cb) = 0;
    virtual void *STDMETHODCALLTYPE Realloc(void *pv, SIZE_T cb) = 0;
    virtual void STDMETHODCALLTYPE Free(void *pv) = 0;
    virtual SIZE_T STDMETHODCALLTYPE GetSize(void *pv) = 0;
    virtual int STDMETHODCALLTYPE DidAlloc(void *pv) = 0;
    virtual void STDMETHODCALLTYPE HeapMinimize() = 0;
};
typedef IMalloc *LPMALLOC;
#endif

#endif
