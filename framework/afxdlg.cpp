#include "afxdlg.h"

#include <map>

namespace {

// The dialog object behind each open dialog window. Messages that come
// before WM_INITDIALOG (WM_SETFONT) find none and are left to the default.
std::map<HWND, CDialog *> &OpenDialogObjects() {
    static std::map<HWND, CDialog *> *dialogs = new std::map<HWND, CDialog *>();
    return *dialogs;
}

}  // namespace

CDialog::CDialog(UINT nIDTemplate, HWND hWndParent)
    : m_hWnd(NULL), m_hWndParent(hWndParent), m_nIDTemplate(nIDTemplate) {}

CDialog::CDialog(UINT nIDTemplate, CDialog *pParent)
    : m_hWnd(NULL), m_hWndParent(pParent ? pParent->m_hWnd : NULL), m_nIDTemplate(nIDTemplate) {}

CDialog::~CDialog() {
    if (m_hWnd) OpenDialogObjects().erase(m_hWnd);
}

INT_PTR CDialog::DoModal() {
    INT_PTR result = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), m_hWndParent,
                                       DialogProc, (LPARAM)this);
    if (m_hWnd) OpenDialogObjects().erase(m_hWnd);
    m_hWnd = NULL;
    return result;
}

void CDialog::EndDialog(int nResult) {
    if (m_hWnd) ::EndDialog(m_hWnd, nResult);
}

HWND CDialog::GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }

void CDialog::SetDlgItemText(int nID, LPCSTR lpszText) { ::SetDlgItemTextA(m_hWnd, nID, lpszText ? lpszText : ""); }

CString CDialog::GetDlgItemText(int nID) const {
    CString text;
    HWND hCtl = ::GetDlgItem(m_hWnd, nID);
    if (!hCtl) return text;
    int nLength = (int)::SendMessageA(hCtl, WM_GETTEXTLENGTH, 0, 0);
    if (nLength <= 0) return text;
    LPSTR buffer = text.GetBuffer(nLength + 1);
    ::GetDlgItemTextA(m_hWnd, nID, buffer, nLength + 1);
    text.ReleaseBuffer();
    return text;
}

void CDialog::CheckDlgButton(int nID, UINT nCheck) { ::CheckDlgButton(m_hWnd, nID, nCheck); }

UINT CDialog::IsDlgButtonChecked(int nID) const { return ::IsDlgButtonChecked(m_hWnd, nID); }

void CDialog::EnableDlgItem(int nID, BOOL bEnable) {
    HWND hCtl = ::GetDlgItem(m_hWnd, nID);
    if (hCtl) ::EnableWindow(hCtl, bEnable);
}

void CDialog::ShowDlgItem(int nID, BOOL bShow) {
    HWND hCtl = ::GetDlgItem(m_hWnd, nID);
    if (hCtl) ::ShowWindow(hCtl, bShow ? SW_SHOW : SW_HIDE);
}

void CDialog::GotoDlgCtrl(int nID) {
    HWND hCtl = ::GetDlgItem(m_hWnd, nID);
    if (hCtl) ::SetFocus(hCtl);
}

void CDialog::LimitText(int nID, int nChars) {
    HWND hCtl = ::GetDlgItem(m_hWnd, nID);
    if (hCtl) ::SendMessageA(hCtl, EM_LIMITTEXT, (WPARAM)nChars, 0);
}

int CDialog::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

BOOL CDialog::OnInitDialog() { return TRUE; }

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(int nID, int nCode, HWND hWndCtl) {
    if (nCode != BN_CLICKED) return FALSE;
    if (nID == IDOK) {
        OnOK();
        return TRUE;
    }
    if (nID == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

INT_PTR CDialog::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) { return FALSE; }

INT_PTR CALLBACK CDialog::DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INITDIALOG) {
        CDialog *pDialog = (CDialog *)lParam;
        if (!pDialog) return TRUE;
        pDialog->m_hWnd = hDlg;
        OpenDialogObjects()[hDlg] = pDialog;
        return pDialog->OnInitDialog();
    }
    std::map<HWND, CDialog *>::iterator it = OpenDialogObjects().find(hDlg);
    if (it == OpenDialogObjects().end()) return FALSE;
    CDialog *pDialog = it->second;
    if (uMsg == WM_COMMAND) return pDialog->OnCommand(LOWORD(wParam), HIWORD(wParam), (HWND)lParam);
    if (uMsg == WM_DESTROY) {
        INT_PTR result = pDialog->OnMessage(uMsg, wParam, lParam);
        OpenDialogObjects().erase(hDlg);
        return result;
    }
    return pDialog->OnMessage(uMsg, wParam, lParam);
}
