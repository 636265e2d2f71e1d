#include "dialogs/RemoteConfigDlg.h"

#include "dialogs/RemoteAccountDlg.h"
#include "dialogs/RemoteCustomDlg.h"
#include "resource.h"
#include "settings/Settings.h"
#include "system/QLRemote.h"

namespace {

// No Windows path may hold these; the double quote would end the value in
// the configuration file early.
const char kBadPathChars[] = "/:*?<>|\"";

const char kDefaultProductPath[] = "C:\\Program Files\\Veltmark\\Quillbak\\";

// Splits "D:\Apps\Quillbak\" into "D" and "Apps\Quillbak".
void SplitPath(const CString &strPath, CString &strDrive, CString &strFolder) {
    strDrive.Empty();
    strFolder = strPath;
    if (strPath.GetLength() >= 2 && strPath[1] == ':' && !IsDBCSLeadByte((BYTE)strPath[0])) {
        strDrive = strPath.Left(1);
        strFolder = strPath.Mid(2);
    }
    strFolder.TrimLeft('\\');
    strFolder.TrimRight('\\');
}

}  // namespace

int &CRemoteConfigDlg::LastInstallType() {
    static int nType = INSTALL_COMPLETE;
    return nType;
}

CRemoteConfigDlg::CRemoteConfigDlg(HWND hWndParent, int bInstalled, LPCSTR lpszHomePath, LPCSTR lpszMachine,
                                   LPCSTR lpszIcfPath)
    : CDialog(IDD_REMOTE_CONFIG, hWndParent),
      m_nOutcome(OUTCOME_NOT_WRITTEN),
      m_nInstallType(LastInstallType()),
      m_strMachine(lpszMachine),
      m_strIcfPath(lpszIcfPath),
      m_Icf(lpszIcfPath),
      m_bInstalled(bInstalled),
      m_strHomePath(lpszHomePath) {}

int CRemoteConfigDlg::Alert(UINT nIdText, UINT nType) {
    CString strText, strCaption;
    strText.LoadString(nIdText);
    strCaption.LoadString(IDS_REMOTE_SETUP_CAPTION);
    return MessageBox(strText, strCaption, nType);
}

void CRemoteConfigDlg::FillShares() {
    CQLRemote remote(m_strMachine, "Administrator", "");
    // A failed enumeration leaves the lists empty: the user can still type a folder.
    remote.EnumerateShares(&m_ProductShare);
    CString strShare;
    for (int i = 0; i < m_ProductShare.GetCount(); ++i) {
        m_ProductShare.GetLBText(i, strShare);
        m_AlertShare.AddString(strShare);
    }
}

CString CRemoteConfigDlg::ProposedProductPath() {
    CString strPath = m_Icf.QuillbakPath();
    if (!strPath.IsEmpty()) {
        AppendBackSlash(strPath);
        return strPath;
    }
    // The target's own Program Files folder, when its registry can be read.
    CQLRemote remote(m_strMachine, "Administrator", "");
    HKEY hMachine = remote.GetMachineRegKey();
    if (hMachine) {
        HKEY hKey;
        if (RegOpenKeyExA(hMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &hKey) ==
            ERROR_SUCCESS) {
            char szDir[MAX_PATH];
            DWORD dwSize = sizeof szDir, dwType = 0;
            if (RegQueryValueExA(hKey, "ProgramFilesDir", NULL, &dwType, (LPBYTE)szDir, &dwSize) == ERROR_SUCCESS &&
                (dwType == REG_SZ || dwType == REG_EXPAND_SZ) && dwSize > 0) {
                szDir[sizeof szDir - 1] = '\0';
                if (szDir[0]) strPath.Format("%s\\Veltmark\\Quillbak\\", szDir);
            }
            RegCloseKey(hKey);
        }
    }
    remote.Disconnect();
    if (strPath.IsEmpty()) strPath = kDefaultProductPath;
    return strPath;
}

void CRemoteConfigDlg::ShowPath(LPCSTR lpszPath, int nShareId, int nFolderId) {
    CString strDrive, strFolder;
    SplitPath(lpszPath, strDrive, strFolder);
    SetDlgItemText(nFolderId, strFolder);
    LimitText(nFolderId, FOLDER_LIMIT);
    CComboBox box(GetDlgItem(nShareId));
    int nIndex = box.FindStringExact(-1, strDrive + "$");
    if (!strDrive.IsEmpty() && nIndex != CB_ERR) box.SetCurSel(nIndex);
}

void CRemoteConfigDlg::SetType(int nType) {
    CheckDlgButton(IDC_COMPLETE, nType == INSTALL_COMPLETE ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_CUSTOM, nType == INSTALL_COMPLETE ? BST_UNCHECKED : BST_CHECKED);
    EnableDlgItem(IDC_CUSTOM_DETAILS, nType != INSTALL_COMPLETE);
}

BOOL CRemoteConfigDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_strMachine.IsEmpty()) return TRUE;
    m_ProductShare.m_hWnd = GetDlgItem(IDC_PRODUCT_SHARE);
    m_AlertShare.m_hWnd = GetDlgItem(IDC_ALERT_SHARE);
    SetDlgItemText(IDC_COMPUTER_NAME, m_strMachine);
    FillShares();
    ShowPath(ProposedProductPath(), IDC_PRODUCT_SHARE, IDC_PRODUCT_FOLDER);
    GotoDlgCtrl(IDC_PRODUCT_FOLDER);
    // The alert folder is not shown: an empty one could never be corrected,
    // so a file without it (or no file yet) gets the usual default.
    CString strAlert = m_Icf.AlertPath();
    if (strAlert.IsEmpty()) strAlert = CSetupIcf::DefaultAlertPath();
    AppendBackSlash(strAlert);
    ShowPath(strAlert, IDC_ALERT_SHARE, IDC_ALERT_FOLDER);
    SetType(m_nInstallType);
    return FALSE;  // the focus is on the folder
}

