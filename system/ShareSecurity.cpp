#include "ShareSecurity.h"

#include <cstring>

namespace {

void *AllocPart(DWORD size) { return size ? LocalAlloc(LPTR, size) : NULL; }

void FreePart(void *p) {
    if (p) LocalFree(p);
}

// Adds a copy of an access-allowed or access-denied entry to the ACL.
BOOL CopyEntry(PACL pAcl, const ACE_HEADER *ace) {
    const ACCESS_ALLOWED_ACE *entry = (const ACCESS_ALLOWED_ACE *)ace;
    PSID sid = (PSID)&entry->SidStart;
    if (ace->AceType == ACCESS_ALLOWED_ACE_TYPE) return AddAccessAllowedAce(pAcl, ACL_REVISION, entry->Mask, sid);
    if (ace->AceType == ACCESS_DENIED_ACE_TYPE) return AddAccessDeniedAce(pAcl, ACL_REVISION, entry->Mask, sid);
    SetLastError(ERROR_INVALID_ACL);
    return FALSE;
}

DWORD EntrySize(PSID pSid) { return sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(pSid); }

}  // namespace

// ---- the parts ----------------------------------------------------------------------------
CSecurityObject::CSecurityObject()
    : m_pSD(NULL), m_pDacl(NULL), m_pSacl(NULL), m_pOwner(NULL), m_pGroup(NULL), m_dwLastError(0) {}

CSecurityObject::~CSecurityObject() { FreeParts(); }

void CSecurityObject::FreeParts() {
    FreePart(m_pSD);
    FreePart(m_pDacl);
    FreePart(m_pSacl);
    FreePart(m_pOwner);
    FreePart(m_pGroup);
    m_pSD = NULL;
    m_pDacl = NULL;
    m_pSacl = NULL;
    m_pOwner = NULL;
    m_pGroup = NULL;
}

BOOL CSecurityObject::Failed() {
    m_dwLastError = GetLastError();
    return FALSE;
}

// ---- private object layer ------------------------------------------------------------------
CPrivateSecurityObject::CPrivateSecurityObject() : m_hToken(NULL), m_pPrivateSD(NULL) {
    m_Mapping.GenericRead = QL_SHARE_READ;
    m_Mapping.GenericWrite = QL_SHARE_CHANGE;
    m_Mapping.GenericExecute = 0x20000;
    m_Mapping.GenericAll = QL_SHARE_FULL;
}

CPrivateSecurityObject::~CPrivateSecurityObject() {
    if (m_pPrivateSD) DestroyPrivateObjectSecurity(&m_pPrivateSD);
    if (m_hToken) CloseHandle(m_hToken);
}

BOOL CPrivateSecurityObject::StoreSecurity() {
    if (!m_pSD) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return Failed();
    }
    BOOL ok = SetPrivateObjectSecurity(DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION, m_pSD, &m_pPrivateSD,
                                       &m_Mapping, m_hToken);
    if (!ok) Failed();
    FreeParts();
    return ok;
}

BOOL CPrivateSecurityObject::ReadSecurity() {
    const SECURITY_INFORMATION parts = DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    if (GetPrivateObjectSecurity(m_pPrivateSD, parts, NULL, 0, &needed) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return Failed();
    PSECURITY_DESCRIPTOR relative = AllocPart(needed);
    if (!relative) return Failed();
    if (!GetPrivateObjectSecurity(m_pPrivateSD, parts, relative, needed, &needed)) {
        Failed();
        FreePart(relative);
        return FALSE;
    }

    FreeParts();
    DWORD sdSize = 0, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
    if (MakeAbsoluteSD(relative, NULL, &sdSize, NULL, &daclSize, NULL, &saclSize, NULL, &ownerSize, NULL,
                       &groupSize) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        Failed();
        FreePart(relative);
        return FALSE;
    }
    m_pSD = AllocPart(sdSize);
    m_pDacl = (PACL)AllocPart(daclSize);
    m_pSacl = (PACL)AllocPart(saclSize);
    m_pOwner = AllocPart(ownerSize);
    m_pGroup = AllocPart(groupSize);
    BOOL ok = m_pSD && (m_pDacl || !daclSize) && (m_pSacl || !saclSize) && (m_pOwner || !ownerSize) &&
              (m_pGroup || !groupSize) &&
              MakeAbsoluteSD(relative, m_pSD, &sdSize, m_pDacl, &daclSize, m_pSacl, &saclSize, m_pOwner, &ownerSize,
                             m_pGroup, &groupSize);
    if (!ok) {
        Failed();
        FreeParts();
    }
    FreePart(relative);
    return ok;
}

// ---- share layer -----------------------------------------------------------------------------
CShareSecurity::CShareSecurity() {
    memset(&m_ShareInfo, 0, sizeof m_ShareInfo);

    // Base descriptor: Everyone, no rights.
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = NULL;
    PACL acl = NULL;
    SECURITY_DESCRIPTOR base;
    BOOL ok = AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    if (ok) {
        DWORD size = sizeof(ACL) + EntrySize(everyone);
        acl = (PACL)AllocPart(size);
        ok = acl && InitializeAcl(acl, size, ACL_REVISION) && AddAccessAllowedAce(acl, ACL_REVISION, 0, everyone) &&
             InitializeSecurityDescriptor(&base, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorDacl(&base, TRUE, acl, FALSE);
    }
    if (!ok) Failed();

    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &m_hToken)) {
        m_hToken = NULL;
        Failed();
    }
    SetPrivilege(SE_SECURITY_NAME, TRUE);
    if (ok && !CreatePrivateObjectSecurity(NULL, &base, &m_pPrivateSD, FALSE, m_hToken, &m_Mapping)) {
        m_pPrivateSD = NULL;
        Failed();
    }
    SetPrivilege(SE_SECURITY_NAME, FALSE);

    FreePart(acl);
    if (everyone) FreeSid(everyone);
}

