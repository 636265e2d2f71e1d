// The framework's combo-box wrapper: a window handle and the messages that
// fill and read the list.
#ifndef QL_AFXCOMBO_H
#define QL_AFXCOMBO_H

#include "afxver.h"  // windows.h
#include "afxstr.h"

class CComboBox {
public:
    CComboBox() : m_hWnd(NULL) {}
    explicit CComboBox(HWND hWnd) : m_hWnd(hWnd) {}

    // Index of the new string, CB_ERR or CB_ERRSPACE.
    int AddString(LPCSTR lpszString) { return (int)::SendMessageA(m_hWnd, CB_ADDSTRING, 0, (LPARAM)lpszString); }
    int InsertString(int nIndex, LPCSTR lpszString) {
        return (int)::SendMessageA(m_hWnd, CB_INSERTSTRING, (WPARAM)nIndex, (LPARAM)lpszString);
    }
    int GetCount() const { return (int)::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0); }
    void ResetContent() { ::SendMessageA(m_hWnd, CB_RESETCONTENT, 0, 0); }
    // The item equal to the text (no case), searching after nIndexStart
    // (-1: from the top); CB_ERR when there is none.
    int FindStringExact(int nIndexStart, LPCSTR lpszFind) const {
        return (int)::SendMessageA(m_hWnd, CB_FINDSTRINGEXACT, (WPARAM)nIndexStart, (LPARAM)lpszFind);
    }
    int GetCurSel() const { return (int)::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0); }
    int SetCurSel(int nSelect) { return (int)::SendMessageA(m_hWnd, CB_SETCURSEL, (WPARAM)nSelect, 0); }
    int GetLBTextLen(int nIndex) const { return (int)::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, (WPARAM)nIndex, 0); }
    // The item's text; empty for an index out of range.
    void GetLBText(int nIndex, CString &rString) const {
        rString.Empty();
        int nLength = GetLBTextLen(nIndex);
        if (nLength == CB_ERR || nLength <= 0) return;
        LPSTR buffer = rString.GetBuffer(nLength + 1);
        if (::SendMessageA(m_hWnd, CB_GETLBTEXT, (WPARAM)nIndex, (LPARAM)buffer) == CB_ERR) buffer[0] = '\0';
        rString.ReleaseBuffer();
    }
    // The edit part's text; for a drop-down list, the selected item's.
    void GetWindowText(CString &rString) const {
        rString.Empty();
        int nLength = (int)::SendMessageA(m_hWnd, WM_GETTEXTLENGTH, 0, 0);
        if (nLength <= 0) return;
        LPSTR buffer = rString.GetBuffer(nLength + 1);
        ::SendMessageA(m_hWnd, WM_GETTEXT, (WPARAM)(nLength + 1), (LPARAM)buffer);
        rString.ReleaseBuffer();
    }

    HWND m_hWnd;
};

#endif
