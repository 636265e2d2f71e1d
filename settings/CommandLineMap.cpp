#include "CommandLineMap.h"

#include <cstring>

CCommandLineMap::CCommandLineMap(LPCSTR lpszCommandLine, char chSwitch) : CMapStringToString(10) {
    if (!lpszCommandLine) return;
    CString copy(lpszCommandLine);  // allocation failure throws the memory exception
    UINT textIndex = 0;
    int start = 0;
    const int length = copy.GetLength();
    while (start < length) {
        int end = copy.Find(' ', start);
        if (end < 0) end = length;
        if (end > start) {
            CString token = copy.Mid(start, end - start);
            if (token[0] != chSwitch) {
                CString key;
                TextKey(key, textIndex++);
                SetAt(key, token);
            } else {
                ProcessSwitchToken(token);
            }
        }
        start = end + 1;
    }
}

CCommandLineMap::~CCommandLineMap() { RemoveAll(); }

void CCommandLineMap::TextKey(CString &key, UINT nIndex) const { key.Format("#%d", (int)nIndex); }

void CCommandLineMap::ProcessSwitchToken(LPCSTR lpszToken) {
    const size_t length = strlen(lpszToken);
    if (length <= 1) return;  // the switch character alone
    CString token(lpszToken);
    CString key, value;
    int colon = token.Find(':');
    if (colon >= 0) {
        key = token.Mid(1, colon - 1);
        value = token.Mid(colon + 1);
    } else if (token == "-SMSInstall" || token == "-SMSUninstall") {
        key = token.Mid(1);
        value = "QUILLBAK.ICF";
    } else {
        key = token.Mid(1, 1);
        value = token.Mid(2);
    }
    SetAt(key, value);
}

int CCommandLineMap::GetSwitch(char chName) const {
    char name[2] = {chName, '\0'};
    return GetSwitch(name);
}

int CCommandLineMap::GetSwitch(LPCSTR lpszName) const {
    CString value;
    return Lookup(lpszName ? lpszName : "", value) ? 1 : 0;
}

int CCommandLineMap::GetSwitch(char chName, CString &value, LPCSTR lpszDefault) const {
    char name[2] = {chName, '\0'};
    return GetSwitch(name, value, lpszDefault);
}

int CCommandLineMap::GetSwitch(LPCSTR lpszName, CString &value, LPCSTR lpszDefault) const {
    if (Lookup(lpszName ? lpszName : "", value)) return 1;
    if (lpszDefault) value = lpszDefault;
    return 0;
}

int CCommandLineMap::GetText(UINT nIndex, CString &text) const {
    CString key;
    TextKey(key, nIndex);
    return Lookup(key, text) ? 1 : 0;
}
