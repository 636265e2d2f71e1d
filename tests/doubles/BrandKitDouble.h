// Implementation shared by the stand-ins of the branding library
// "BRANDKIT.DLL". Each variant's source defines the exports it carries with
// the BRANDKIT_EXPORT_* macros below.
//
// The answers are read from, and the account written to, the local machine's
// model directly (not through the registry functions), so that a test's
// injected registry faults and call counts see only the caller's own calls.
#ifndef QL_TEST_BRANDKIT_DOUBLE_H
#define QL_TEST_BRANDKIT_DOUBLE_H

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>
#include <type_traits>

#include "../../registry/BrandKit.h"
#include "BrandKitConfig.h"

namespace brandkit_double {

inline bool Text(const char *value, std::string &out) {
    return winsim::HasLocalMachine() && winsim::LocalMachine().registry.GetString(BRANDKIT_DOUBLE_KEY, value, out);
}

inline bool Number(const char *value, DWORD &out) {
    return winsim::HasLocalMachine() && winsim::LocalMachine().registry.GetDword(BRANDKIT_DOUBLE_KEY, value, out);
}

inline void Keep(const char *value, const std::string &text) {
    if (winsim::HasLocalMachine()) winsim::LocalMachine().registry.SetString(BRANDKIT_DOUBLE_KEY, value, text);
}

inline void KeepNumber(const char *value, DWORD number) {
    if (winsim::HasLocalMachine()) winsim::LocalMachine().registry.SetDword(BRANDKIT_DOUBLE_KEY, value, number);
}

inline int Root(const char *value, const char *fallback, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    std::string text;
    if (!Text(value, text)) text = fallback;
    if (text == BRANDKIT_FAIL) return 0;
    if (text == BRANDKIT_GARBAGE) {
        memset(buffer, '#', size);
        return 0;
    }
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return 1;
}

// Copies text into a 64-byte field, cut and terminated.
inline void Field(char (&field)[BKT_ACCOUNT_FIELD_SIZE], const std::string &text) {
    size_t n = text.size() < sizeof field - 1 ? text.size() : sizeof field - 1;
    memcpy(field, text.data(), n);
    field[n] = '\0';
}

// Reads a field that may lack its NUL.
inline std::string FieldText(const char (&field)[BKT_ACCOUNT_FIELD_SIZE]) {
    size_t n = 0;
    while (n < sizeof field && field[n]) ++n;
    return std::string(field, n);
}

inline std::string ServerText(LPCSTR server) {
    if (!server) return std::string();
    size_t n = 0;
    while (n < BKT_SERVER_NAME_SIZE && server[n]) ++n;
    return std::string(server, n);
}

inline int GetUserAccount(LPCSTR server, BKT_USER_ACCOUNT *account) {
    Keep(BRANDKIT_VALUE_GET_SERVER, ServerText(server));
    std::string domain, name, password;
    DWORD error = ERROR_NONE_MAPPED;
    Number(BRANDKIT_VALUE_ACCOUNT_ERROR, error);
    if (!account || !Text(BRANDKIT_VALUE_ACCOUNT_NAME, name)) {
        SetLastError(account ? error : (DWORD)ERROR_INVALID_PARAMETER);
        return 0;
    }
    Text(BRANDKIT_VALUE_ACCOUNT_DOMAIN, domain);
    Text(BRANDKIT_VALUE_ACCOUNT_PASSWORD, password);
    Field(account->szDomain, domain);
    Field(account->szAccountName, name);
    Field(account->szPassword, password);
    return 1;
}

inline int SetUserAccount(LPCSTR server, const BKT_USER_ACCOUNT *account) {
    if (!account) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD result = 1;
    Number(BRANDKIT_VALUE_SET_RESULT, result);
    if (result == 0) {
        DWORD error = ERROR_ACCESS_DENIED;
        Number(BRANDKIT_VALUE_ACCOUNT_ERROR, error);
        SetLastError(error);
        return 0;
    }
    Keep(BRANDKIT_VALUE_ACCOUNT_SERVER, ServerText(server));
    Keep(BRANDKIT_VALUE_ACCOUNT_DOMAIN, FieldText(account->szDomain));
    Keep(BRANDKIT_VALUE_ACCOUNT_NAME, FieldText(account->szAccountName));
    Keep(BRANDKIT_VALUE_ACCOUNT_PASSWORD, FieldText(account->szPassword));
    return (int)result;
}

inline int IsWindowsVersionOK(DWORD a, DWORD b, DWORD c) {
    KeepNumber(BRANDKIT_VALUE_VERSION_ARG1, a);
    KeepNumber(BRANDKIT_VALUE_VERSION_ARG2, b);
    KeepNumber(BRANDKIT_VALUE_VERSION_ARG3, c);
    DWORD ok = 1;
    Number(BRANDKIT_VALUE_VERSION_OK, ok);
    return (int)ok;
}

}  // namespace brandkit_double

