// Network connections of the simulated machine: the deviceless connections
// (no local drive letter) that a program makes to another machine's shares,
// and the logon session they open on that machine. The target checks the
// credentials against its own accounts (and the domain accounts it knows):
// an unknown user or a wrong password is ERROR_LOGON_FAILURE, and the
// administrative shares (ADMIN$, C$, ...) admit only its administrators.
// One machine holds one session per server: a second user is
// ERROR_SESSION_CREDENTIAL_CONFLICT. Without a connection, a program reaches
// another machine with the credentials of the user running it, which the
// target accepts when it has an account of that name with the same password
// (or both machines are in one domain). Drive-letter redirection is not
// simulated and fails loudly.
#include "internal.h"
#include "security_internal.h"

#include <winnetwk.h>

#include <cctype>
#include <mutex>
#include <string>
#include <vector>

namespace winsim {

namespace {

struct Connection {
    std::string remote;  // "\\SERVER\SHARE" or "\\SERVER", upper case
    std::string server;  // upper case
    std::string user;    // as given; empty: the user running the program
    unsigned uses = 0;
};

std::vector<Connection> &Connections() {
    static std::vector<Connection> table;
    return table;
}

// Splits "\\server\share" (the share may be missing); false when the text
// names no server.
bool SplitRemoteName(const std::string &name, std::string &server, std::string &share) {
    if (name.size() < 3 || name[0] != '\\' || name[1] != '\\') return false;
    std::string rest = name.substr(2);
    size_t slash = rest.find('\\');
    server = slash == std::string::npos ? rest : rest.substr(0, slash);
    share = slash == std::string::npos ? "" : rest.substr(slash + 1);
    if (server.empty() || share.find('\\') != std::string::npos) return false;
    return true;
}

// The shares a server offers: IPC$, ADMIN$, a hidden share per fixed drive,
// and the shares its server service lists.
bool OffersShare(const Machine &m, const std::string &share) {
    if (share.empty() || EqualNoCase(share, "IPC$") || EqualNoCase(share, "ADMIN$")) return true;
    if (m.shares.count(share)) return true;
    if (share.size() == 2 && share[1] == '$') {
        auto it = m.drives.find((char)std::toupper((unsigned char)share[0]));
        return it != m.drives.end() && it->second.type == DRIVE_FIXED;
    }
    const RegKey *shares = m.registry.Find("HKLM\\SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Shares");
    return shares && shares->FindValue(share);
}

// The administrative shares: the system folder's and a drive's root.
bool IsAdminShare(const std::string &share) {
    return EqualNoCase(share, "ADMIN$") ||
           (share.size() == 2 && share[1] == '$' && std::isalpha((unsigned char)share[0]));
}

// The local user's own password, the one Windows hands on when a program
// gives none.
std::string LocalPassword(const std::string &user) {
    if (!HasLocalMachine()) return "";
    Machine &local = LocalMachine();
    ServerView v;
    ResolvedAccount a;
    if (!ResolveServer(local.name, v) || !LookupName(v, user, a)) return "";
    for (const Account &acct : local.accounts)
        if (acct.use == 1 && EqualNoCase(acct.sid, a.sid)) return acct.password;
    return "";
}

// "NAME" of the local user running the program, qualified by where it lives.
std::string LocalUser() {
    if (!HasLocalMachine()) return "";
    Machine &local = LocalMachine();
    if (local.userName.find('\\') != std::string::npos) return local.userName;
    return local.name + "\\" + local.userName;
}

// Whether `user` with `password` logs on to the target; its SID then.
DWORD Logon(Machine &target, const std::string &userIn, const std::string &password, std::string &sid) {
    ServerView v;
    if (!ResolveServer(target.name, v)) return ERROR_BAD_NETPATH;
    std::string user = userIn;
    size_t slash = user.find('\\');
    if (slash != std::string::npos) {
        std::string domain = user.substr(0, slash);
        // An authority the target does not know: NT falls back to the
        // target's own account of that name (workgroup pass-through).
        if (!EqualNoCase(domain, target.name) && !EqualNoCase(domain, target.domain)) user = user.substr(slash + 1);
    }
    ResolvedAccount a;
    if (!LookupName(v, user, a) || a.use != 1) return ERROR_LOGON_FAILURE;
    for (const Account &acct : target.accounts)
        if (acct.use == 1 && EqualNoCase(acct.sid, a.sid)) {
            if (acct.password != password) return ERROR_LOGON_FAILURE;
            if (acct.flags & 0x0002) return ERROR_ACCOUNT_DISABLED;  // UF_ACCOUNTDISABLE
            sid = a.sid;
            return NO_ERROR;
        }
    return ERROR_LOGON_FAILURE;
}

bool IsTargetAdministrator(const Machine &target, const std::string &sid) {
    auto it = target.aliasMembers.find("S-1-5-32-544");
    return it != target.aliasMembers.end() && it->second.count(sid);
}

}  // namespace

void ResetNetConnections() { Connections().clear(); }

std::vector<NetConnectionInfo> NetConnections() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::vector<NetConnectionInfo> out;
    for (const Connection &c : Connections()) out.push_back({c.remote, c.user, c.uses});
    return out;
}

