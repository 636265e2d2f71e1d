// The service account that setup on a remote target is to use: the domain,
// user and password kept in the target's installation configuration file.
#ifndef QL_REMOTEACCOUNTDLG_H
#define QL_REMOTEACCOUNTDLG_H

#include "afxdlg.h"
#include "settings/SetupIcf.h"

class CRemoteAccountDlg : public CDialog {
public:
    CRemoteAccountDlg(CDialog *pParent, CSetupIcf *pIcf);

    // Set by the opener before DoModal: the target machine, shown read-only.
    CString m_strServerName;
    // What the controls held when the dialog was confirmed.
    CString m_strDomain;
    CString m_strUser;
    CString m_strPassword;

    // Each field takes at most this many characters.
    enum { FIELD_LIMIT = 48 };

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CSetupIcf *m_pIcf;
};

#endif
