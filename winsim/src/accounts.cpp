// Users, local groups (aliases) and LSA account objects: what NetUserAdd,
// NetLocalGroupAddMembers and the LSA account functions change on a server,
// and the control API that reads it back.
#include "security_internal.h"
#include "sim_helpers.h"

#include <lm.h>
#include <ntsecapi.h>

#include <algorithm>
#include <cstring>

namespace winsim {

namespace {

// The machine whose accounts a server name reaches. A controller known only
// from the local machine's description has no accounts of its own here.
NET_API_STATUS AccountServer(LPCWSTR servername, ServerView &v) {
    if (!ResolveServer(Narrow(servername), v) || v.described) return ERROR_BAD_NETPATH;
    return NERR_Success;
}

// A controller keeps its domain's accounts; other machines their own.
bool OwnAccount(const ServerView &v, const Account &a) {
    return a.domain.empty() || (v.isDc && EqualNoCase(a.domain, v.domain));
}

Account *FindUser(const ServerView &v, const std::string &name) {
    for (Account &a : v.machine->accounts)
        if (a.use == SidTypeUser && OwnAccount(v, a) && EqualNoCase(a.name, name)) return &a;
    return nullptr;
}

// The alias a server names `name` (built-in, translated, or its own).
bool FindAlias(const ServerView &v, const std::string &name, std::string &sid) {
    ResolvedAccount a;
    if (name.empty() || !LookupName(v, name, a) || a.use != SidTypeAlias) return false;
    sid = a.sid;
    return true;
}

// Users, built-in aliases and LSA account objects of a new machine.
const char *const kLogonRights[] = {"SeInteractiveLogonRight", "SeNetworkLogonRight", "SeBatchLogonRight", nullptr,
                                    "SeServiceLogonRight"};

std::vector<std::string> RightNames(const LsaAccountObject &o) {
    std::vector<std::string> out(o.privileges.begin(), o.privileges.end());
    for (int bit = 0; bit < 5; ++bit)
        if ((o.systemAccess & (1u << bit)) && kLogonRights[bit]) out.push_back(kLogonRights[bit]);
    return out;
}

// An open LSA account object.
struct AccountObject : KernelObject {
    const char *Kind() const override { return "LsaAccount"; }
    Machine *machine = nullptr;
    std::string sid;
    ACCESS_MASK access = 0;
};

LsaAccountObject *AccountOf(LSA_HANDLE h, ACCESS_MASK needed, NTSTATUS &status) {
    auto a = HandleAs<AccountObject>((HANDLE)h);
    if (!a) {
        status = STATUS_INVALID_HANDLE;
        return nullptr;
    }
    if ((a->access & needed) != needed) {
        status = STATUS_ACCESS_DENIED;
        return nullptr;
    }
    auto it = a->machine->lsaAccounts.find(a->sid);
    if (it == a->machine->lsaAccounts.end()) {
        status = STATUS_OBJECT_NAME_NOT_FOUND;
        return nullptr;
    }
    return &it->second;
}

NTSTATUS OpenAccountObject(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                           PLSA_HANDLE AccountHandle, bool create) {
    auto policy = HandleAs<PolicyObject>((HANDLE)PolicyHandle);
    if (!policy) return STATUS_INVALID_HANDLE;
    if (!AccountHandle || !SidIsValid(AccountSid)) return STATUS_INVALID_PARAMETER;
    if (policy->view.described) return RPC_NT_SERVER_UNAVAILABLE;
    if (create && !(policy->access & POLICY_CREATE_ACCOUNT)) return STATUS_ACCESS_DENIED;
    Machine &m = *policy->view.machine;
    std::string sid = SidToText(AccountSid);
    bool exists = m.lsaAccounts.count(sid) != 0;
    if (create && exists) return STATUS_OBJECT_NAME_COLLISION;
    if (!create && !exists) return STATUS_OBJECT_NAME_NOT_FOUND;
    if (create) m.lsaAccounts[sid];
    auto object = std::make_shared<AccountObject>();
    object->machine = &m;
    object->sid = sid;
    object->access = DesiredAccess & MAXIMUM_ALLOWED ? (ACCESS_MASK)ACCOUNT_ALL_ACCESS : DesiredAccess;
    *AccountHandle = (LSA_HANDLE)NewHandle(object);
    return STATUS_SUCCESS;
}

ServerView ViewOf(const Machine &m) {
    ServerView v;
    v.machine = const_cast<Machine *>(&m);
    v.name = m.name;
    v.isDc = m.productType == VER_NT_DOMAIN_CONTROLLER;
    v.domain = m.domain;
    v.domainSid = m.domainSid;
    return v;
}

}  // namespace

// ---- seeding -------------------------------------------------------------------------------------
// The built-in aliases' usual members and rights; the user running setup is
// an administrator unless the description says otherwise.
void SeedAliases(Machine &m) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    m.aliasMembers["S-1-5-32-544"].insert(m.machineSid + "-500");
    m.aliasMembers["S-1-5-32-546"].insert(m.machineSid + "-501");
    ServerView v = ViewOf(m);
    ResolvedAccount user;
    if (LookupName(v, m.userName, user) && user.use == SidTypeUser) {
        m.aliasMembers["S-1-5-32-545"].insert(user.sid);
        if (m.userIsAdministrator)
            m.aliasMembers["S-1-5-32-544"].insert(user.sid);
        else
            m.aliasMembers["S-1-5-32-544"].erase(user.sid);
    }
    if (!m.lsaAccounts.count("S-1-5-32-544")) {
        LsaAccountObject &admins = m.lsaAccounts["S-1-5-32-544"];
        admins.systemAccess = POLICY_MODE_INTERACTIVE | POLICY_MODE_NETWORK | POLICY_MODE_BATCH;
        admins.privileges = {"SeBackupPrivilege",   "SeRestorePrivilege",   "SeSecurityPrivilege",
                             "SeShutdownPrivilege", "SeDebugPrivilege",     "SeTakeOwnershipPrivilege",
                             "SeSystemtimePrivilege", "SeLoadDriverPrivilege", "SeIncreaseQuotaPrivilege"};
    }
    if (!m.lsaAccounts.count("S-1-5-32-551")) {
        LsaAccountObject &backup = m.lsaAccounts["S-1-5-32-551"];
        backup.systemAccess = POLICY_MODE_INTERACTIVE | POLICY_MODE_NETWORK;
        backup.privileges = {"SeBackupPrivilege", "SeRestorePrivilege", "SeShutdownPrivilege"};
    }
}

