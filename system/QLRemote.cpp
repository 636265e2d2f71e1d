// Access to one target machine of a remote setup.
#include "QLRemote.h"

#include "afxcombo.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// Copies a credential into its field whole; FALSE (field emptied) when it
// does not fit, so that a name is never shortened into another name.
BOOL CopyField(char *field, size_t capacity, LPCSTR text) {
    size_t length = text ? strlen(text) : 0;
    if (length >= capacity) {
        field[0] = '\0';
        return FALSE;
    }
    memcpy(field, text ? text : "", length + 1);
    return TRUE;
}

}  // namespace

CQLRemote::CQLRemote() { Init(NULL, "Administrator", ""); }

CQLRemote::CQLRemote(LPCSTR lpszMachine, LPCSTR lpszUser, LPCSTR lpszPassword) {
    Init(lpszMachine, lpszUser, lpszPassword);
}

CQLRemote::CQLRemote(const CQLRemote &other) {
    Init(NULL, "", "");
    CopyFrom(other);
}

CQLRemote &CQLRemote::operator=(const CQLRemote &other) {
    if (this != &other) {
        Disconnect();
        CopyFrom(other);
    }
    return *this;
}

CQLRemote::~CQLRemote() { Disconnect(); }

void CQLRemote::Init(LPCSTR lpszMachine, LPCSTR lpszUser, LPCSTR lpszPassword) {
    m_szMachineName[0] = m_szUserName[0] = m_szPassword[0] = '\0';
    m_bRemote = FALSE;
    m_dwCredentialError = 0;
    if (lpszMachine) {
        if (!CopyField(m_szMachineName, sizeof m_szMachineName, lpszMachine))
            m_dwCredentialError = ERROR_INVALID_COMPUTERNAME;
        m_bRemote = !IsLocalMachine(lpszMachine);
    } else {
        DWORD size = sizeof m_szMachineName;
        if (!GetComputerNameA(m_szMachineName, &size)) m_szMachineName[0] = '\0';
        m_bRemote = FALSE;
    }
    if (!m_dwCredentialError && !CopyField(m_szUserName, sizeof m_szUserName, lpszUser))
        m_dwCredentialError = ERROR_BAD_USERNAME;
    if (!m_dwCredentialError && !CopyField(m_szPassword, sizeof m_szPassword, lpszPassword))
        m_dwCredentialError = ERROR_INVALID_PASSWORDNAME;
    if (m_dwCredentialError) {
        // Nothing of a refused set of credentials is kept.
        m_szMachineName[0] = m_szUserName[0] = m_szPassword[0] = '\0';
        m_bRemote = FALSE;
    }
    m_bConnected = FALSE;
    m_dwShareCount = 0;
    m_pShareList = NULL;
    m_hMachineKey = NULL;
    m_NetResource.dwScope = RESOURCE_GLOBALNET;
    m_NetResource.dwType = RESOURCETYPE_DISK;
    m_NetResource.dwDisplayType = 0;
    m_NetResource.dwUsage = RESOURCEUSAGE_CONNECTABLE;
    m_NetResource.lpLocalName = NULL;
    m_NetResource.lpRemoteName = m_szRemoteName;
    m_NetResource.lpComment = (LPSTR)QL_REMOTE_COMMENT;
    m_NetResource.lpProvider = NULL;
    m_szRemoteName[0] = '\0';
}

void CQLRemote::CopyFrom(const CQLRemote &other) {
    memcpy(m_szMachineName, other.m_szMachineName, sizeof m_szMachineName);
    memcpy(m_szUserName, other.m_szUserName, sizeof m_szUserName);
    memcpy(m_szPassword, other.m_szPassword, sizeof m_szPassword);
    m_bRemote = other.m_bRemote;
    m_dwCredentialError = other.m_dwCredentialError;
    // The connection, share list and key stay the other object's.
    m_bConnected = FALSE;
    m_dwShareCount = 0;
    m_pShareList = NULL;
    m_hMachineKey = NULL;
    m_szRemoteName[0] = '\0';
    m_NetResource.lpRemoteName = m_szRemoteName;
}

int CQLRemote::IsLocalMachine(LPCSTR lpszMachine) {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return FALSE;
    if (!lpszMachine) return TRUE;
    return lstrcmpiA(name, lpszMachine) == 0;
}

