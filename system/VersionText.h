// Version and build texts of a product library (its "QlvGetVersionA" and
// "QlvGetBuildNumberA" exports) and the numbers setup compares them by.
#ifndef QL_VERSIONTEXT_H
#define QL_VERSIONTEXT_H

#include "QlApi.h"
#include "afxstr.h"

// Size of the text buffers the version library fills; it is not told the size.
#define QL_VERSION_TEXT_SIZE 32

// Each takes the library's file name. Empty texts and 0 when the library or
// its export is missing. The texts come back as the framework's string under
// plain C names, as the export list gives them: their callers are C++.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif
QL_EXTERN_C QL_API CString SetupCLSGetVersionString(CString strFileName);
QL_EXTERN_C QL_API CString SetupCLSGetBuildString(CString strFileName);
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
// Major version in the high byte, minor in the low byte.
QL_EXTERN_C QL_API WORD SetupCLSGetVersionNumber(CString strFileName);
QL_EXTERN_C QL_API WORD SetupCLSGetBuildNumber(CString strFileName);
// Build number in the high word, version number in the low word.
QL_EXTERN_C QL_API DWORD SetupCLSGetVersionBuildNumber(CString strFileName);

#endif