bool ApplyRights(Machine &m, const std::string &sid, const std::vector<std::string> &names) {
    LsaAccountObject &o = m.lsaAccounts[sid];
    for (const std::string &n : names) {
        bool known = false;
        for (int bit = 0; bit < 5; ++bit)
            if (kLogonRights[bit] && EqualNoCase(n, kLogonRights[bit])) {
                o.systemAccess |= 1u << bit;
                known = true;
            }
        for (DWORD luid = 2; luid < 64 && !known; ++luid)
            if (EqualNoCase(PrivilegeNameOf(luid), n)) {
                o.privileges.insert(PrivilegeNameOf(luid));
                known = true;
            }
        if (!known) return false;
    }
    return true;
}

// ---- control API -----------------------------------------------------------------------------------
bool CheckPassword(const Machine &m, const std::string &user, const std::string &password) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ServerView v = ViewOf(m);
    ResolvedAccount a;
    if (!LookupName(v, user, a) || a.use != SidTypeUser) return false;
    for (const Account &acct : m.accounts)
        if (acct.use == SidTypeUser && EqualNoCase(acct.sid, a.sid)) return acct.password == password;
    return false;
}

std::vector<std::string> AliasMembers(const Machine &m, const std::string &alias) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::string sid = alias;
    if (SidFromText(alias).empty() && !FindAlias(ViewOf(m), alias, sid)) return {};
    std::vector<std::string> out;
    auto it = m.aliasMembers.find(sid);
    if (it != m.aliasMembers.end())
        for (const std::string &member : it->second) out.push_back(AccountNameOfSid(m, member));
    return out;
}

