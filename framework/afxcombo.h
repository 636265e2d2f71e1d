// The framework's combo-box wrapper: a window handle and the messages that
// fill and read the list.
#ifndef QL_AFXCOMBO_H
#define QL_AFXCOMBO_H

#include "afxver.h"  // windows.h

class CComboBox {
public:
    CComboBox() : m_hWnd(NULL) {}
    explicit CComboBox(HWND hWnd) : m_hWnd(hWnd) {}

    // Index of the new string, CB_ERR or CB_ERRSPACE.
    int AddString(LPCSTR lpszString) { return (int)::SendMessageA(m_hWnd, CB_ADDSTRING, 0, (LPARAM)lpszString); }
    int GetCount() const { return (int)::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0); }
    void ResetContent() { ::SendMessageA(m_hWnd, CB_RESETCONTENT, 0, 0); }

    HWND m_hWnd;
};

#endif