DWORD RemoteAccess(Machine &target, bool needAdmin) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (HasLocalMachine() && &target == &LocalMachine()) return NO_ERROR;
    std::string user, password;
    bool session = false;
    for (const Connection &c : Connections())
        if (EqualNoCase(c.server, target.name)) {
            session = true;
            user = c.user;
            break;
        }
    std::string sid;
    if (session && !user.empty()) {
        // The session's logon was checked when it was made.
        ServerView v;
        ResolvedAccount a;
        std::string name = user;
        size_t slash = name.find('\\');
        if (slash != std::string::npos && !EqualNoCase(name.substr(0, slash), target.name) &&
            !EqualNoCase(name.substr(0, slash), target.domain))
            name = name.substr(slash + 1);
        if (!ResolveServer(target.name, v) || !LookupName(v, name, a)) return ERROR_ACCESS_DENIED;
        sid = a.sid;
    } else {
        user = LocalUser();
        if (DWORD e = Logon(target, user, LocalPassword(HasLocalMachine() ? LocalMachine().userName : ""), sid))
            return e == ERROR_LOGON_FAILURE ? ERROR_ACCESS_DENIED : e;
    }
    if (needAdmin && !IsTargetAdministrator(target, sid)) return ERROR_ACCESS_DENIED;
    return NO_ERROR;
}

}  // namespace winsim

using namespace winsim;

extern "C" DWORD WINAPI WNetAddConnection2A(LPNETRESOURCEA lpNetResource, LPCSTR lpPassword, LPCSTR lpUserName,
                                            DWORD dwFlags) {
    WINSIM_FAULT_RETURN_CODE("WNetAddConnection2A");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpNetResource) return ERROR_INVALID_PARAMETER;
    if (lpNetResource->lpLocalName && *lpNetResource->lpLocalName) {
        // A drive letter the machine has is in use; redirecting a free one
        // is not simulated.
        std::string local = lpNetResource->lpLocalName;
        if (local.size() == 2 && local[1] == ':' && HasLocalMachine() &&
            LocalMachine().drives.count((char)std::toupper((unsigned char)local[0])))
            return ERROR_ALREADY_ASSIGNED;
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    if (dwFlags & CONNECT_UPDATE_PROFILE) return ERROR_CALL_NOT_IMPLEMENTED;
    std::string server, share;
    if (!lpNetResource->lpRemoteName || !SplitRemoteName(lpNetResource->lpRemoteName, server, share))
        return ERROR_BAD_NET_NAME;
    Machine *m = FindMachine(server);
    if (!m) return ERROR_BAD_NETPATH;
    if (!OffersShare(*m, share)) return ERROR_BAD_NET_NAME;
    const std::string remote = Upper(lpNetResource->lpRemoteName);
    const std::string user = lpUserName ? lpUserName : "";
    // One set of credentials per server; no user name takes the session's.
    bool session = false;
    for (const Connection &c : Connections())
        if (c.server == Upper(server)) {
            if (!user.empty() && !EqualNoCase(c.user, user)) return ERROR_SESSION_CREDENTIAL_CONFLICT;
            session = true;
        }
    if (!session || !user.empty()) {
        std::string logonUser = user.empty() ? LocalUser() : user;
        std::string password = lpPassword ? lpPassword
                                          : LocalPassword(user.empty() && HasLocalMachine() ? LocalMachine().userName
                                                                                            : user);
        std::string sid;
        if (DWORD e = Logon(*m, logonUser, password, sid)) return e;
        if (IsAdminShare(share) && !IsTargetAdministrator(*m, sid)) return ERROR_ACCESS_DENIED;
    } else if (IsAdminShare(share)) {
        if (DWORD e = RemoteAccess(*m, true)) return e;
    }
    std::string sessionUser = user;
    if (sessionUser.empty())
        for (const Connection &c : Connections())
            if (c.server == Upper(server)) sessionUser = c.user;
    for (Connection &c : Connections())
        if (c.remote == remote) {
            ++c.uses;
            return NO_ERROR;
        }
    Connections().push_back({remote, Upper(server), sessionUser, 1});
    return NO_ERROR;
}

extern "C" DWORD WINAPI WNetCancelConnection2A(LPCSTR lpName, DWORD dwFlags, BOOL fForce) {
    WINSIM_FAULT_RETURN_CODE("WNetCancelConnection2A");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpName) return ERROR_INVALID_PARAMETER;
    if (dwFlags & CONNECT_UPDATE_PROFILE) return ERROR_CALL_NOT_IMPLEMENTED;
    const std::string remote = Upper(lpName);
    auto &table = Connections();
    for (auto it = table.begin(); it != table.end(); ++it)
        if (it->remote == remote) {
            table.erase(it);
            return NO_ERROR;
        }
    (void)fForce;
    return ERROR_NOT_CONNECTED;
}
