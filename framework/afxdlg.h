// The framework's modal dialog: a dialog template of the library, a dialog
// procedure that hands the messages to virtual handlers, and access to the
// controls by id. Subclasses read and write their controls themselves in
// OnInitDialog and OnOK.
#ifndef QL_AFXDLG_H
#define QL_AFXDLG_H

#include "afxver.h"  // windows.h
#include "afxstr.h"

class CDialog {
public:
    // The template is looked up in AfxGetResourceHandle(), the library.
    explicit CDialog(UINT nIDTemplate, HWND hWndParent = NULL);
    CDialog(UINT nIDTemplate, CDialog *pParent);
    virtual ~CDialog();

    // Runs the dialog; IDOK, IDCANCEL (or what EndDialog was given), or -1
    // when the dialog could not be made.
    INT_PTR DoModal();
    void EndDialog(int nResult);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetParentHwnd() const { return m_hWndParent; }
    UINT GetTemplateId() const { return m_nIDTemplate; }

    // ---- controls by id ----
    HWND GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, LPCSTR lpszText);
    // The whole text of the control (empty when there is none).
    CString GetDlgItemText(int nID) const;
    void CheckDlgButton(int nID, UINT nCheck);
    UINT IsDlgButtonChecked(int nID) const;
    void EnableDlgItem(int nID, BOOL bEnable);
    void ShowDlgItem(int nID, BOOL bShow);
    void GotoDlgCtrl(int nID);
    // EM_LIMITTEXT on an edit control.
    void LimitText(int nID, int nChars);
    // A message box over the dialog.
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType);

protected:
    // TRUE: the dialog manager focuses the first control; FALSE: the
    // handler set the focus itself.
    virtual BOOL OnInitDialog();
    virtual void OnOK();      // ends the dialog with IDOK
    virtual void OnCancel();  // ends the dialog with IDCANCEL
    // Commands of the controls (WM_COMMAND); TRUE when handled. The default
    // sends IDOK and IDCANCEL to OnOK and OnCancel.
    virtual BOOL OnCommand(int nID, int nCode, HWND hWndCtl);
    // Any other message; FALSE leaves it to the default handling.
    virtual INT_PTR OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd;
    HWND m_hWndParent;
    UINT m_nIDTemplate;

private:
    CDialog(const CDialog &);
    CDialog &operator=(const CDialog &);
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
};

#endif
