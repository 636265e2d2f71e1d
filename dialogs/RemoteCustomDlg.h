// The components of a custom remote installation and the disk space they
// need, kept in the target's installation configuration file.
#ifndef QL_REMOTECUSTOMDLG_H
#define QL_REMOTECUSTOMDLG_H

#include "afxdlg.h"
#include "settings/SetupIcf.h"

class CRemoteCustomDlg : public CDialog {
public:
    CRemoteCustomDlg(CDialog *pParent, CSetupIcf *pIcf);

    // The check boxes, as last read.
    int m_bManager;
    int m_bServer;
    int m_bServerAdmin;
    int m_bAlert;
    int m_bDataMigration;

    // Kilobytes each component needs; the Manager's smaller figure is the
    // part that is always installed.
    enum {
        SPACE_MANAGER = 22800,
        SPACE_ALWAYS = 9800,
        SPACE_SERVER = 12300,
        SPACE_SERVER_ADMIN = 700,
        SPACE_ALERT = 2000,
        SPACE_DATA_MIGRATION = 0
    };
    // The total for the components as last read.
    unsigned long TotalSpace() const;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCommand(int nID, int nCode, HWND hWndCtl) override;

private:
    void ReadBoxes();
    void ShowTotal();
    CSetupIcf *m_pIcf;
};

#endif
