// Facts about a machine and the file-system chores of setup: name, domain,
// role, Windows version, drives, directory trees, and the product's hidden
// home share with its access list.
#ifndef QL_COMPUTER_H
#define QL_COMPUTER_H

#include "QlApi.h"
#include "afxstr.h"

class CComboBox;

// Name of the product's hidden home-directory share, and its remark.
#define QL_HOME_SHARE_NAME "Quillbak$"
#define QL_HOME_SHARE_REMARK "QuillbakIT System Directory"

class QL_API CComputer {
public:
    // This machine.
    CComputer();
    // The machine named (NetBIOS name without backslashes); NULL for this
    // machine. The facts are read once, here.
    explicit CComputer(LPCSTR lpszMachine);
    CComputer(const CComputer &other);
    CComputer &operator=(const CComputer &other);
    ~CComputer();

    const CString &Name() const { return m_strName; }
    const CString &Domain() const { return m_strDomain; }
    BOOL PrimaryDomainController() const { return m_bPrimaryDomainController; }
    BOOL BackupDomainController() const { return m_bBackupDomainController; }
    BOOL Server() const { return m_bServer; }
    BOOL IsLocal() const { return m_bLocal; }
    BOOL DomainController() const { return m_bPrimaryDomainController || m_bBackupDomainController; }

    // Adds to the combo box the names of the domains that the server (NULL:
    // this machine) sees as trusted: its own account domain, its primary
    // domain, then the domains trusted by that domain. 0, or 13 when the
    // name table cannot be allocated.
    int DisplayTrustedDomains(LPWSTR lpszServer, CComboBox *pComboBox);

    // ---- machine facts (an empty or NULL machine is this machine) ----------------
    static BOOL GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize);
    // Domain or workgroup of the machine into a buffer of at least 256 bytes.
    static BOOL GetDomain(LPSTR lpszBuffer, DWORD *pdwLength, LPCSTR lpszMachine);
    static BOOL IsPrimaryDomainController(LPCSTR lpszMachine);
    static BOOL IsBackupDomainController(LPCSTR lpszMachine);
    static BOOL IsLocalMachine(LPCSTR lpszMachine);
    // Major version of the Windows that setup runs on (the machine argument
    // is accepted for symmetry; the answer is this machine's).
    static DWORD GetNTVersion(LPCSTR lpszMachine = NULL);
    static BOOL IsNT4xOrLater(LPCSTR lpszMachine = NULL);
    static BOOL IsServer(LPCSTR lpszMachine);
    static BOOL IsWindows95(LPCSTR lpszMachine = NULL);
    // The branding library's verdict on the three numbers; FALSE when the
    // library or its export is missing.
    static int IsWindowsVersionOK(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3);

    // ---- drives and files ----------------------------------------------------------
    // Letter of the first fixed drive from A to Z; 'Z' when none is fixed
    // (callers check that the drive is fixed before building paths on it).
    static char FindFirstHardDrive();
    // Free bytes of the path's drive, saturated at 0xFFFFFFFF; 0 on failure.
    static DWORD DriveFreeSpaceBytes(LPCSTR lpszPath);
    static UINT GetDriveTypeA(LPCSTR lpszPath);
    // TRUE when something can be found in the directory.
    static BOOL DirectoryExists(LPCSTR lpszDirectory);
    // Creates every missing level of the path; TRUE when all exist afterwards.
    static BOOL CreateDirectoryA(LPCSTR lpszPath, int nUnused = 0);
    static BOOL ChangeDirectory(LPCSTR lpszPath);
    static BOOL RemoveDirectoryA(LPCSTR lpszPath);
    // Shares the directory as "Quillbak$" with its access list: the account
    // (looked up on lpszSystem) full, Administrators full, Backup Operators
    // change, Everyone read. FALSE when the share or its list is not in place.
    static BOOL CreateQuillbakHomeShare(LPCSTR lpszPath, LPCSTR lpszSystem, LPCSTR lpszAccount);
    // The network status of deleting "Quillbak$" (0 = deleted).
    static DWORD DeleteQuillbakHomeShare();
    // Deletes the directory with everything below it. FALSE when anything
    // stays behind, and for an empty path or a drive root, which it never
    // touches.
    static BOOL DeleteTree(LPCSTR lpszDirectory);
    // Deletes the files of the directory that match the pattern (not
    // subdirectories). FALSE only for an empty path or a drive root.
    static BOOL DeleteFiles(LPCSTR lpszDirectory, LPCSTR lpszPattern);
    // TRUE when the path names an existing file or directory.
    static BOOL PathExists(LPCSTR lpszPath);
    // TRUE when no entry but "." and ".." matches directory + pattern
    // ("*.*" when the pattern is NULL), or the directory does not exist.
    static BOOL PathEmpty(LPCSTR lpszDirectory, LPCSTR lpszPattern);

private:
    CString m_strName;
    CString m_strUnused;
    CString m_strDomain;
    int m_bPrimaryDomainController;
    int m_bBackupDomainController;
    int m_bServer;
    int m_bLocal;
    DWORD m_dwNTVersion;

    void Construct(LPCSTR lpszMachine);
};

#endif