BOOL CRemoteConfigDlg::OnCommand(int nID, int nCode, HWND hWndCtl) {
    switch (nID) {
    case IDC_COMPLETE:
    case IDC_CUSTOM:
        if (nCode != BN_CLICKED) return FALSE;
        SetType(nID == IDC_COMPLETE ? INSTALL_COMPLETE : INSTALL_CUSTOM);
        return TRUE;
    case IDC_PRODUCT_FOLDER:
    case IDC_ALERT_FOLDER:
        if (nCode != EN_CHANGE) return FALSE;
        EnableDlgItem(IDOK, !GetDlgItemText(IDC_PRODUCT_FOLDER).IsEmpty());
        return TRUE;
    case IDC_CUSTOM_DETAILS:
        if (nCode != BN_CLICKED) return FALSE;
        {
            CRemoteCustomDlg dlg(this, &m_Icf);
            dlg.DoModal();
        }
        return TRUE;
    case IDC_ACCOUNT_DETAILS:
        if (nCode != BN_CLICKED) return FALSE;
        {
            CRemoteAccountDlg dlg(this, &m_Icf);
            dlg.m_strServerName = m_strMachine;
            dlg.DoModal();
        }
        return TRUE;
    default:
        return CDialog::OnCommand(nID, nCode, hWndCtl);
    }
}

BOOL CRemoteConfigDlg::ReadFolder(int nId, CString &strFolder) {
    strFolder = GetDlgItemText(nId);
    if (strFolder.IsEmpty()) {
        Alert(IDS_ENTER_DIRECTORY_NAME, MB_OK | MB_ICONEXCLAMATION);
        GotoDlgCtrl(nId);
        return FALSE;
    }
    if (strFolder.FindOneOf(kBadPathChars) >= 0) {
        CString strText, strCaption;
        strText.LoadString(IDS_PATH_INVALID_CHARS);
        strText.Replace("%1", kBadPathChars);
        strCaption.LoadString(IDS_REMOTE_SETUP_CAPTION);
        MessageBox(strText, strCaption, MB_OK | MB_ICONSTOP);
        return FALSE;
    }
    AppendBackSlash(strFolder);
    return TRUE;
}

BOOL CRemoteConfigDlg::FormPath(int nShareId, const CString &strFolder, CString &strPath) {
    CComboBox box(GetDlgItem(nShareId));
    CString strShare;
    box.GetWindowText(strShare);
    // "D$" gives the drive letter; a one-letter text stands for itself.
    CString strDrive = strShare.GetLength() > 1 ? strShare.Left(1) : strShare;
    if (strDrive.IsEmpty()) return FALSE;
    strPath.Format("%s:\\%s", (LPCSTR)strDrive, (LPCSTR)strFolder);
    return TRUE;
}

void CRemoteConfigDlg::OnOK() {
    CString strProductFolder, strAlertFolder;
    if (!ReadFolder(IDC_PRODUCT_FOLDER, strProductFolder)) return;
    if (!ReadFolder(IDC_ALERT_FOLDER, strAlertFolder)) return;
    CString strProductPath, strAlertPath;
    // Without a drive the path would be ":\folder": ask for one.
    if (!FormPath(IDC_PRODUCT_SHARE, strProductFolder, strProductPath)) {
        Alert(IDS_SELECT_DRIVE, MB_OK | MB_ICONEXCLAMATION);
        GotoDlgCtrl(IDC_PRODUCT_SHARE);
        return;
    }
    // The alert share is not shown: without one of its own it goes on the product's drive.
    if (!FormPath(IDC_ALERT_SHARE, strAlertFolder, strAlertPath))
        strAlertPath.Format("%s%s", (LPCSTR)strProductPath.Left(3), (LPCSTR)strAlertFolder);
    // Setup on the target reads the paths into buffers of MAX_PATH characters.
    if (strProductPath.GetLength() >= MAX_PATH || strAlertPath.GetLength() >= MAX_PATH) {
        Alert(IDS_DIRECTORY_TOO_LONG, MB_OK | MB_ICONEXCLAMATION);
        GotoDlgCtrl(IDC_PRODUCT_FOLDER);
        return;
    }
    // Only a Yes moves an installed copy: a question that could not be asked
    // got no answer.
    if (m_bInstalled && strProductPath.CompareNoCase(m_strHomePath) != 0 &&
        Alert(IDS_REMOTE_COPY_EXISTS, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    m_strProductPath = strProductPath;
    m_strAlertPath = strAlertPath;
    int bProductWritten = m_Icf.QuillbakPath(strProductPath);
    int bAlertWritten = bProductWritten ? m_Icf.AlertPath(strAlertPath) : FALSE;
    m_nInstallType = IsDlgButtonChecked(IDC_COMPLETE) == BST_CHECKED ? INSTALL_COMPLETE : INSTALL_CUSTOM;
    LastInstallType() = m_nInstallType;
    m_nOutcome = bProductWritten && bAlertWritten ? OUTCOME_WRITTEN : OUTCOME_NOT_WRITTEN;
    CDialog::OnOK();
}

void CRemoteConfigDlg::OnCancel() {
    m_nOutcome = OUTCOME_CANCELLED;
    CDialog::OnCancel();
}
