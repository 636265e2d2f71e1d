// Small registry helpers shared by the registry layer's sources: each opens
// or creates its key, works, and closes it before returning.
#ifndef QL_REGISTRYIO_H
#define QL_REGISTRYIO_H

#include <windows.h>

#include <cstring>

#include "afxstr.h"

namespace qlreg {

// Creates the key and writes one value; nonzero when written. An empty key
// path would name the hive itself, where the product writes nothing.
inline int Write(HKEY root, LPCSTR keyPath, LPCSTR valueName, DWORD type, const void *data, DWORD size) {
    if (!root || !keyPath || !*keyPath) return 0;
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, keyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return 0;
    LONG rc = RegSetValueExA(key, valueName, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// REG_SZ (or REG_EXPAND_SZ) with its terminating NUL, so that readers which
// take the stored length as the text's find it ended.
inline int WriteText(HKEY root, LPCSTR keyPath, LPCSTR valueName, LPCSTR text, DWORD type = REG_SZ) {
    if (!text) return 0;
    return Write(root, keyPath, valueName, type, text, (DWORD)strlen(text) + 1);
}

inline int WriteDword(HKEY root, LPCSTR keyPath, LPCSTR valueName, DWORD number) {
    return Write(root, keyPath, valueName, REG_DWORD, &number, sizeof number);
}

// Creates the key only.
inline int Create(HKEY root, LPCSTR keyPath) {
    if (!root || !keyPath || !*keyPath) return 0;
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, keyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

inline int DeleteValue(HKEY root, LPCSTR keyPath, LPCSTR valueName) {
    if (!root || !keyPath || !*keyPath) return 0;
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    LONG rc = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// Reads a DWORD value; FALSE unless it is four bytes.
inline BOOL ReadDword(HKEY root, LPCSTR keyPath, DWORD access, LPCSTR valueName, DWORD &out) {
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, access, &key) != ERROR_SUCCESS) return FALSE;
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    LONG rc = RegQueryValueExA(key, valueName, NULL, &type, (LPBYTE)&value, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || size != sizeof value || (type != REG_DWORD && type != REG_BINARY)) return FALSE;
    out = value;
    return TRUE;
}

// Splits a key path at its last backslash; FALSE when it has none.
inline BOOL SplitKey(const CString &path, CString &parent, CString &leaf) {
    int slash = path.ReverseFind('\\');
    if (slash < 0) return FALSE;
    parent = path.Left(slash);
    leaf = path.Mid(slash + 1);
    return TRUE;
}

}  // namespace qlreg

#endif