std::vector<std::string> DescribeAccounts(const Machine &m) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::vector<std::string> lines;
    for (const Account &a : m.accounts)
        if (a.use == SidTypeUser) lines.push_back("user " + AccountNameOfSid(m, a.sid));
    for (auto &alias : m.aliasMembers)
        for (const std::string &member : alias.second)
            lines.push_back("member " + AccountNameOfSid(m, alias.first) + ": " + AccountNameOfSid(m, member));
    for (auto &object : m.lsaAccounts) {
        std::string line = "rights " + AccountNameOfSid(m, object.first) + ":";
        std::vector<std::string> names = RightNames(object.second);
        for (size_t i = 0; i < names.size(); ++i) line += (i ? ", " : " ") + names[i];
        lines.push_back(line);
    }
    return lines;
}

}  // namespace winsim

using namespace winsim;

// ---- users -------------------------------------------------------------------------------------------
extern "C" NET_API_STATUS NET_API_FUNCTION NetUserAdd(LPCWSTR servername, DWORD level, LPBYTE buf,
                                                      LPDWORD parm_err) {
    WINSIM_FAULT_RETURN_CODE("NetUserAdd");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (level != 1 && level != 2) return level == 3 || level == 4 ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_LEVEL;
    if (!buf) return ERROR_INVALID_PARAMETER;
    ServerView v;
    if (NET_API_STATUS st = AccountServer(servername, v)) return st;
    const USER_INFO_1 *u = (const USER_INFO_1 *)buf;  // level 2 begins like 1
    auto bad = [&](DWORD parm) -> NET_API_STATUS {
        if (parm_err) *parm_err = parm;
        return ERROR_INVALID_PARAMETER;
    };
    std::string name = Narrow(u->usri1_name);
    if (name.empty() || name.size() > 20 || name.find_first_of("\"/\\[]:|<>+=;,?*@") != std::string::npos)
        return bad(USER_NAME_PARMNUM);
    if (u->usri1_priv != USER_PRIV_USER) return bad(USER_PRIV_PARMNUM);
    std::string password = Narrow(u->usri1_password);
    if (password.size() > PWLEN) return bad(USER_PASSWORD_PARMNUM);
    for (const Account &a : v.machine->accounts)
        if (OwnAccount(v, a) && EqualNoCase(a.name, name)) return NERR_UserExists;
    if (password.size() < v.machine->minPasswordLength) return NERR_PasswordTooShort;
    Account &a = v.machine->AddAccount(name, SidTypeUser, v.isDc ? v.domain : std::string());
    a.password = password;
    a.priv = u->usri1_priv;
    a.flags = u->usri1_flags;
    a.comment = Narrow(u->usri1_comment);
    if (level == 2) a.fullName = Narrow(((const USER_INFO_2 *)buf)->usri2_full_name);
    return NERR_Success;
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetUserGetInfo(LPCWSTR servername, LPCWSTR username, DWORD level,
                                                          LPBYTE *bufptr) {
    WINSIM_FAULT_RETURN_CODE("NetUserGetInfo");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!username || !bufptr) return ERROR_INVALID_PARAMETER;
    if (level != 1 && level != 2) return ERROR_CALL_NOT_IMPLEMENTED;
    ServerView v;
    if (NET_API_STATUS st = AccountServer(servername, v)) return st;
    const Account *a = FindUser(v, Narrow(username));
    if (!a) return NERR_UserNotFound;
    // The record, then its texts; the password is never handed out.
    const std::string texts[5] = {a->name, a->comment, a->fullName, "", "\\\\" + v.name};
    size_t record = level == 1 ? sizeof(USER_INFO_1) : sizeof(USER_INFO_2);
    size_t at[5], size = record;
    for (int i = 0; i < 5; ++i) {
        at[i] = size;
        size += (Widen(texts[i]).size() + 1) * sizeof(WCHAR);
    }
    BYTE *p = NewNetBuffer(size);
    if (!p) return ERROR_NOT_ENOUGH_MEMORY;
    LPWSTR w[5];
    for (int i = 0; i < 5; ++i) {
        WString t = Widen(texts[i]);
        memcpy(p + at[i], t.c_str(), (t.size() + 1) * sizeof(WCHAR));
        w[i] = (LPWSTR)(p + at[i]);
    }
    USER_INFO_1 *u1 = (USER_INFO_1 *)p;
    u1->usri1_name = w[0];
    u1->usri1_priv = a->priv;
    u1->usri1_home_dir = w[3];
    u1->usri1_comment = w[1];
    u1->usri1_flags = a->flags;
    u1->usri1_script_path = w[3];
    if (level == 2) {
        USER_INFO_2 *u2 = (USER_INFO_2 *)p;
        u2->usri2_full_name = w[2];
        u2->usri2_usr_comment = w[3];
        u2->usri2_parms = w[3];
        u2->usri2_workstations = w[3];
        u2->usri2_acct_expires = TIMEQ_FOREVER;
        u2->usri2_max_storage = USER_MAXSTORAGE_UNLIMITED;
        u2->usri2_units_per_week = 168;
        u2->usri2_logon_server = w[4];
    }
    *bufptr = p;
    return NERR_Success;
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetUserDel(LPCWSTR servername, LPCWSTR username) {
    WINSIM_FAULT_RETURN_CODE("NetUserDel");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!username) return ERROR_INVALID_PARAMETER;
    ServerView v;
    if (NET_API_STATUS st = AccountServer(servername, v)) return st;
    Account *a = FindUser(v, Narrow(username));
    if (!a) return NERR_UserNotFound;
    std::string sid = a->sid;
    auto &accounts = v.machine->accounts;
    accounts.erase(accounts.begin() + (a - accounts.data()));
    // Its memberships go with it; rights granted to the SID stay behind, as on Windows.
    for (auto &alias : v.machine->aliasMembers) alias.second.erase(sid);
    return NERR_Success;
}