CShareSecurity::~CShareSecurity() {}

BOOL CShareSecurity::Commit() { return StoreSecurity(); }

BOOL CShareSecurity::Load() { return ReadSecurity(); }

// Any error, including privileges not all assigned, counts as failure.
BOOL CShareSecurity::SetPrivilege(LPCSTR lpszPrivilege, BOOL bEnable) {
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = bEnable ? SE_PRIVILEGE_ENABLED : 0;
    if (!m_hToken || !LookupPrivilegeValueA(NULL, lpszPrivilege, &tp.Privileges[0].Luid)) return Failed();
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(m_hToken, FALSE, &tp, sizeof tp, NULL, NULL) || GetLastError() != ERROR_SUCCESS)
        return Failed();
    return TRUE;
}

BOOL CShareSecurity::CreateShare(LPWSTR lpszNetName, LPWSTR lpszPath, LPWSTR lpszRemark, LPWSTR lpszServer,
                                 BOOL bUseServer) {
    LPWSTR server = bUseServer ? lpszServer : NULL;
    m_ShareInfo.shi502_netname = lpszNetName;
    m_ShareInfo.shi502_type = STYPE_DISKTREE;
    m_ShareInfo.shi502_remark = lpszRemark;
    m_ShareInfo.shi502_permissions = ACCESS_CREATE;
    m_ShareInfo.shi502_max_uses = (DWORD)-1;
    m_ShareInfo.shi502_current_uses = 0;
    m_ShareInfo.shi502_path = lpszPath;
    m_ShareInfo.shi502_passwd = NULL;

    LPBYTE existing = NULL;
    if (NetShareGetInfo(server, lpszNetName, 502, &existing) == NERR_Success) NetApiBufferFree(existing);
    NetShareDel(server, lpszNetName, 0);

    Load();
    m_ShareInfo.shi502_security_descriptor = m_pPrivateSD;
    if (!m_pPrivateSD) return FALSE;

    // The share is created with its descriptor in the same call, so it is
    // never open to everyone, not even for a moment.
    DWORD parmErr = 0;
    NET_API_STATUS status = NetShareAdd(server, 502, (LPBYTE)&m_ShareInfo, &parmErr);
    if (status != NERR_Success) {
        m_dwLastError = status;
        return FALSE;
    }
    SHARE_INFO_1501 security;
    security.shi1501_reserved = 0;
    security.shi1501_security_descriptor = m_pPrivateSD;
    status = NetShareSetInfo(server, lpszNetName, 1501, (LPBYTE)&security, &parmErr);
    if (status != NERR_Success) {
        // Whatever the share holds now is not the descriptor meant for it.
        m_dwLastError = status;
        NetShareDel(server, lpszNetName, 0);
        return FALSE;
    }

    LPBYTE created = NULL;
    status = NetShareGetInfo(server, lpszNetName, 502, &created);
    if (status != NERR_Success) {
        m_dwLastError = status;
        return FALSE;
    }
    NetApiBufferFree(created);
    return TRUE;
}

