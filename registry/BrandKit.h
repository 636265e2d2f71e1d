// The branding library "BRANDKIT.DLL": a library of the product family that
// ships beside this one. It names the registry roots the product lives under,
// keeps the product's service account and judges the Windows version.
// Callers load it, look its functions up by name and release it after use;
// nobody keeps it loaded.
#ifndef QL_BRANDKIT_H
#define QL_BRANDKIT_H

#include <windows.h>

#include <cstddef>

// File name callers load (plain, or after a folder).
#define BKT_LIBRARY_NAME "BRANDKIT.DLL"

// Export names.
#define BKT_GET_BRAND_NAME_STRING "BktGetBrandNameStringA"
#define BKT_GET_REG_ROOT_STRING "BktGetRegRootStringA"
#define BKT_GET_REG_BASE_STRING "BktGetRegBaseStringA"
#define BKT_GET_PRODUCTS_STRING "BktGetProductsStringA"
#define BKT_GET_USER_ACCOUNT "BktGetUserAccountA"
#define BKT_SET_USER_ACCOUNT "BktSetUserAccountA"
#define BKT_IS_WINDOWS_VERSION_OK "IsWindowsVersionOKA"

// Size of the text buffer every caller hands to a root getter.
#define BKT_ROOT_BUFFER_SIZE 260
// Longest server name the account functions are given, with its NUL.
#define BKT_SERVER_NAME_SIZE 32
// Width of each text field of the account record, with its NUL.
#define BKT_ACCOUNT_FIELD_SIZE 64

// The service account as the library keeps it: three NUL-terminated texts.
struct tagBKT_USER_ACCOUNT {
    char szDomain[BKT_ACCOUNT_FIELD_SIZE];
    char szAccountName[BKT_ACCOUNT_FIELD_SIZE];
    char szPassword[BKT_ACCOUNT_FIELD_SIZE];
};
typedef tagBKT_USER_ACCOUNT BKT_USER_ACCOUNT;

static_assert(offsetof(tagBKT_USER_ACCOUNT, szDomain) == 0, "BKT_USER_ACCOUNT layout");
static_assert(offsetof(tagBKT_USER_ACCOUNT, szAccountName) == 64, "BKT_USER_ACCOUNT layout");
static_assert(offsetof(tagBKT_USER_ACCOUNT, szPassword) == 128, "BKT_USER_ACCOUNT layout");
static_assert(sizeof(tagBKT_USER_ACCOUNT) == 192, "BKT_USER_ACCOUNT layout");

// BktGetBrandNameStringA (maker root), BktGetRegRootStringA (product root),
// BktGetRegBaseStringA (base key), BktGetProductsStringA (products key):
// write the key path into the buffer of nSize bytes. Callers ignore the
// result and take whatever text the buffer holds.
typedef int(WINAPI *PFN_BKT_GET_STRING)(LPSTR lpszBuffer, DWORD nSize);

// Fills the record with the account kept for the server; nonzero on success,
// otherwise 0 with the reason in the thread's last error.
typedef int(WINAPI *PFN_BKT_GET_USER_ACCOUNT)(LPCSTR lpszServer, BKT_USER_ACCOUNT *pAccount);

// Records the account for the server; nonzero on success (some callers look
// at the low 16 bits only).
typedef int(WINAPI *PFN_BKT_SET_USER_ACCOUNT)(LPCSTR lpszServer, const BKT_USER_ACCOUNT *pAccount);

// Nonzero when the Windows version the three numbers describe is acceptable.
// Option setup libraries pass their numbers through unchanged.
typedef int(WINAPI *PFN_BKT_IS_WINDOWS_VERSION_OK)(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3);

#endif
