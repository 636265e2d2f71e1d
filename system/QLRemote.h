// Access to one target machine of a remote setup: its credentials, an
// authenticated network connection to it, its hidden disk shares for the
// drive picker, and its registry root.
#ifndef QL_QLREMOTE_H
#define QL_QLREMOTE_H

#include "QlApi.h"

#include <windows.h>
#include <winnetwk.h>
#include <lm.h>

#include <stddef.h>

class CComboBox;

// Comment of the network resource a remote-install connection names.
#define QL_REMOTE_COMMENT "Quillbak Remote Install Login"

class QL_API CQLRemote {
public:
    // Capacities of the credential fields, terminating NUL included.
    enum { MACHINE_LENGTH = 16, USER_LENGTH = 21, PASSWORD_LENGTH = 15 };

    // This machine, "Administrator", empty password.
    CQLRemote();
    // lpszMachine: NetBIOS name without backslashes, NULL for this machine.
    // lpszUser: "name" (an account of the target) or "DOMAIN\name". A text
    // longer than its field is refused, not cut: the fields stay empty and
    // CredentialError() says which one, so that every later call fails with
    // that error instead of working on half a name.
    CQLRemote(LPCSTR lpszMachine, LPCSTR lpszUser, LPCSTR lpszPassword);
    // A copy holds the same credentials but none of the original's
    // connection, share list or registry key: those stay the original's to
    // release, so nothing is cancelled, freed or closed twice.
    CQLRemote(const CQLRemote &other);
    CQLRemote &operator=(const CQLRemote &other);
    ~CQLRemote();

    LPCSTR MachineName() const { return m_szMachineName; }
    LPCSTR UserName() const { return m_szUserName; }
    LPCSTR Password() const { return m_szPassword; }
    // NULL unless a share list is held.
    LPSHARE_INFO_2 GetAllSahres() const { return m_pShareList; }
    BOOL IsRemote() const { return m_bRemote; }
    BOOL IsConnected() const { return m_bConnected; }
    DWORD ShareCount() const { return m_dwShareCount; }
    // 0, or the error every operation answers because a credential was
    // refused: ERROR_INVALID_COMPUTERNAME, ERROR_BAD_USERNAME or
    // ERROR_INVALID_PASSWORDNAME.
    DWORD CredentialError() const { return m_dwCredentialError; }

    // Connects to "\\MACHINE\SHARE" (an empty or NULL share: "\\MACHINE",
    // the machine's IPC share). The Win32 error of the network provider, 0 on
    // success; 0 at once when already connected. With bTest the connection
    // is cancelled again: the call only proves the credentials.
    DWORD Connect(LPCSTR lpszShare, int bTest);
    // Closes the registry key and frees the share list held, and cancels the
    // connection this object made; never one it did not make.
    void Disconnect();
    // HKEY_LOCAL_MACHINE of the machine: the predefined key for this
    // machine; for another, a handle from RegConnectRegistryA kept until
    // Disconnect (and reused until then). NULL, with the last error set,
    // when the remote registry cannot be reached.
    HKEY GetMachineRegKey();
    // Appends the target's hidden administrative disk shares (C$, D$, ...;
    // not ADMIN$) to the combo box. FALSE, with the combo box unchanged, on
    // any failure.
    int EnumerateShares(CComboBox *pComboBox);

    // TRUE when the name is this machine's NetBIOS name, in any letter case.
    static int IsLocalMachine(LPCSTR lpszMachine);

private:
    void Init(LPCSTR lpszMachine, LPCSTR lpszUser, LPCSTR lpszPassword);
    void CopyFrom(const CQLRemote &other);

    char m_szMachineName[MACHINE_LENGTH];
    char m_szUserName[USER_LENGTH];
    char m_szPassword[PASSWORD_LENGTH];
    int m_bRemote;
    int m_bConnected;
    DWORD m_dwShareCount;
    NETRESOURCEA m_NetResource;
    LPSHARE_INFO_2 m_pShareList;
    HKEY m_hMachineKey;
    // After the fields above: the credential refused, and the name of the
    // connection this object made (the network resource's remote name
    // points here), which is the one Disconnect cancels.
    DWORD m_dwCredentialError;
    char m_szRemoteName[MAX_PATH];

    friend struct CQLRemoteLayout;
};

// The object crosses the library boundary (option libraries and the
// remote-install front end construct it): its layout is fixed for the
// 32-bit build.
struct CQLRemoteLayout {
    static constexpr size_t machine = offsetof(CQLRemote, m_szMachineName);
    static constexpr size_t user = offsetof(CQLRemote, m_szUserName);
    static constexpr size_t password = offsetof(CQLRemote, m_szPassword);
    static constexpr size_t remote = offsetof(CQLRemote, m_bRemote);
    static constexpr size_t connected = offsetof(CQLRemote, m_bConnected);
    static constexpr size_t shareCount = offsetof(CQLRemote, m_dwShareCount);
    static constexpr size_t netResource = offsetof(CQLRemote, m_NetResource);
    static constexpr size_t shareList = offsetof(CQLRemote, m_pShareList);
    static constexpr size_t machineKey = offsetof(CQLRemote, m_hMachineKey);
};
static_assert(CQLRemoteLayout::machine == 0 && CQLRemoteLayout::user == 16 && CQLRemoteLayout::password == 37,
              "credential fields of 16, 21 and 15 characters");
static_assert(CQLRemoteLayout::remote == 52 && CQLRemoteLayout::connected == 56 &&
                  CQLRemoteLayout::shareCount == 60 && CQLRemoteLayout::netResource == 64,
              "flags, share count and network resource follow the credentials");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(NETRESOURCEA) == 32, "network resource is 32 bytes");
static_assert(CQLRemoteLayout::shareList == 96 && CQLRemoteLayout::machineKey == 100, "share list and key at 96, 100");
static_assert(sizeof(CQLRemote) == 108 + MAX_PATH, "CQLRemote is 368 bytes");
#endif

#endif
