// Network connections of the simulated machine: the deviceless connections
// (no local drive letter) that a program makes to another machine's shares.
// Credentials are not checked: every machine of the world accepts every
// user. Drive-letter redirection is not simulated and fails loudly.
#include "internal.h"

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
    if (share.size() == 2 && share[1] == '$') {
        auto it = m.drives.find((char)std::toupper((unsigned char)share[0]));
        return it != m.drives.end() && it->second.type == DRIVE_FIXED;
    }
    const RegKey *shares = m.registry.Find("HKLM\\SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Shares");
    return shares && shares->FindValue(share);
}

}  // namespace

void ResetNetConnections() { Connections().clear(); }

}  // namespace winsim

using namespace winsim;

extern "C" DWORD WINAPI WNetAddConnection2A(LPNETRESOURCEA lpNetResource, LPCSTR lpPassword, LPCSTR lpUserName,
                                            DWORD dwFlags) {
    WINSIM_FAULT_RETURN_CODE("WNetAddConnection2A");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpNetResource) return ERROR_INVALID_PARAMETER;
    if (lpNetResource->lpLocalName && *lpNetResource->lpLocalName) return ERROR_CALL_NOT_IMPLEMENTED;
    if (dwFlags & CONNECT_UPDATE_PROFILE) return ERROR_CALL_NOT_IMPLEMENTED;
    std::string server, share;
    if (!lpNetResource->lpRemoteName || !SplitRemoteName(lpNetResource->lpRemoteName, server, share))
        return ERROR_BAD_NET_NAME;
    Machine *m = FindMachine(server);
    if (!m) return ERROR_BAD_NETPATH;
    if (!OffersShare(*m, share)) return ERROR_BAD_NET_NAME;
    const std::string remote = Upper(lpNetResource->lpRemoteName);
    const std::string user = lpUserName ? lpUserName : "";
    // One set of credentials per server.
    for (const Connection &c : Connections())
        if (c.server == Upper(server) && !EqualNoCase(c.user, user)) return ERROR_SESSION_CREDENTIAL_CONFLICT;
    for (Connection &c : Connections())
        if (c.remote == remote) {
            ++c.uses;
            return NO_ERROR;
        }
    Connections().push_back({remote, Upper(server), user, 1});
    (void)lpPassword;
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