DWORD CQLRemote::Connect(LPCSTR lpszShare, int bTest) {
    if (m_bConnected) return NO_ERROR;
    if (m_dwCredentialError) return m_dwCredentialError;
    char remote[MAX_PATH];
    int n = lpszShare && *lpszShare ? snprintf(remote, sizeof remote, "\\\\%s\\%s", m_szMachineName, lpszShare)
                                    : snprintf(remote, sizeof remote, "\\\\%s", m_szMachineName);
    if (n < 0 || (size_t)n >= sizeof remote) return ERROR_BAD_NET_NAME;
    // A bare name is an account of the target machine.
    char user[MACHINE_LENGTH + USER_LENGTH + 1];
    if (strchr(m_szUserName, '\\'))
        lstrcpyA(user, m_szUserName);
    else
        wsprintfA(user, "%s\\%s", m_szMachineName, m_szUserName);
    lstrcpyA(m_szRemoteName, remote);
    m_NetResource.lpRemoteName = m_szRemoteName;
    DWORD result = WNetAddConnection2A(&m_NetResource, m_szPassword, user, 0);
    if (result != NO_ERROR) {
        m_szRemoteName[0] = '\0';
        return result;
    }
    m_bConnected = TRUE;
    if (bTest) {
        WNetCancelConnection2A(m_szRemoteName, 0, TRUE);
        m_szRemoteName[0] = '\0';
        m_bConnected = FALSE;
    }
    return NO_ERROR;
}

void CQLRemote::Disconnect() {
    if (m_hMachineKey) {
        if (m_hMachineKey != HKEY_LOCAL_MACHINE) RegCloseKey(m_hMachineKey);
        m_hMachineKey = NULL;
    }
    if (m_pShareList) {
        NetApiBufferFree(m_pShareList);
        m_pShareList = NULL;
    }
    // Exactly the connection Connect made, whatever share it named.
    if (m_bConnected && m_szRemoteName[0]) WNetCancelConnection2A(m_szRemoteName, 0, TRUE);
    m_szRemoteName[0] = '\0';
    m_bConnected = FALSE;
}

HKEY CQLRemote::GetMachineRegKey() {
    if (m_dwCredentialError) {
        SetLastError(m_dwCredentialError);
        return NULL;
    }
    if (!m_bRemote) return HKEY_LOCAL_MACHINE;
    if (m_hMachineKey) return m_hMachineKey;
    HKEY key = NULL;
    LONG result = RegConnectRegistryA(m_szMachineName, HKEY_LOCAL_MACHINE, &key);
    if (result != ERROR_SUCCESS) {
        SetLastError((DWORD)result);
        return NULL;
    }
    m_hMachineKey = key;
    return key;
}

int CQLRemote::EnumerateShares(CComboBox *pComboBox) {
    if (!pComboBox || !pComboBox->m_hWnd || !IsWindow(pComboBox->m_hWnd)) return FALSE;
    if (m_dwCredentialError) {
        SetLastError(m_dwCredentialError);
        return FALSE;
    }
    WCHAR server[MACHINE_LENGTH];
    if (!MultiByteToWideChar(CP_ACP, 0, m_szMachineName, -1, server, MACHINE_LENGTH)) return FALSE;
    // The whole list first, page after page, so that a failure part way
    // leaves the combo box as it was.
    std::vector<std::string> names;
    DWORD total = 0, resume = 0;
    NET_API_STATUS status;
    do {
        LPBYTE buffer = NULL;
        DWORD read = 0, left = 0;
        status = NetShareEnum(server, 2, &buffer, 16384, &read, &left, &resume);
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            if (buffer) NetApiBufferFree(buffer);
            SetLastError(status);
            return FALSE;
        }
        const SHARE_INFO_2 *entries = (const SHARE_INFO_2 *)buffer;
        for (DWORD i = 0; entries && i < read; ++i) {
            char name[13];
            if (!WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK | WC_SEPCHARS, entries[i].shi2_netname, -1, name,
                                     sizeof name, NULL, NULL))
                continue;  // longer than any drive's share
            if (entries[i].shi2_type == (STYPE_SPECIAL | STYPE_DISKTREE) && strcmp(name, "ADMIN$") != 0)
                names.push_back(name);
        }
        total += read;
        if (buffer) NetApiBufferFree(buffer);
        // A page without entries while more are announced would never end.
        if (status == ERROR_MORE_DATA && read == 0) {
            SetLastError(ERROR_MORE_DATA);
            return FALSE;
        }
    } while (status == ERROR_MORE_DATA);
    m_dwShareCount = total;
    if (total == 0) return FALSE;
    for (const std::string &name : names)
        SendMessageA(pComboBox->m_hWnd, CB_INSERTSTRING, (WPARAM)-1, (LPARAM)name.c_str());
    return TRUE;
}
