// Build switches shared by the framework headers: the export marker of the
// framework classes and the printf-style checking of Format.
#ifndef QL_AFXVER_H
#define QL_AFXVER_H

#include <windows.h>

// The classes live in QLSETGUI.dll; only the DLL's own build exports them.
#if defined(_WIN32) && defined(QLSETGUI_EXPORTS)
#define QL_FRAMEWORK_API __declspec(dllexport)
#else
#define QL_FRAMEWORK_API
#endif

// Lets the compiler check the arguments of CString::Format against the
// format, which catches a CString passed where "%s" wants a char pointer.
// On MinGW the framework formats through the ISO (gnu) printf, so it checks
// by those rules whatever flavour the including file selected.
#if defined(__GNUC__)
#if defined(__MINGW32__)
#define QL_PRINTF_LIKE(fmt, first) __attribute__((format(gnu_printf, fmt, first)))
#else
#define QL_PRINTF_LIKE(fmt, first) __attribute__((format(printf, fmt, first)))
#endif
#else
#define QL_PRINTF_LIKE(fmt, first)
#endif

#endif
