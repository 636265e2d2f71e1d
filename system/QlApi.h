// Export marker of the library's classes and functions: exported from the
// Windows DLL's own build, plain elsewhere.
#ifndef QL_QLAPI_H
#define QL_QLAPI_H

#include "afxver.h"

#if defined(_WIN32) && defined(QLSETGUI_EXPORTS)
#define QL_API __declspec(dllexport)
#else
#define QL_API
#endif

// Free functions exported by their plain names.
#ifdef __cplusplus
#define QL_EXTERN_C extern "C"
#else
#define QL_EXTERN_C
#endif

#endif
