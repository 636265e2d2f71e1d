#include "dialogs/RemoteCustomDlg.h"

#include "resource.h"

CRemoteCustomDlg::CRemoteCustomDlg(CDialog *pParent, CSetupIcf *pIcf)
    : CDialog(IDD_REMOTE_CUSTOM, pParent),
      m_bManager(1),
      m_bServer(0),
      m_bServerAdmin(0),
      m_bAlert(0),
      m_bDataMigration(0),
      m_pIcf(pIcf) {}

unsigned long CRemoteCustomDlg::TotalSpace() const {
    unsigned long total = m_bManager ? SPACE_MANAGER : SPACE_ALWAYS;
    if (m_bServer) total += SPACE_SERVER;
    if (m_bServerAdmin) total += SPACE_SERVER_ADMIN;
    if (m_bAlert) total += SPACE_ALERT;
    if (m_bDataMigration) total += SPACE_DATA_MIGRATION;
    return total;
}

void CRemoteCustomDlg::ReadBoxes() {
    // The Manager is always installed: its box is disabled, and one that
    // could not be checked must not drop it from the file.
    m_bManager = 1;
    m_bServer = IsDlgButtonChecked(IDC_SERVER) == BST_CHECKED;
    m_bServerAdmin = IsDlgButtonChecked(IDC_SERVER_ADMIN) == BST_CHECKED;
    m_bAlert = IsDlgButtonChecked(IDC_ALERT) == BST_CHECKED;
    m_bDataMigration = IsDlgButtonChecked(IDC_DATA_MIGRATION) == BST_CHECKED;
}

void CRemoteCustomDlg::ShowTotal() {
    ReadBoxes();
    CString strTotal;
    strTotal.Format("%lu", TotalSpace());
    SetDlgItemText(IDC_TOTAL_SPACE, strTotal);
}

BOOL CRemoteCustomDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The Manager is always installed; the Data Migration Option is not offered here.
    CheckDlgButton(IDC_MANAGER, BST_CHECKED);
    EnableDlgItem(IDC_MANAGER, FALSE);
    if (m_pIcf) {
        CheckDlgButton(IDC_SERVER, m_pIcf->InstallServer() ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(IDC_SERVER_ADMIN, m_pIcf->InstallAdmin() ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(IDC_ALERT, m_pIcf->InstallAlert() ? BST_CHECKED : BST_UNCHECKED);
    }
    CheckDlgButton(IDC_DATA_MIGRATION, BST_UNCHECKED);
    EnableDlgItem(IDC_DATA_MIGRATION, FALSE);
    ShowTotal();
    return TRUE;
}

BOOL CRemoteCustomDlg::OnCommand(int nID, int nCode, HWND hWndCtl) {
    if (nCode == BN_CLICKED && (nID == IDC_MANAGER || nID == IDC_SERVER || nID == IDC_SERVER_ADMIN ||
                                nID == IDC_ALERT || nID == IDC_DATA_MIGRATION)) {
        ShowTotal();
        return TRUE;
    }
    return CDialog::OnCommand(nID, nCode, hWndCtl);
}

void CRemoteCustomDlg::OnOK() {
    ReadBoxes();
    if (m_pIcf) {
        m_pIcf->InstallManager(m_bManager);
        m_pIcf->InstallServer(m_bServer);
        m_pIcf->InstallAdmin(m_bServerAdmin);
        m_pIcf->InstallAlert(m_bAlert);
        m_pIcf->InstallHSM(m_bDataMigration);
        m_pIcf->InstallPNR(0);
    }
    CDialog::OnOK();
}
