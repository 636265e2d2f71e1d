#include "VersionText.h"

#include <string.h>

namespace {

typedef int(WINAPI *PFN_QLVGETTEXT)(char *);

// Calls the text export into a zeroed buffer of the size the library is
// known to fill and terminates it, since the library is not told the size.
CString CallTextExport(HMODULE module, const char *exportName) {
    char text[QL_VERSION_TEXT_SIZE + 1];
    memset(text, 0, sizeof text);
    PFN_QLVGETTEXT get = module ? reinterpret_cast<PFN_QLVGETTEXT>(reinterpret_cast<void *>(GetProcAddress(module, exportName))) : NULL;
    if (get) get(text);
    if (module) FreeLibrary(module);
    text[QL_VERSION_TEXT_SIZE - 1] = '\0';
    return CString(text);
}

// The number at the start of the text as atoi reads it (blanks, a sign,
// then digits), wrapping instead of overflowing.
unsigned LeadingNumber(const char *text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    unsigned value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + (unsigned)(*text - '0');
    return negative ? 0u - value : value;
}

}  // namespace

CString SetupCLSGetVersionString(CString strFileName) {
    return CallTextExport(LoadLibraryExA(strFileName, NULL, LOAD_WITH_ALTERED_SEARCH_PATH), "QlvGetVersionA");
}

CString SetupCLSGetBuildString(CString strFileName) {
    return CallTextExport(LoadLibraryA(strFileName), "QlvGetBuildNumberA");
}

WORD SetupCLSGetVersionNumber(CString strFileName) {
    CString text = SetupCLSGetVersionString(strFileName);
    if (text.IsEmpty()) return 0;
    unsigned major = LeadingNumber(text) & 0xFF;
    unsigned minor = 0;
    int dot = text.Find('.');
    if (dot >= 1) minor = LeadingNumber((LPCSTR)text + dot + 1) & 0xFF;
    return (WORD)(major * 256 + minor);
}

WORD SetupCLSGetBuildNumber(CString strFileName) {
    CString text = SetupCLSGetBuildString(strFileName);
    if (text.IsEmpty()) return 0;
    return (WORD)(LeadingNumber(text) & 0xFFFF);
}

DWORD SetupCLSGetVersionBuildNumber(CString strFileName) {
    DWORD build = SetupCLSGetBuildNumber(strFileName);
    DWORD version = SetupCLSGetVersionNumber(strFileName);
    return build * 65536 + version;
}