#define BRANDKIT_EXPORT extern "C" __attribute__((visibility("default")))

// The signatures are those of the typedefs in BrandKit.h; the checks make a
// change of either side fail to build.
#define BRANDKIT_EXPORT_ROOTS                                                                        \
    BRANDKIT_EXPORT int WINAPI BktGetBrandNameStringA(LPSTR buffer, DWORD size) {                   \
        return brandkit_double::Root(BRANDKIT_VALUE_BRAND_NAME, BRANDKIT_DOUBLE_DEFAULT_BRAND_NAME, \
                                     buffer, size);                                                 \
    }                                                                                               \
    BRANDKIT_EXPORT int WINAPI BktGetRegRootStringA(LPSTR buffer, DWORD size) {                     \
        return brandkit_double::Root(BRANDKIT_VALUE_REG_ROOT, BRANDKIT_DOUBLE_DEFAULT_REG_ROOT,     \
                                     buffer, size);                                                 \
    }                                                                                               \
    BRANDKIT_EXPORT int WINAPI BktGetRegBaseStringA(LPSTR buffer, DWORD size) {                     \
        return brandkit_double::Root(BRANDKIT_VALUE_REG_BASE, BRANDKIT_DOUBLE_DEFAULT_REG_BASE,     \
                                     buffer, size);                                                 \
    }                                                                                               \
    BRANDKIT_EXPORT int WINAPI BktGetProductsStringA(LPSTR buffer, DWORD size) {                    \
        return brandkit_double::Root(BRANDKIT_VALUE_PRODUCTS, BRANDKIT_DOUBLE_DEFAULT_PRODUCTS,     \
                                     buffer, size);                                                 \
    }                                                                                               \
    static_assert(std::is_same<PFN_BKT_GET_STRING, decltype(&BktGetRegRootStringA)>::value,         \
                  "root getter signature")

#define BRANDKIT_EXPORT_ACCOUNT                                                                   \
    BRANDKIT_EXPORT int WINAPI BktGetUserAccountA(LPCSTR server, BKT_USER_ACCOUNT *account) {     \
        return brandkit_double::GetUserAccount(server, account);                                  \
    }                                                                                             \
    BRANDKIT_EXPORT int WINAPI BktSetUserAccountA(LPCSTR server, const BKT_USER_ACCOUNT *account) { \
        return brandkit_double::SetUserAccount(server, account);                                  \
    }                                                                                             \
    static_assert(std::is_same<PFN_BKT_GET_USER_ACCOUNT, decltype(&BktGetUserAccountA)>::value &&  \
                      std::is_same<PFN_BKT_SET_USER_ACCOUNT, decltype(&BktSetUserAccountA)>::value, \
                  "account signatures")

#define BRANDKIT_EXPORT_VERSION                                                          \
    BRANDKIT_EXPORT int WINAPI IsWindowsVersionOKA(DWORD a, DWORD b, DWORD c) {          \
        return brandkit_double::IsWindowsVersionOK(a, b, c);                             \
    }                                                                                    \
    static_assert(std::is_same<PFN_BKT_IS_WINDOWS_VERSION_OK, decltype(&IsWindowsVersionOKA)>::value, \
                  "version check signature")

#endif
