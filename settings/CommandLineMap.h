// A command line split into switches (with their text) and plain text
// arguments. Switch names compare case-sensitively.
#ifndef QL_COMMANDLINEMAP_H
#define QL_COMMANDLINEMAP_H

#include "afxcoll.h"
#include "system/QlApi.h"

class QL_API CCommandLineMap : public CMapStringToString {
public:
    // Tokens are separated by single blanks; a token starting with
    // chSwitch is a switch, any other token the next text argument.
    CCommandLineMap(LPCSTR lpszCommandLine, char chSwitch);
    ~CCommandLineMap() override;

    int GetSwitch(char chName) const;
    int GetSwitch(LPCSTR lpszName) const;
    // Present: value = its text, 1. Absent: value = lpszDefault (when not
    // null), 0.
    int GetSwitch(char chName, CString &value, LPCSTR lpszDefault) const;
    int GetSwitch(LPCSTR lpszName, CString &value, LPCSTR lpszDefault) const;
    // The nIndex-th text argument (0 is the program when built from the
    // process command line).
    int GetText(UINT nIndex, CString &text) const;

protected:
    void TextKey(CString &key, UINT nIndex) const;
    void ProcessSwitchToken(LPCSTR lpszToken);
};

// Option setup libraries allocate the map themselves: its size is the base
// map's, and adding a field would break them.
static_assert(sizeof(CCommandLineMap) == sizeof(CMapStringToString), "the command-line map adds no fields");

#endif
