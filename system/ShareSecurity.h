// The access list of a network share, kept as a private object security
// descriptor: entries are added and removed through an absolute copy of
// its parts, and the descriptor is handed to the share functions.
#ifndef QL_SHARESECURITY_H
#define QL_SHARESECURITY_H

#include <windows.h>
#include <lm.h>

// Share rights: full control, change, read.
#define QL_SHARE_FULL 0x1F01FF
#define QL_SHARE_CHANGE 0x1301BF
#define QL_SHARE_READ 0x1200A9

// A security descriptor in parts (descriptor, DACL, SACL, owner, group),
// written back by Commit and read by Load.
class CSecurityObject {
public:
    CSecurityObject();
    virtual ~CSecurityObject();

    virtual BOOL Commit() = 0;
    virtual BOOL Load() = 0;

    DWORD LastError() const { return m_dwLastError; }

protected:
    virtual BOOL StoreSecurity() = 0;
    virtual BOOL ReadSecurity() = 0;

    void FreeParts();
    // Records the thread's last error and fails.
    BOOL Failed();

    PSECURITY_DESCRIPTOR m_pSD;
    PACL m_pDacl;
    PACL m_pSacl;
    PSID m_pOwner;
    PSID m_pGroup;
    DWORD m_dwLastError;

private:
    CSecurityObject(const CSecurityObject &);
    CSecurityObject &operator=(const CSecurityObject &);
};

// The parts stored in and read from a private object security descriptor.
class CPrivateSecurityObject : public CSecurityObject {
public:
    CPrivateSecurityObject();
    ~CPrivateSecurityObject();

    PSECURITY_DESCRIPTOR PrivateDescriptor() const { return m_pPrivateSD; }

protected:
    BOOL StoreSecurity();
    BOOL ReadSecurity();

    HANDLE m_hToken;
    PSECURITY_DESCRIPTOR m_pPrivateSD;
    GENERIC_MAPPING m_Mapping;
};

class CShareSecurity : public CPrivateSecurityObject {
public:
    // Starts from a DACL of one entry for Everyone with no rights.
    CShareSecurity();
    ~CShareSecurity();

    BOOL Commit();
    BOOL Load();

    // Creates the share (deleting one of that name first) with the
    // descriptor as it stands; TRUE when the share exists afterwards.
    // lpszServer is used only when bUseServer is set.
    BOOL CreateShare(LPWSTR lpszNetName, LPWSTR lpszPath, LPWSTR lpszRemark, LPWSTR lpszServer, BOOL bUseServer);
    // Adds an entry for the SID (access-denied entries go first, allowed
    // entries last), with the rights mapped through the share mapping.
    BOOL AddEntry(PSID pSid, DWORD dwMask, BOOL bAllow = TRUE);
    // The same for an account name looked up on lpszSystem (NULL or empty:
    // this machine).
    BOOL AddEntry(LPCSTR lpszSystem, LPCSTR lpszAccount, DWORD dwMask, BOOL bAllow = TRUE);
    // Removes the first entry of the SID; FALSE with last error 1314 when
    // there is none.
    BOOL RemoveEntry(PSID pSid);

    SHARE_INFO_502 m_ShareInfo;

private:
    BOOL SetPrivilege(LPCSTR lpszPrivilege, BOOL bEnable);
    // Replaces the DACL of the parts and commits.
    BOOL ReplaceDacl(PACL pNewDacl);
};

#endif