// Takes the new DACL over: it is freed on every failure.
BOOL CShareSecurity::ReplaceDacl(PACL pNewDacl) {
    if (!IsValidAcl(pNewDacl) || !IsValidSecurityDescriptor(m_pSD)) {
        Failed();
        FreePart(pNewDacl);
        return FALSE;
    }
    BOOL saclPresent = FALSE, saclDefaulted = FALSE, ownerDefaulted = FALSE, groupDefaulted = FALSE;
    PACL sacl = NULL;
    PSID owner = NULL, group = NULL;
    PSECURITY_DESCRIPTOR sd = AllocPart(sizeof(SECURITY_DESCRIPTOR));
    if (!sd || !GetSecurityDescriptorSacl(m_pSD, &saclPresent, &sacl, &saclDefaulted) ||
        !GetSecurityDescriptorOwner(m_pSD, &owner, &ownerDefaulted) ||
        !GetSecurityDescriptorGroup(m_pSD, &group, &groupDefaulted) ||
        !InitializeSecurityDescriptor(sd, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(sd, TRUE, pNewDacl, FALSE) ||
        !SetSecurityDescriptorSacl(sd, saclPresent, sacl, saclDefaulted) ||
        !SetSecurityDescriptorOwner(sd, owner, ownerDefaulted) ||
        !SetSecurityDescriptorGroup(sd, group, groupDefaulted)) {
        Failed();
        FreePart(sd);
        FreePart(pNewDacl);
        return FALSE;
    }
    // The SACL, owner and group parts stay; the descriptor and DACL are new.
    FreePart(m_pSD);
    FreePart(m_pDacl);
    m_pSD = sd;
    m_pDacl = pNewDacl;
    return Commit();
}

BOOL CShareSecurity::AddEntry(PSID pSid, DWORD dwMask, BOOL bAllow) {
    if (!IsValidSid(pSid)) return Failed();
    if (!Load()) return FALSE;
    BOOL present = FALSE, defaulted = FALSE;
    PACL old = NULL;
    if (!GetSecurityDescriptorDacl(m_pSD, &present, &old, &defaulted)) return Failed();
    ACL_SIZE_INFORMATION info = {0, sizeof(ACL), 0};
    if (old && !GetAclInformation(old, &info, sizeof info, AclSizeInformation)) return Failed();

    DWORD mask = dwMask;
    MapGenericMask(&mask, &m_Mapping);
    DWORD size = info.AclBytesInUse + EntrySize(pSid);
    PACL acl = (PACL)AllocPart(size);
    if (!acl || !InitializeAcl(acl, size, ACL_REVISION)) {
        Failed();
        FreePart(acl);
        return FALSE;
    }
    BOOL ok = bAllow || AddAccessDeniedAce(acl, ACL_REVISION, mask, pSid);
    for (DWORD i = 0; ok && old && i < old->AceCount; ++i) {
        void *ace = NULL;
        ok = GetAce(old, i, &ace) && CopyEntry(acl, (const ACE_HEADER *)ace);
    }
    if (ok && bAllow) ok = AddAccessAllowedAce(acl, ACL_REVISION, mask, pSid);
    if (!ok) {
        Failed();
        FreePart(acl);
        return FALSE;
    }
    return ReplaceDacl(acl);
}

BOOL CShareSecurity::AddEntry(LPCSTR lpszSystem, LPCSTR lpszAccount, DWORD dwMask, BOOL bAllow) {
    if (!lpszAccount || !*lpszAccount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return Failed();
    }
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use;
    if (LookupAccountNameA(lpszSystem, lpszAccount, NULL, &sidSize, NULL, &domainSize, &use) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return Failed();
    PSID sid = AllocPart(sidSize);
    LPSTR domain = (LPSTR)AllocPart(domainSize);
    BOOL ok = sid && domain && LookupAccountNameA(lpszSystem, lpszAccount, sid, &sidSize, domain, &domainSize, &use) &&
              IsValidSid(sid);
    if (!ok)
        Failed();
    else
        ok = AddEntry(sid, dwMask, bAllow);
    FreePart(sid);
    FreePart(domain);
    return ok;
}

BOOL CShareSecurity::RemoveEntry(PSID pSid) {
    if (!Load()) return FALSE;
    BOOL present = FALSE, defaulted = FALSE;
    PACL old = NULL;
    if (!GetSecurityDescriptorDacl(m_pSD, &present, &old, &defaulted)) return Failed();
    DWORD found = (DWORD)-1;
    for (DWORD i = 0; old && i < old->AceCount && found == (DWORD)-1; ++i) {
        void *ace = NULL;
        if (!GetAce(old, i, &ace)) return Failed();
        BYTE type = ((ACE_HEADER *)ace)->AceType;
        if ((type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_DENIED_ACE_TYPE) &&
            EqualSid((PSID) & ((ACCESS_ALLOWED_ACE *)ace)->SidStart, pSid))
            found = i;
    }
    if (found == (DWORD)-1) {
        m_dwLastError = ERROR_PRIVILEGE_NOT_HELD;
        return FALSE;
    }
    ACL_SIZE_INFORMATION info;
    if (!GetAclInformation(old, &info, sizeof info, AclSizeInformation)) return Failed();
    void *removed = NULL;
    if (!GetAce(old, found, &removed)) return Failed();
    DWORD size = info.AclBytesInUse - ((ACE_HEADER *)removed)->AceSize;
    PACL acl = (PACL)AllocPart(size);
    BOOL ok = acl && InitializeAcl(acl, size, ACL_REVISION);
    for (DWORD i = 0; ok && i < old->AceCount; ++i) {
        if (i == found) continue;
        void *ace = NULL;
        ok = GetAce(old, i, &ace) && CopyEntry(acl, (const ACE_HEADER *)ace);
    }
    if (!ok) {
        Failed();
        FreePart(acl);
        return FALSE;
    }
    return ReplaceDacl(acl);
}
