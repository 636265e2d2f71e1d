#include "dialogs/RemoteAccountDlg.h"

#include "resource.h"

CRemoteAccountDlg::CRemoteAccountDlg(CDialog *pParent, CSetupIcf *pIcf)
    : CDialog(IDD_REMOTE_ACCOUNT, pParent), m_pIcf(pIcf) {}

BOOL CRemoteAccountDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_pIcf) {
        m_strDomain = m_pIcf->SystemAccountDomain();
        m_strUser = m_pIcf->SystemAccountUser();
        m_strPassword = m_pIcf->SystemAccountPassword();
    }
    SetDlgItemText(IDC_SERVER_NAME, m_strServerName);
    SetDlgItemText(IDC_ACCOUNT_DOMAIN, m_strDomain);
    SetDlgItemText(IDC_ACCOUNT_USER, m_strUser);
    SetDlgItemText(IDC_ACCOUNT_PASSWORD, m_strPassword);
    LimitText(IDC_ACCOUNT_DOMAIN, FIELD_LIMIT);
    LimitText(IDC_ACCOUNT_USER, FIELD_LIMIT);
    LimitText(IDC_ACCOUNT_PASSWORD, FIELD_LIMIT);
    return TRUE;
}

void CRemoteAccountDlg::OnOK() {
    m_strDomain = GetDlgItemText(IDC_ACCOUNT_DOMAIN);
    m_strUser = GetDlgItemText(IDC_ACCOUNT_USER);
    m_strPassword = GetDlgItemText(IDC_ACCOUNT_PASSWORD);
    // "\name" names no account: the domain goes in its own field.
    if (!m_strUser.IsEmpty() && m_strUser[0] == '\\') {
        CString strText, strCaption;
        strText.LoadString(IDS_INVALID_USER_NAME);
        strCaption.LoadString(IDS_REMOTE_SETUP_CAPTION);
        MessageBox(strText, strCaption, MB_OK | MB_ICONEXCLAMATION);
        GotoDlgCtrl(IDC_ACCOUNT_USER);
        return;
    }
    if (m_pIcf) {
        m_pIcf->SystemAccountDomain(m_strDomain);
        m_pIcf->SystemAccountUser(m_strUser);
        m_pIcf->SystemAccountPassword(m_strPassword);
    }
    CDialog::OnOK();
}