// `domainname` names a server, or a domain whose controller answers.
extern "C" NET_API_STATUS NET_API_FUNCTION NetUserChangePassword(LPCWSTR domainname, LPCWSTR username,
                                                                 LPCWSTR oldpassword, LPCWSTR newpassword) {
    WINSIM_FAULT_RETURN_CODE("NetUserChangePassword");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!username || !oldpassword || !newpassword) return ERROR_INVALID_PARAMETER;
    std::string where = Narrow(domainname);
    ServerView v;
    if (!ResolveServer(where, v)) {
        Machine &local = LocalMachine();
        if (!EqualNoCase(where, local.domain) || local.domainControllers.empty() ||
            !ResolveServer(local.domainControllers[0], v))
            return NERR_DCNotFound;
    }
    if (v.described) return ERROR_BAD_NETPATH;
    Account *a = FindUser(v, Narrow(username));
    if (!a) return NERR_UserNotFound;
    std::string oldText = Narrow(oldpassword), newText = Narrow(newpassword);
    if (a->password != oldText) return ERROR_INVALID_PASSWORD;
    if (newText.size() < v.machine->minPasswordLength) return NERR_PasswordTooShort;
    if (v.machine->passwordHistory && newText == a->password) return NERR_PasswordTooShort;
    a->password = newText;
    return NERR_Success;
}

