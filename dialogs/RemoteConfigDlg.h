// The remote installation configuration of a target machine: the drive
// share and folder of the product, the type of installation and the
// service account, written into the target's installation configuration
// file for the unattended setup that runs there.
#ifndef QL_REMOTECONFIGDLG_H
#define QL_REMOTECONFIGDLG_H

#include "afxdlg.h"
#include "afxcombo.h"
#include "settings/SetupIcf.h"

class CRemoteConfigDlg : public CDialog {
public:
    // bInstalled and lpszHomePath come from the front end's product record:
    // whether the product is registered on the target, and its folder there.
    // lpszMachine: the target's name (NULL or empty: nothing is filled in).
    // lpszIcfPath: the configuration file the choices are written to.
    CRemoteConfigDlg(HWND hWndParent, int bInstalled, LPCSTR lpszHomePath, LPCSTR lpszMachine, LPCSTR lpszIcfPath);

    enum { INSTALL_COMPLETE = 11, INSTALL_CUSTOM = 21 };
    enum { OUTCOME_WRITTEN = 0, OUTCOME_NOT_WRITTEN = 1, OUTCOME_CANCELLED = 2 };
    // Characters a folder may have below its share.
    enum { FOLDER_LIMIT = 257 };

    // The type the next dialog of this process starts with: the last one
    // confirmed, complete at first.
    static int &LastInstallType();

    int m_nOutcome;
    int m_nInstallType;
    CString m_strMachine;
    CString m_strIcfPath;
    CSetupIcf m_Icf;
    // The paths formed by the last confirmation.
    CString m_strProductPath;
    CString m_strAlertPath;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(int nID, int nCode, HWND hWndCtl) override;

private:
    void FillShares();
    CString ProposedProductPath();
    void ShowPath(LPCSTR lpszPath, int nShareId, int nFolderId);
    void SetType(int nType);
    // Reads a folder control; FALSE (after telling the user) when it is empty
    // or holds a character no path may have.
    BOOL ReadFolder(int nId, CString &strFolder);
    // "D:\folder\" from the share list's selection; FALSE when there is no drive.
    BOOL FormPath(int nShareId, const CString &strFolder, CString &strPath);
    int Alert(UINT nIdText, UINT nType);

    int m_bInstalled;
    CString m_strHomePath;
    CComboBox m_ProductShare;
    CComboBox m_AlertShare;
};

#endif