// ---- local groups ----------------------------------------------------------------------------------------
extern "C" NET_API_STATUS NET_API_FUNCTION NetLocalGroupAddMembers(LPCWSTR servername, LPCWSTR groupname,
                                                                   DWORD level, LPBYTE buf, DWORD totalentries) {
    WINSIM_FAULT_RETURN_CODE("NetLocalGroupAddMembers");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (level != 0) return level == 3 ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_LEVEL;
    if (!groupname || (!buf && totalentries)) return ERROR_INVALID_PARAMETER;
    ServerView v;
    if (NET_API_STATUS st = AccountServer(servername, v)) return st;
    std::string alias;
    if (!FindAlias(v, Narrow(groupname), alias)) return NERR_GroupNotFound;
    std::set<std::string> &members = v.machine->aliasMembers[alias];
    // All or nothing: every member is checked before any is added.
    std::vector<std::string> adding;
    const LOCALGROUP_MEMBERS_INFO_0 *list = (const LOCALGROUP_MEMBERS_INFO_0 *)buf;
    for (DWORD i = 0; i < totalentries; ++i) {
        if (!SidIsValid(list[i].lgrmi0_sid)) return ERROR_INVALID_PARAMETER;
        std::string sid = SidToText(list[i].lgrmi0_sid);
        ResolvedAccount a;
        if (!LookupSid(v, sid, a)) return ERROR_NO_SUCH_MEMBER;
        if (a.use == SidTypeAlias || a.use == SidTypeDomain) return ERROR_INVALID_MEMBER;
        if (members.count(sid)) return ERROR_MEMBER_IN_ALIAS;
        adding.push_back(sid);
    }
    members.insert(adding.begin(), adding.end());
    return NERR_Success;
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetLocalGroupAddMember(LPCWSTR servername, LPCWSTR groupname,
                                                                  PSID membersid) {
    WINSIM_FAULT_RETURN_CODE("NetLocalGroupAddMember");
    LOCALGROUP_MEMBERS_INFO_0 one{membersid};
    return NetLocalGroupAddMembers(servername, groupname, 0, (LPBYTE)&one, 1);
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetLocalGroupGetMembers(LPCWSTR servername, LPCWSTR localgroupname,
                                                                   DWORD level, LPBYTE *bufptr, DWORD prefmaxlen,
                                                                   LPDWORD entriesread, LPDWORD totalentries,
                                                                   DWORD_PTR *resumehandle) {
    WINSIM_FAULT_RETURN_CODE("NetLocalGroupGetMembers");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!localgroupname || !bufptr || !entriesread || !totalentries) return ERROR_INVALID_PARAMETER;
    if (level != 0) return level <= 3 ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_LEVEL;
    (void)prefmaxlen;  // one page holds every member
    ServerView v;
    if (NET_API_STATUS st = AccountServer(servername, v)) return st;
    std::string alias;
    if (!FindAlias(v, Narrow(localgroupname), alias)) return NERR_GroupNotFound;
    std::vector<std::vector<BYTE>> sids;
    auto it = v.machine->aliasMembers.find(alias);
    if (it != v.machine->aliasMembers.end())
        for (const std::string &s : it->second) sids.push_back(SidFromText(s));
    size_t size = sids.size() * sizeof(LOCALGROUP_MEMBERS_INFO_0);
    for (auto &s : sids) size += s.size();
    BYTE *p = NewNetBuffer(size);
    if (!p) return ERROR_NOT_ENOUGH_MEMORY;
    BYTE *at = p + sids.size() * sizeof(LOCALGROUP_MEMBERS_INFO_0);
    for (size_t i = 0; i < sids.size(); ++i) {
        memcpy(at, sids[i].data(), sids[i].size());
        ((LOCALGROUP_MEMBERS_INFO_0 *)p)[i].lgrmi0_sid = at;
        at += sids[i].size();
    }
    *bufptr = p;
    *entriesread = *totalentries = (DWORD)sids.size();
    if (resumehandle) *resumehandle = 0;
    return NERR_Success;
}

// ---- LSA account objects -----------------------------------------------------------------------------------
extern "C" NTSTATUS NTAPI LsaOpenAccount(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                                         PLSA_HANDLE AccountHandle) {
    if (DWORD f = TakeFault("LsaOpenAccount")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return OpenAccountObject(PolicyHandle, AccountSid, DesiredAccess, AccountHandle, false);
}

extern "C" NTSTATUS NTAPI LsaCreateAccount(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                                           PLSA_HANDLE AccountHandle) {
    if (DWORD f = TakeFault("LsaCreateAccount")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return OpenAccountObject(PolicyHandle, AccountSid, DesiredAccess, AccountHandle, true);
}

extern "C" NTSTATUS NTAPI LsaGetSystemAccessAccount(LSA_HANDLE AccountHandle, PULONG SystemAccess) {
    if (DWORD f = TakeFault("LsaGetSystemAccessAccount")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    NTSTATUS status;
    LsaAccountObject *o = AccountOf(AccountHandle, ACCOUNT_VIEW, status);
    if (!o) return status;
    if (!SystemAccess) return STATUS_INVALID_PARAMETER;
    *SystemAccess = o->systemAccess;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI LsaSetSystemAccessAccount(LSA_HANDLE AccountHandle, ULONG SystemAccess) {
    if (DWORD f = TakeFault("LsaSetSystemAccessAccount")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    NTSTATUS status;
    LsaAccountObject *o = AccountOf(AccountHandle, ACCOUNT_ADJUST_SYSTEM_ACCESS, status);
    if (!o) return status;
    const ULONG valid = POLICY_MODE_INTERACTIVE | POLICY_MODE_NETWORK | POLICY_MODE_BATCH | POLICY_MODE_SERVICE |
                        POLICY_MODE_PROXY;
    if (SystemAccess & ~valid) return STATUS_INVALID_PARAMETER;
    o->systemAccess = SystemAccess;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI LsaAddPrivilegesToAccount(LSA_HANDLE AccountHandle, PPRIVILEGE_SET Privileges) {
    if (DWORD f = TakeFault("LsaAddPrivilegesToAccount")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    NTSTATUS status;
    LsaAccountObject *o = AccountOf(AccountHandle, ACCOUNT_ADJUST_PRIVILEGES, status);
    if (!o) return status;
    if (!Privileges) return STATUS_INVALID_PARAMETER;
    std::vector<std::string> names;
    for (DWORD i = 0; i < Privileges->PrivilegeCount; ++i) {
        const LUID &luid = Privileges->Privilege[i].Luid;
        std::string name = luid.HighPart ? std::string() : PrivilegeNameOf(luid.LowPart);
        if (name.empty()) return STATUS_NO_SUCH_PRIVILEGE;
        names.push_back(name);
    }
    o->privileges.insert(names.begin(), names.end());
    return STATUS_SUCCESS;
}

// Privileges first, then the logon rights, as one block of counted texts.
extern "C" NTSTATUS NTAPI LsaEnumerateAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                                    PLSA_UNICODE_STRING *UserRights, PULONG CountOfRights) {
    if (DWORD f = TakeFault("LsaEnumerateAccountRights")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto policy = HandleAs<PolicyObject>((HANDLE)PolicyHandle);
    if (!policy) return STATUS_INVALID_HANDLE;
    if (!UserRights || !CountOfRights || !SidIsValid(AccountSid)) return STATUS_INVALID_PARAMETER;
    if (policy->view.described) return RPC_NT_SERVER_UNAVAILABLE;
    auto &objects = policy->view.machine->lsaAccounts;
    auto it = objects.find(SidToText(AccountSid));
    std::vector<std::string> names;
    if (it != objects.end()) names = RightNames(it->second);
    if (names.empty()) return STATUS_OBJECT_NAME_NOT_FOUND;
    size_t size = names.size() * sizeof(LSA_UNICODE_STRING);
    for (auto &n : names) size += (n.size() + 1) * sizeof(WCHAR);
    BYTE *p = NewLsaBuffer(size);
    if (!p) return STATUS_NO_MEMORY;
    BYTE *at = p + names.size() * sizeof(LSA_UNICODE_STRING);
    for (size_t i = 0; i < names.size(); ++i) {
        WString w = Widen(names[i]);
        memcpy(at, w.c_str(), (w.size() + 1) * sizeof(WCHAR));
        LSA_UNICODE_STRING &u = ((LSA_UNICODE_STRING *)p)[i];
        u.Length = (USHORT)(w.size() * sizeof(WCHAR));
        u.MaximumLength = (USHORT)((w.size() + 1) * sizeof(WCHAR));
        u.Buffer = (PWSTR)at;
        at += (w.size() + 1) * sizeof(WCHAR);
    }
    *UserRights = (PLSA_UNICODE_STRING)p;
    *CountOfRights = (ULONG)names.size();
    return STATUS_SUCCESS;
}
