// Security: SIDs, ACLs, security descriptors (absolute and self-relative),
// private object security, the process token and its privileges, account
// name lookup, and the process heap.
#include "security_internal.h"
#include "sim_helpers.h"

#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <set>

namespace winsim {

// ---- SIDs --------------------------------------------------------------------------
bool SidIsValid(const void *sid) {
    if (!sid) return false;
    const SID *s = (const SID *)sid;
    return s->Revision == SID_REVISION && s->SubAuthorityCount <= SID_MAX_SUB_AUTHORITIES;
}

DWORD SidSize(const void *sid) { return 8 + 4 * (DWORD)((const SID *)sid)->SubAuthorityCount; }

std::string SidToText(const void *sid) {
    if (!SidIsValid(sid)) return std::string();
    const SID *s = (const SID *)sid;
    unsigned long long authority = 0;
    for (int i = 0; i < 6; ++i) authority = (authority << 8) | s->IdentifierAuthority.Value[i];
    std::string t = "S-1-" + std::to_string(authority);
    const BYTE *sub = (const BYTE *)sid + 8;
    for (int i = 0; i < s->SubAuthorityCount; ++i) {
        DWORD v;
        memcpy(&v, sub + 4 * i, 4);
        t += "-" + std::to_string(v);
    }
    return t;
}

std::vector<BYTE> SidFromText(const std::string &t) {
    if (t.size() < 4 || (t[0] != 'S' && t[0] != 's') || t[1] != '-') return {};
    std::vector<unsigned long long> parts;
    size_t i = 2;
    while (i <= t.size()) {
        size_t j = t.find('-', i);
        if (j == std::string::npos) j = t.size();
        std::string p = t.substr(i, j - i);
        if (p.empty() || p.size() > 12 || p.find_first_not_of("0123456789") != std::string::npos) return {};
        parts.push_back(std::stoull(p));
        i = j + 1;
    }
    if (parts.size() < 2 || parts[0] != 1 || parts.size() - 2 > SID_MAX_SUB_AUTHORITIES) return {};
    std::vector<BYTE> sid(8 + 4 * (parts.size() - 2));
    sid[0] = SID_REVISION;
    sid[1] = (BYTE)(parts.size() - 2);
    for (int k = 0; k < 6; ++k) sid[2 + k] = (BYTE)(parts[1] >> (8 * (5 - k)));
    for (size_t k = 2; k < parts.size(); ++k) {
        if (parts[k] > 0xFFFFFFFFull) return {};
        DWORD v = (DWORD)parts[k];
        memcpy(&sid[8 + 4 * (k - 2)], &v, 4);
    }
    return sid;
}

// ---- accounts -------------------------------------------------------------------------
namespace {

struct WellKnown {
    const char *domain, *name, *sid;
    int use;
};
const WellKnown kWellKnown[] = {
    {"", "Everyone", "S-1-1-0", SidTypeWellKnownGroup},
    {"", "CREATOR OWNER", "S-1-3-0", SidTypeWellKnownGroup},
    {"", "CREATOR GROUP", "S-1-3-1", SidTypeWellKnownGroup},
    {"NT AUTHORITY", "NETWORK", "S-1-5-2", SidTypeWellKnownGroup},
    {"NT AUTHORITY", "INTERACTIVE", "S-1-5-4", SidTypeWellKnownGroup},
    {"NT AUTHORITY", "SERVICE", "S-1-5-6", SidTypeWellKnownGroup},
    {"NT AUTHORITY", "Authenticated Users", "S-1-5-11", SidTypeWellKnownGroup},
    {"NT AUTHORITY", "SYSTEM", "S-1-5-18", SidTypeWellKnownGroup},
    {"BUILTIN", "BUILTIN", "S-1-5-32", SidTypeDomain},
    {"BUILTIN", "Administrators", "S-1-5-32-544", SidTypeAlias},
    {"BUILTIN", "Users", "S-1-5-32-545", SidTypeAlias},
    {"BUILTIN", "Guests", "S-1-5-32-546", SidTypeAlias},
    {"BUILTIN", "Power Users", "S-1-5-32-547", SidTypeAlias},
    {"BUILTIN", "Account Operators", "S-1-5-32-548", SidTypeAlias},
    {"BUILTIN", "Server Operators", "S-1-5-32-549", SidTypeAlias},
    {"BUILTIN", "Print Operators", "S-1-5-32-550", SidTypeAlias},
    {"BUILTIN", "Backup Operators", "S-1-5-32-551", SidTypeAlias},
    {"BUILTIN", "Replicator", "S-1-5-32-552", SidTypeAlias},
};

// A well-known account as the server names it: systems in other languages
// translate the built-in domain and its aliases.
ResolvedAccount Named(const ServerView &v, const WellKnown &w) {
    ResolvedAccount a{w.domain, w.name, w.sid, w.use};
    if (!v.machine) return a;
    const auto &names = v.machine->builtinNames;
    auto it = names.find(w.sid);
    if (it != names.end()) a.name = it->second;
    if (!a.domain.empty() && std::string(w.sid).rfind("S-1-5-32", 0) == 0) {
        auto d = names.find("S-1-5-32");
        if (d != names.end()) a.domain = d->second;
    }
    return a;
}

// Accounts a server can name: its own, and for a controller its domain's.
std::vector<ResolvedAccount> AccountsOf(const ServerView &v) {
    std::vector<ResolvedAccount> out;
    const Machine &m = *v.machine;
    for (const Account &a : m.accounts) {
        std::string domain = a.domain.empty() ? m.name : a.domain;
        bool own = a.domain.empty();
        if (v.described ? (!own && EqualNoCase(domain, v.domain)) : true)
            out.push_back(ResolvedAccount{domain, a.name, a.sid, a.use});
    }
    // The authorities themselves.
    if (!v.described) out.push_back(ResolvedAccount{m.name, m.name, m.machineSid, SidTypeDomain});
    if (!v.domain.empty() && !v.domainSid.empty())
        out.push_back(ResolvedAccount{v.domain, v.domain, v.domainSid, SidTypeDomain});
    return out;
}

}  // namespace

std::string ServerView::AccountDomainSid() const {
    if (isDc) return domainSid;
    return machine ? machine->machineSid : std::string();
}

bool LookupName(const ServerView &v, const std::string &accountName, ResolvedAccount &out) {
    std::string domain, name = accountName;
    size_t slash = accountName.find('\\');
    bool qualified = slash != std::string::npos;
    if (qualified) {
        domain = accountName.substr(0, slash);
        name = accountName.substr(slash + 1);
    }
    if (name.empty() && !qualified) return false;
    for (const WellKnown &w : kWellKnown) {
        ResolvedAccount a = Named(v, w);
        if (!EqualNoCase(a.name, name)) continue;
        if (qualified && !EqualNoCase(a.domain, domain)) continue;
        out = a;
        return true;
    }
    for (const ResolvedAccount &a : AccountsOf(v)) {
        if (qualified && !EqualNoCase(a.domain, domain)) continue;
        if (!EqualNoCase(a.name, name)) continue;
        out = a;
        return true;
    }
    return false;
}

bool LookupSid(const ServerView &v, const std::string &sidText, ResolvedAccount &out) {
    for (const WellKnown &w : kWellKnown)
        if (EqualNoCase(w.sid, sidText)) {
            out = Named(v, w);
            return true;
        }
    for (const ResolvedAccount &a : AccountsOf(v))
        if (EqualNoCase(a.sid, sidText)) {
            out = a;
            return true;
        }
    return false;
}

std::string AccountNameOfSid(const Machine &m, const std::string &sid) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ServerView v;
    v.machine = const_cast<Machine *>(&m);
    v.name = m.name;
    v.domain = m.domain;
    v.domainSid = m.domainSid;
    ResolvedAccount a;
    if (!LookupSid(v, sid, a)) return sid;
    return a.domain.empty() ? a.name : a.domain + "\\" + a.name;
}

Account &Machine::AddAccount(const std::string &accountName, int use, const std::string &accountDomain,
                             const std::string &sidText) {
    Account a;
    a.name = accountName;
    a.domain = EqualNoCase(accountDomain, name) ? std::string() : accountDomain;
    a.use = use;
    a.sid = sidText;
    if (a.sid.empty()) {
        std::string base = a.domain.empty() ? machineSid : (EqualNoCase(a.domain, domain) ? domainSid : std::string());
        if (base.empty()) base = "S-1-5-21-" + std::to_string(3000000000u + a.domain.size()) + "-1-1";
        DWORD rid = 1000;
        for (const Account &o : accounts) {
            if (!EqualNoCase(o.domain, a.domain)) continue;
            size_t dash = o.sid.rfind('-');
            unsigned long r = dash == std::string::npos ? 0 : strtoul(o.sid.c_str() + dash + 1, nullptr, 10);
            if (r >= rid) rid = (DWORD)r + 1;
        }
        a.sid = base + "-" + std::to_string(rid);
    }
    accounts.push_back(a);
    return accounts.back();
}

// ---- ACLs ---------------------------------------------------------------------------
namespace {

const BYTE *AceAt(const ACL *acl, DWORD index) {
    const BYTE *p = (const BYTE *)acl + sizeof(ACL);
    for (DWORD i = 0; i < index; ++i) p += ((const ACE_HEADER *)p)->AceSize;
    return p;
}

// Bytes the ACL header and its entries use.
DWORD AclUsed(const ACL *acl) { return (DWORD)(AceAt(acl, acl->AceCount) - (const BYTE *)acl); }

bool AclRevisionOk(DWORD r) { return r >= ACL_REVISION && r <= ACL_REVISION_DS; }

}  // namespace

bool AclIsValid(const void *aclPtr) {
    if (!aclPtr) return false;
    const ACL *acl = (const ACL *)aclPtr;
    if (!AclRevisionOk(acl->AclRevision) || acl->AclSize < sizeof(ACL) || (acl->AclSize & 3)) return false;
    DWORD offset = sizeof(ACL);
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        if (offset + sizeof(ACE_HEADER) > acl->AclSize) return false;
        const ACE_HEADER *h = (const ACE_HEADER *)((const BYTE *)acl + offset);
        if (h->AceSize < sizeof(ACE_HEADER) || (h->AceSize & 3) || offset + h->AceSize > acl->AclSize) return false;
        if (h->AceType <= SYSTEM_AUDIT_ACE_TYPE) {
            if (h->AceSize < 8 + 8) return false;
            const void *sid = (const BYTE *)h + 8;
            if (!SidIsValid(sid) || 8 + SidSize(sid) > h->AceSize) return false;
        }
        offset += h->AceSize;
    }
    return true;
}

// ---- security descriptors -------------------------------------------------------------
namespace {

std::vector<BYTE> CopySidBytes(const void *sid) {
    const BYTE *b = (const BYTE *)sid;
    return std::vector<BYTE>(b, b + SidSize(sid));
}

std::vector<BYTE> CopyAclBytes(const void *acl) {
    const BYTE *b = (const BYTE *)acl;
    return std::vector<BYTE>(b, b + ((const ACL *)acl)->AclSize);
}

bool IsSelfRelative(const void *sd) { return (((const SECURITY_DESCRIPTOR *)sd)->Control & SE_SELF_RELATIVE) != 0; }

}  // namespace

bool ParseSd(const void *sd, SdParts &out, DWORD &error) {
    error = ERROR_INVALID_SECURITY_DESCR;
    if (!sd) return false;
    const SECURITY_DESCRIPTOR *abs = (const SECURITY_DESCRIPTOR *)sd;
    if (abs->Revision != SECURITY_DESCRIPTOR_REVISION) {
        error = ERROR_UNKNOWN_REVISION;
        return false;
    }
    out = SdParts();
    out.control = abs->Control & (WORD)~SE_SELF_RELATIVE;
    const void *owner, *group, *dacl, *sacl;
    if (IsSelfRelative(sd)) {
        const SECURITY_DESCRIPTOR_RELATIVE *rel = (const SECURITY_DESCRIPTOR_RELATIVE *)sd;
        const BYTE *base = (const BYTE *)sd;
        owner = rel->Owner ? base + rel->Owner : nullptr;
        group = rel->Group ? base + rel->Group : nullptr;
        dacl = rel->Dacl ? base + rel->Dacl : nullptr;
        sacl = rel->Sacl ? base + rel->Sacl : nullptr;
    } else {
        owner = abs->Owner;
        group = abs->Group;
        dacl = abs->Dacl;
        sacl = abs->Sacl;
    }
    if (owner) {
        if (!SidIsValid(owner)) return false;
        out.owner = CopySidBytes(owner);
    }
    if (group) {
        if (!SidIsValid(group)) return false;
        out.group = CopySidBytes(group);
    }
    out.daclPresent = (abs->Control & SE_DACL_PRESENT) != 0;
    out.saclPresent = (abs->Control & SE_SACL_PRESENT) != 0;
    if (out.daclPresent) {
        if (dacl) {
            if (!AclIsValid(dacl)) return false;
            out.dacl = CopyAclBytes(dacl);
        } else {
            out.daclNull = true;
        }
    }
    if (out.saclPresent) {
        if (sacl) {
            if (!AclIsValid(sacl)) return false;
            out.sacl = CopyAclBytes(sacl);
        } else {
            out.saclNull = true;
        }
    }
    error = 0;
    return true;
}

bool ParseStoredSd(const BYTE *sd, size_t size, SdParts &out, DWORD &error) {
    error = ERROR_INVALID_SECURITY_DESCR;
    // Offsets that lead outside the bytes, or pointers in an absolute form,
    // would be read wherever they point: each part is checked to lie inside
    // before the parts are read.
    if (!sd || size < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return false;
    SECURITY_DESCRIPTOR_RELATIVE rel;
    memcpy(&rel, sd, sizeof rel);
    if (!(rel.Control & SE_SELF_RELATIVE)) return false;
    // Parts begin on 4-byte boundaries, as the self-relative form lays them out.
    auto sidFits = [&](DWORD at) {
        return !at || (!(at & 3) && at < size && size - at >= 8 && SidSize(sd + at) <= size - at);
    };
    auto aclFits = [&](DWORD at, WORD present) {
        if (!(rel.Control & present) || !at) return true;
        if ((at & 3) || at >= size || size - at < sizeof(ACL)) return false;
        ACL acl;
        memcpy(&acl, sd + at, sizeof acl);
        return acl.AclSize <= size - at;
    };
    if (!sidFits(rel.Owner) || !sidFits(rel.Group) || !aclFits(rel.Dacl, SE_DACL_PRESENT) ||
        !aclFits(rel.Sacl, SE_SACL_PRESENT))
        return false;
    return ParseSd(sd, out, error);
}

// The self-relative form: header, then SACL, DACL, owner and group.
std::vector<BYTE> BuildSelfRelative(const SdParts &p) {
    SECURITY_DESCRIPTOR_RELATIVE h{};
    h.Revision = SECURITY_DESCRIPTOR_REVISION;
    h.Control = (WORD)((p.control & ~(SE_DACL_PRESENT | SE_SACL_PRESENT)) | SE_SELF_RELATIVE |
                       (p.daclPresent ? SE_DACL_PRESENT : 0) | (p.saclPresent ? SE_SACL_PRESENT : 0));
    // Sized once, then filled: growing the block piece by piece trips a
    // false bounds warning of optimising compilers.
    const size_t total = sizeof h + (p.saclPresent ? p.sacl.size() : 0) + (p.daclPresent ? p.dacl.size() : 0) +
                         p.owner.size() + p.group.size();
    std::vector<BYTE> out(total, 0);
    size_t used = sizeof h;
    auto append = [&](const std::vector<BYTE> &part) -> DWORD {
        if (part.empty()) return 0;
        DWORD at = (DWORD)used;
        memcpy(out.data() + used, part.data(), part.size());
        used += part.size();
        return at;
    };
    h.Sacl = p.saclPresent ? append(p.sacl) : 0;
    h.Dacl = p.daclPresent ? append(p.dacl) : 0;
    h.Owner = append(p.owner);
    h.Group = append(p.group);
    memcpy(out.data(), &h, sizeof h);
    return out;
}

// ---- private object descriptors and heap blocks ----------------------------------------------
namespace {

std::mutex &BlockLock() {
    static std::mutex *m = new std::mutex();
    return *m;
}
std::set<void *> &PrivateBlocks() {
    static std::set<void *> *s = new std::set<void *>();
    return *s;
}
std::set<void *> &SidBlocks() {
    static std::set<void *> *s = new std::set<void *>();
    return *s;
}
std::set<void *> &HeapBlocks() {
    static std::set<void *> *s = new std::set<void *>();
    return *s;
}
const char *BlockKind(const std::set<void *> &blocks) {
    return &blocks == &SidBlocks() ? "Sid" : &blocks == &HeapBlocks() ? "HeapMemory" : "PrivateSecurity";
}

void *KeepBlock(std::set<void *> &blocks, const void *data, size_t size) {
    void *p = malloc(size ? size : 1);
    if (!p) return nullptr;
    if (data) memcpy(p, data, size);
    NoteOpen(BlockKind(blocks), (uintptr_t)p);
    std::lock_guard<std::mutex> g(BlockLock());
    blocks.insert(p);
    return p;
}

bool DropBlock(std::set<void *> &blocks, void *p) {
    {
        std::lock_guard<std::mutex> g(BlockLock());
        if (!blocks.erase(p)) return false;
    }
    NoteClosed(BlockKind(blocks), (uintptr_t)p);
    free(p);
    return true;
}

// ---- tokens ----------------------------------------------------------------------------------
struct PrivilegeName {
    const char *name;
    DWORD luid;
};
const PrivilegeName kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},        {"SeAssignPrimaryTokenPrivilege", 3}, {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},      {"SeMachineAccountPrivilege", 6},     {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},           {"SeTakeOwnershipPrivilege", 9},      {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},     {"SeSystemtimePrivilege", 12},        {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14}, {"SeCreatePagefilePrivilege", 15}, {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},            {"SeRestorePrivilege", 18},           {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},             {"SeAuditPrivilege", 21},             {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},      {"SeRemoteShutdownPrivilege", 24},    {"SeUndockPrivilege", 25},
    {"SeSyncAgentPrivilege", 26},         {"SeEnableDelegationPrivilege", 27},
};

struct TokenObject : KernelObject {
    const char *Kind() const override { return "Token"; }
    Machine *machine = nullptr;
    DWORD access = 0;
    std::string userSid, groupSid;
    std::vector<std::string> groups;   // SIDs of the groups and aliases the user belongs to
    std::map<DWORD, bool> privileges;  // held privileges by LUID, enabled or not
    bool impersonation = false;
    int level = 0;                     // SECURITY_IMPERSONATION_LEVEL of an impersonation token
};

// The token the thread impersonates with; null when it runs as the process.
std::shared_ptr<TokenObject> &ThreadImpersonation() {
    static thread_local std::shared_ptr<TokenObject> t;
    return t;
}

// A new handle's object: the same token, with the handle's own access.
std::shared_ptr<TokenObject> TokenCopy(const TokenObject &from, DWORD access) {
    auto t = std::make_shared<TokenObject>(from);
    t->access = access & MAXIMUM_ALLOWED ? (DWORD)TOKEN_ALL_ACCESS : access;
    return t;
}

std::shared_ptr<TokenObject> TokenOf(HANDLE h, DWORD needed, DWORD &error) {
    auto t = HandleAs<TokenObject>(h);
    if (!t) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if ((t->access & needed) != needed) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    return t;
}

ServerView LocalView() {
    ServerView v;
    ResolveServer("", v);
    return v;
}

void MapAclMasks(std::vector<BYTE> &acl, const GENERIC_MAPPING *mapping) {
    if (acl.empty() || !mapping) return;
    ACL *a = (ACL *)acl.data();
    for (DWORD i = 0; i < a->AceCount; ++i) {
        ACE_HEADER *h = (ACE_HEADER *)AceAt(a, i);
        if (h->AceType > SYSTEM_AUDIT_ACE_TYPE) continue;
        DWORD mask;
        memcpy(&mask, (BYTE *)h + 4, 4);
        MapGenericMask(&mask, const_cast<GENERIC_MAPPING *>(mapping));
        memcpy((BYTE *)h + 4, &mask, 4);
    }
}

bool StorePrivate(const SdParts &p, PSECURITY_DESCRIPTOR *out) {
    std::vector<BYTE> bytes = BuildSelfRelative(p);
    void *block = KeepBlock(PrivateBlocks(), bytes.data(), bytes.size());
    if (!block) return Fail(FALSE, ERROR_NOT_ENOUGH_MEMORY);
    *out = block;
    return TRUE;
}

}  // namespace

std::string PrivilegeNameOf(DWORD luid) {
    for (const PrivilegeName &pn : kPrivileges)
        if (pn.luid == luid) return pn.name;
    return std::string();
}

void ResetImpersonation() { ThreadImpersonation().reset(); }


}  // namespace winsim

using namespace winsim;

// ---- SIDs ------------------------------------------------------------------------------------
extern "C" BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                                BYTE nSubAuthorityCount, DWORD s0, DWORD s1, DWORD s2, DWORD s3,
                                                DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID *pSid) {
    WINSIM_FAULT_RETURN("AllocateAndInitializeSid", FALSE);
    if (!pIdentifierAuthority || !pSid || nSubAuthorityCount > 8) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    std::vector<BYTE> sid(8 + 4 * nSubAuthorityCount);
    sid[0] = SID_REVISION;
    sid[1] = nSubAuthorityCount;
    memcpy(&sid[2], pIdentifierAuthority->Value, 6);
    const DWORD subs[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    for (int i = 0; i < nSubAuthorityCount; ++i) memcpy(&sid[8 + 4 * i], &subs[i], 4);
    void *p = KeepBlock(SidBlocks(), sid.data(), sid.size());
    if (!p) return Fail(FALSE, ERROR_NOT_ENOUGH_MEMORY);
    *pSid = p;
    return TRUE;
}

// NULL on success, the SID itself when it was not allocated here.
extern "C" PVOID WINAPI FreeSid(PSID pSid) {
    WINSIM_FAULT_RETURN("FreeSid", pSid);
    if (!pSid) return nullptr;
    return DropBlock(SidBlocks(), pSid) ? nullptr : pSid;
}

extern "C" BOOL WINAPI IsValidSid(PSID pSid) {
    WINSIM_FAULT_RETURN("IsValidSid", FALSE);
    return SidIsValid(pSid) ? TRUE : FALSE;
}

extern "C" DWORD WINAPI GetLengthSid(PSID pSid) {
    WINSIM_FAULT_RETURN("GetLengthSid", 0);
    if (!SidIsValid(pSid)) return Fail<DWORD>(0, ERROR_INVALID_SID);
    return SidSize(pSid);
}

extern "C" BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
    WINSIM_FAULT_RETURN("EqualSid", FALSE);
    if (!SidIsValid(pSid1) || !SidIsValid(pSid2)) return Fail(FALSE, ERROR_INVALID_SID);
    SetLastError(ERROR_SUCCESS);
    DWORD n = SidSize(pSid1);
    return n == SidSize(pSid2) && memcmp(pSid1, pSid2, n) == 0;
}

extern "C" BOOL WINAPI CopySid(DWORD nDestinationSidLength, PSID pDestinationSid, PSID pSourceSid) {
    WINSIM_FAULT_RETURN("CopySid", FALSE);
    if (!SidIsValid(pSourceSid)) return Fail(FALSE, ERROR_INVALID_SID);
    DWORD n = SidSize(pSourceSid);
    if (nDestinationSidLength < n || !pDestinationSid) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    memmove(pDestinationSid, pSourceSid, n);
    return TRUE;
}

// ---- account lookup ----------------------------------------------------------------------------
extern "C" BOOL WINAPI LookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                                          LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                          PSID_NAME_USE peUse) {
    WINSIM_FAULT_RETURN("LookupAccountNameA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpAccountName || !cbSid || !cchReferencedDomainName || !peUse) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    ServerView v;
    if (!ResolveServer(lpSystemName ? lpSystemName : "", v)) return Fail(FALSE, RPC_S_SERVER_UNAVAILABLE);
    ResolvedAccount a;
    if (!LookupName(v, lpAccountName, a)) return Fail(FALSE, ERROR_NONE_MAPPED);
    std::vector<BYTE> sid = SidFromText(a.sid);
    DWORD needSid = (DWORD)sid.size(), needDomain = (DWORD)a.domain.size() + 1;
    if (*cbSid < needSid || *cchReferencedDomainName < needDomain || !Sid || !ReferencedDomainName) {
        *cbSid = needSid;
        *cchReferencedDomainName = needDomain;
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(Sid, sid.data(), sid.size());
    memcpy(ReferencedDomainName, a.domain.c_str(), needDomain);
    *cbSid = needSid;
    *cchReferencedDomainName = needDomain - 1;
    *peUse = (SID_NAME_USE)a.use;
    return TRUE;
}

extern "C" BOOL WINAPI LookupAccountSidA(LPCSTR lpSystemName, PSID Sid, LPSTR Name, LPDWORD cchName,
                                         LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                         PSID_NAME_USE peUse) {
    WINSIM_FAULT_RETURN("LookupAccountSidA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!cchName || !cchReferencedDomainName || !peUse) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!SidIsValid(Sid)) return Fail(FALSE, ERROR_INVALID_SID);
    ServerView v;
    if (!ResolveServer(lpSystemName ? lpSystemName : "", v)) return Fail(FALSE, RPC_S_SERVER_UNAVAILABLE);
    ResolvedAccount a;
    if (!LookupSid(v, SidToText(Sid), a)) return Fail(FALSE, ERROR_NONE_MAPPED);
    DWORD needName = (DWORD)a.name.size() + 1, needDomain = (DWORD)a.domain.size() + 1;
    if (*cchName < needName || *cchReferencedDomainName < needDomain || !Name || !ReferencedDomainName) {
        *cchName = needName;
        *cchReferencedDomainName = needDomain;
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(Name, a.name.c_str(), needName);
    memcpy(ReferencedDomainName, a.domain.c_str(), needDomain);
    *cchName = needName - 1;
    *cchReferencedDomainName = needDomain - 1;
    *peUse = (SID_NAME_USE)a.use;
    return TRUE;
}

// ---- ACLs ------------------------------------------------------------------------------------
extern "C" BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
    WINSIM_FAULT_RETURN("InitializeAcl", FALSE);
    if (!pAcl) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (nAclLength < sizeof(ACL)) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    if (nAclLength > 0xFFFF || !AclRevisionOk(dwAclRevision)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    pAcl->AclRevision = (BYTE)dwAclRevision;
    pAcl->Sbz1 = 0;
    pAcl->AclSize = (WORD)(nAclLength & ~3u);
    pAcl->AceCount = 0;
    pAcl->Sbz2 = 0;
    return TRUE;
}

static BOOL AddAce(PACL pAcl, DWORD dwAceRevision, BYTE type, DWORD mask, PSID pSid) {
    if (!AclIsValid(pAcl)) return Fail(FALSE, ERROR_INVALID_ACL);
    if (!SidIsValid(pSid)) return Fail(FALSE, ERROR_INVALID_SID);
    if (!AclRevisionOk(dwAceRevision)) return Fail(FALSE, ERROR_REVISION_MISMATCH);
    DWORD aceSize = 8 + SidSize(pSid);
    DWORD used = AclUsed(pAcl);
    if (used + aceSize > pAcl->AclSize) return Fail(FALSE, ERROR_ALLOTTED_SPACE_EXCEEDED);
    BYTE *p = (BYTE *)pAcl + used;
    ACE_HEADER h{type, 0, (WORD)aceSize};
    memcpy(p, &h, sizeof h);
    memcpy(p + 4, &mask, 4);
    memcpy(p + 8, pSid, SidSize(pSid));
    ++pAcl->AceCount;
    if (dwAceRevision > pAcl->AclRevision) pAcl->AclRevision = (BYTE)dwAceRevision;
    return TRUE;
}

extern "C" BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
    WINSIM_FAULT_RETURN("AddAccessAllowedAce", FALSE);
    return AddAce(pAcl, dwAceRevision, ACCESS_ALLOWED_ACE_TYPE, AccessMask, pSid);
}

extern "C" BOOL WINAPI AddAccessDeniedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
    WINSIM_FAULT_RETURN("AddAccessDeniedAce", FALSE);
    return AddAce(pAcl, dwAceRevision, ACCESS_DENIED_ACE_TYPE, AccessMask, pSid);
}

extern "C" BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID *pAce) {
    WINSIM_FAULT_RETURN("GetAce", FALSE);
    if (!pAcl || !pAce || dwAceIndex >= pAcl->AceCount) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    *pAce = (LPVOID)AceAt(pAcl, dwAceIndex);
    return TRUE;
}

extern "C" BOOL WINAPI DeleteAce(PACL pAcl, DWORD dwAceIndex) {
    WINSIM_FAULT_RETURN("DeleteAce", FALSE);
    if (!AclIsValid(pAcl)) return Fail(FALSE, ERROR_INVALID_ACL);
    if (dwAceIndex >= pAcl->AceCount) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    BYTE *ace = (BYTE *)AceAt(pAcl, dwAceIndex);
    DWORD size = ((ACE_HEADER *)ace)->AceSize;
    BYTE *end = (BYTE *)pAcl + AclUsed(pAcl);
    memmove(ace, ace + size, end - (ace + size));
    --pAcl->AceCount;
    return TRUE;
}

extern "C" BOOL WINAPI IsValidAcl(PACL pAcl) {
    WINSIM_FAULT_RETURN("IsValidAcl", FALSE);
    return AclIsValid(pAcl) ? TRUE : FALSE;
}

extern "C" BOOL WINAPI GetAclInformation(PACL pAcl, LPVOID pAclInformation, DWORD nAclInformationLength,
                                         ACL_INFORMATION_CLASS dwAclInformationClass) {
    WINSIM_FAULT_RETURN("GetAclInformation", FALSE);
    if (!AclIsValid(pAcl)) return Fail(FALSE, ERROR_INVALID_ACL);
    if (!pAclInformation) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (dwAclInformationClass == AclRevisionInformation) {
        if (nAclInformationLength < sizeof(ACL_REVISION_INFORMATION)) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
        ((ACL_REVISION_INFORMATION *)pAclInformation)->AclRevision = pAcl->AclRevision;
        return TRUE;
    }
    if (dwAclInformationClass == AclSizeInformation) {
        if (nAclInformationLength < sizeof(ACL_SIZE_INFORMATION)) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
        ACL_SIZE_INFORMATION *info = (ACL_SIZE_INFORMATION *)pAclInformation;
        info->AceCount = pAcl->AceCount;
        info->AclBytesInUse = AclUsed(pAcl);
        info->AclBytesFree = pAcl->AclSize - info->AclBytesInUse;
        return TRUE;
    }
    return Fail(FALSE, ERROR_INVALID_PARAMETER);
}

// ---- security descriptors --------------------------------------------------------------------
extern "C" BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision) {
    WINSIM_FAULT_RETURN("InitializeSecurityDescriptor", FALSE);
    if (!pSecurityDescriptor) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (dwRevision != SECURITY_DESCRIPTOR_REVISION) return Fail(FALSE, ERROR_UNKNOWN_REVISION);
    memset(pSecurityDescriptor, 0, sizeof(SECURITY_DESCRIPTOR));
    ((SECURITY_DESCRIPTOR *)pSecurityDescriptor)->Revision = SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

extern "C" BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    WINSIM_FAULT_RETURN("IsValidSecurityDescriptor", FALSE);
    SdParts p;
    DWORD error;
    if (!ParseSd(pSecurityDescriptor, p, error)) return Fail(FALSE, ERROR_INVALID_SECURITY_DESCR);
    return TRUE;
}

extern "C" DWORD WINAPI GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    WINSIM_FAULT_RETURN("GetSecurityDescriptorLength", 0);
    SdParts p;
    DWORD error;
    if (!ParseSd(pSecurityDescriptor, p, error)) return 0;
    DWORD header = IsSelfRelative(pSecurityDescriptor) ? sizeof(SECURITY_DESCRIPTOR_RELATIVE) : sizeof(SECURITY_DESCRIPTOR);
    return header + (DWORD)(p.owner.size() + p.group.size() + p.dacl.size() + p.sacl.size());
}

extern "C" BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                    PSECURITY_DESCRIPTOR_CONTROL pControl, LPDWORD lpdwRevision) {
    WINSIM_FAULT_RETURN("GetSecurityDescriptorControl", FALSE);
    if (!pSecurityDescriptor || !pControl || !lpdwRevision) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    const SECURITY_DESCRIPTOR *sd = (const SECURITY_DESCRIPTOR *)pSecurityDescriptor;
    *lpdwRevision = sd->Revision;
    if (sd->Revision != SECURITY_DESCRIPTOR_REVISION) return Fail(FALSE, ERROR_UNKNOWN_REVISION);
    *pControl = sd->Control;
    return TRUE;
}

// The setters work on absolute descriptors only and keep the caller's pointers.
static SECURITY_DESCRIPTOR *AbsoluteForWrite(PSECURITY_DESCRIPTOR p) {
    SECURITY_DESCRIPTOR *sd = (SECURITY_DESCRIPTOR *)p;
    if (!sd) return Fail<SECURITY_DESCRIPTOR *>(nullptr, ERROR_INVALID_PARAMETER);
    if (sd->Revision != SECURITY_DESCRIPTOR_REVISION) return Fail<SECURITY_DESCRIPTOR *>(nullptr, ERROR_UNKNOWN_REVISION);
    if (sd->Control & SE_SELF_RELATIVE) return Fail<SECURITY_DESCRIPTOR *>(nullptr, ERROR_INVALID_SECURITY_DESCR);
    return sd;
}

static void SetFlag(SECURITY_DESCRIPTOR *sd, WORD flag, BOOL on) {
    if (on)
        sd->Control |= flag;
    else
        sd->Control &= (WORD)~flag;
}

extern "C" BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                                 PACL pDacl, BOOL bDaclDefaulted) {
    WINSIM_FAULT_RETURN("SetSecurityDescriptorDacl", FALSE);
    SECURITY_DESCRIPTOR *sd = AbsoluteForWrite(pSecurityDescriptor);
    if (!sd) return FALSE;
    SetFlag(sd, SE_DACL_PRESENT, bDaclPresent);
    sd->Dacl = bDaclPresent ? pDacl : nullptr;
    SetFlag(sd, SE_DACL_DEFAULTED, bDaclPresent && bDaclDefaulted);
    return TRUE;
}

extern "C" BOOL WINAPI SetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bSaclPresent,
                                                 PACL pSacl, BOOL bSaclDefaulted) {
    WINSIM_FAULT_RETURN("SetSecurityDescriptorSacl", FALSE);
    SECURITY_DESCRIPTOR *sd = AbsoluteForWrite(pSecurityDescriptor);
    if (!sd) return FALSE;
    SetFlag(sd, SE_SACL_PRESENT, bSaclPresent);
    sd->Sacl = bSaclPresent ? pSacl : nullptr;
    SetFlag(sd, SE_SACL_DEFAULTED, bSaclPresent && bSaclDefaulted);
    return TRUE;
}

extern "C" BOOL WINAPI SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID pOwner,
                                                  BOOL bOwnerDefaulted) {
    WINSIM_FAULT_RETURN("SetSecurityDescriptorOwner", FALSE);
    SECURITY_DESCRIPTOR *sd = AbsoluteForWrite(pSecurityDescriptor);
    if (!sd) return FALSE;
    sd->Owner = pOwner;
    SetFlag(sd, SE_OWNER_DEFAULTED, bOwnerDefaulted);
    return TRUE;
}

extern "C" BOOL WINAPI SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID pGroup,
                                                  BOOL bGroupDefaulted) {
    WINSIM_FAULT_RETURN("SetSecurityDescriptorGroup", FALSE);
    SECURITY_DESCRIPTOR *sd = AbsoluteForWrite(pSecurityDescriptor);
    if (!sd) return FALSE;
    sd->Group = pGroup;
    SetFlag(sd, SE_GROUP_DEFAULTED, bGroupDefaulted);
    return TRUE;
}

// The getters read either form; for a self-relative descriptor they point
// into it.
static bool PartPointers(PSECURITY_DESCRIPTOR p, void **owner, void **group, void **sacl, void **dacl) {
    const SECURITY_DESCRIPTOR *sd = (const SECURITY_DESCRIPTOR *)p;
    if (!sd) return Fail(false, ERROR_INVALID_PARAMETER);
    if (sd->Revision != SECURITY_DESCRIPTOR_REVISION) return Fail(false, ERROR_UNKNOWN_REVISION);
    if (sd->Control & SE_SELF_RELATIVE) {
        const SECURITY_DESCRIPTOR_RELATIVE *rel = (const SECURITY_DESCRIPTOR_RELATIVE *)p;
        BYTE *base = (BYTE *)p;
        *owner = rel->Owner ? base + rel->Owner : nullptr;
        *group = rel->Group ? base + rel->Group : nullptr;
        *sacl = rel->Sacl ? base + rel->Sacl : nullptr;
        *dacl = rel->Dacl ? base + rel->Dacl : nullptr;
    } else {
        *owner = sd->Owner;
        *group = sd->Group;
        *sacl = sd->Sacl;
        *dacl = sd->Dacl;
    }
    return true;
}

extern "C" BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, LPBOOL lpbDaclPresent,
                                                 PACL *pDacl, LPBOOL lpbDaclDefaulted) {
    WINSIM_FAULT_RETURN("GetSecurityDescriptorDacl", FALSE);
    void *o, *g, *s, *d;
    if (!lpbDaclPresent || !pDacl || !lpbDaclDefaulted) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!PartPointers(pSecurityDescriptor, &o, &g, &s, &d)) return FALSE;
    WORD control = ((SECURITY_DESCRIPTOR *)pSecurityDescriptor)->Control;
    *lpbDaclPresent = (control & SE_DACL_PRESENT) != 0;
    if (*lpbDaclPresent) {
        *pDacl = (PACL)d;
        *lpbDaclDefaulted = (control & SE_DACL_DEFAULTED) != 0;
    }
    return TRUE;
}

extern "C" BOOL WINAPI GetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, LPBOOL lpbSaclPresent,
                                                 PACL *pSacl, LPBOOL lpbSaclDefaulted) {
    WINSIM_FAULT_RETURN("GetSecurityDescriptorSacl", FALSE);
    void *o, *g, *s, *d;
    if (!lpbSaclPresent || !pSacl || !lpbSaclDefaulted) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!PartPointers(pSecurityDescriptor, &o, &g, &s, &d)) return FALSE;
    WORD control = ((SECURITY_DESCRIPTOR *)pSecurityDescriptor)->Control;
    *lpbSaclPresent = (control & SE_SACL_PRESENT) != 0;
    if (*lpbSaclPresent) {
        *pSacl = (PACL)s;
        *lpbSaclDefaulted = (control & SE_SACL_DEFAULTED) != 0;
    }
    return TRUE;
}

extern "C" BOOL WINAPI GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID *pOwner,
                                                  LPBOOL lpbOwnerDefaulted) {
    WINSIM_FAULT_RETURN("GetSecurityDescriptorOwner", FALSE);
    void *o, *g, *s, *d;
    if (!pOwner || !lpbOwnerDefaulted) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!PartPointers(pSecurityDescriptor, &o, &g, &s, &d)) return FALSE;
    *pOwner = o;
    *lpbOwnerDefaulted = (((SECURITY_DESCRIPTOR *)pSecurityDescriptor)->Control & SE_OWNER_DEFAULTED) != 0;
    return TRUE;
}

extern "C" BOOL WINAPI GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID *pGroup,
                                                  LPBOOL lpbGroupDefaulted) {
    WINSIM_FAULT_RETURN("GetSecurityDescriptorGroup", FALSE);
    void *o, *g, *s, *d;
    if (!pGroup || !lpbGroupDefaulted) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!PartPointers(pSecurityDescriptor, &o, &g, &s, &d)) return FALSE;
    *pGroup = g;
    *lpbGroupDefaulted = (((SECURITY_DESCRIPTOR *)pSecurityDescriptor)->Control & SE_GROUP_DEFAULTED) != 0;
    return TRUE;
}

extern "C" BOOL WINAPI MakeSelfRelativeSD(PSECURITY_DESCRIPTOR pAbsoluteSecurityDescriptor,
                                          PSECURITY_DESCRIPTOR pSelfRelativeSecurityDescriptor,
                                          LPDWORD lpdwBufferLength) {
    WINSIM_FAULT_RETURN("MakeSelfRelativeSD", FALSE);
    if (!pAbsoluteSecurityDescriptor || !lpdwBufferLength) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (IsSelfRelative(pAbsoluteSecurityDescriptor)) return Fail(FALSE, ERROR_BAD_DESCRIPTOR_FORMAT);
    SdParts p;
    DWORD error;
    if (!ParseSd(pAbsoluteSecurityDescriptor, p, error)) return Fail(FALSE, error);
    std::vector<BYTE> bytes = BuildSelfRelative(p);
    if (*lpdwBufferLength < bytes.size() || !pSelfRelativeSecurityDescriptor) {
        *lpdwBufferLength = (DWORD)bytes.size();
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(pSelfRelativeSecurityDescriptor, bytes.data(), bytes.size());
    *lpdwBufferLength = (DWORD)bytes.size();
    return TRUE;
}

extern "C" BOOL WINAPI MakeAbsoluteSD(PSECURITY_DESCRIPTOR pSelfRelativeSecurityDescriptor,
                                      PSECURITY_DESCRIPTOR pAbsoluteSecurityDescriptor,
                                      LPDWORD lpdwAbsoluteSecurityDescriptorSize, PACL pDacl, LPDWORD lpdwDaclSize,
                                      PACL pSacl, LPDWORD lpdwSaclSize, PSID pOwner, LPDWORD lpdwOwnerSize,
                                      PSID pPrimaryGroup, LPDWORD lpdwPrimaryGroupSize) {
    WINSIM_FAULT_RETURN("MakeAbsoluteSD", FALSE);
    if (!pSelfRelativeSecurityDescriptor || !lpdwAbsoluteSecurityDescriptorSize || !lpdwDaclSize || !lpdwSaclSize ||
        !lpdwOwnerSize || !lpdwPrimaryGroupSize)
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!IsSelfRelative(pSelfRelativeSecurityDescriptor)) return Fail(FALSE, ERROR_BAD_DESCRIPTOR_FORMAT);
    SdParts p;
    DWORD error;
    if (!ParseSd(pSelfRelativeSecurityDescriptor, p, error)) return Fail(FALSE, error);
    const DWORD need[5] = {(DWORD)sizeof(SECURITY_DESCRIPTOR), (DWORD)p.dacl.size(), (DWORD)p.sacl.size(),
                           (DWORD)p.owner.size(), (DWORD)p.group.size()};
    DWORD *have[5] = {lpdwAbsoluteSecurityDescriptorSize, lpdwDaclSize, lpdwSaclSize, lpdwOwnerSize,
                      lpdwPrimaryGroupSize};
    void *where[5] = {pAbsoluteSecurityDescriptor, pDacl, pSacl, pOwner, pPrimaryGroup};
    bool small = false;
    for (int i = 0; i < 5; ++i)
        if (*have[i] < need[i] || (need[i] && !where[i])) small = true;
    if (small) {
        for (int i = 0; i < 5; ++i) *have[i] = need[i];
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    SECURITY_DESCRIPTOR sd{};
    sd.Revision = SECURITY_DESCRIPTOR_REVISION;
    sd.Control = p.control;
    if (p.daclPresent) sd.Control |= SE_DACL_PRESENT;
    if (p.saclPresent) sd.Control |= SE_SACL_PRESENT;
    if (!p.dacl.empty()) memcpy(pDacl, p.dacl.data(), p.dacl.size());
    if (!p.sacl.empty()) memcpy(pSacl, p.sacl.data(), p.sacl.size());
    if (!p.owner.empty()) memcpy(pOwner, p.owner.data(), p.owner.size());
    if (!p.group.empty()) memcpy(pPrimaryGroup, p.group.data(), p.group.size());
    sd.Dacl = p.dacl.empty() ? nullptr : pDacl;
    sd.Sacl = p.sacl.empty() ? nullptr : pSacl;
    sd.Owner = p.owner.empty() ? nullptr : pOwner;
    sd.Group = p.group.empty() ? nullptr : pPrimaryGroup;
    memcpy(pAbsoluteSecurityDescriptor, &sd, sizeof sd);
    for (int i = 0; i < 5; ++i) *have[i] = need[i];
    return TRUE;
}

// ---- private object security -------------------------------------------------------------------
extern "C" void WINAPI MapGenericMask(PDWORD AccessMask, PGENERIC_MAPPING GenericMapping) {
    if (!AccessMask || !GenericMapping) return;
    DWORD m = *AccessMask;
    if (m & GENERIC_READ) m |= GenericMapping->GenericRead;
    if (m & GENERIC_WRITE) m |= GenericMapping->GenericWrite;
    if (m & GENERIC_EXECUTE) m |= GenericMapping->GenericExecute;
    if (m & GENERIC_ALL) m |= GenericMapping->GenericAll;
    *AccessMask = m & ~(DWORD)(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

// No parent descriptor is supported (the objects are not inherited into);
// owner and group default from the token, generic rights are mapped.
extern "C" BOOL WINAPI CreatePrivateObjectSecurity(PSECURITY_DESCRIPTOR ParentDescriptor,
                                                   PSECURITY_DESCRIPTOR CreatorDescriptor,
                                                   PSECURITY_DESCRIPTOR *NewDescriptor, BOOL IsDirectoryObject,
                                                   HANDLE Token, PGENERIC_MAPPING GenericMapping) {
    WINSIM_FAULT_RETURN("CreatePrivateObjectSecurity", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!NewDescriptor || !GenericMapping) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (ParentDescriptor) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    SdParts p;
    DWORD error;
    if (CreatorDescriptor && !ParseSd(CreatorDescriptor, p, error)) return Fail(FALSE, error);
    std::shared_ptr<TokenObject> token;
    if (p.owner.empty() || p.group.empty() || !p.daclPresent || (p.saclPresent && !p.saclNull)) {
        if (!Token) return Fail(FALSE, ERROR_NO_TOKEN);
        token = TokenOf(Token, TOKEN_QUERY, error);
        if (!token) return Fail(FALSE, error);
    }
    if (p.saclPresent && !p.saclNull) {
        auto it = token->privileges.find(8);
        if (it == token->privileges.end() || !it->second) return Fail(FALSE, ERROR_PRIVILEGE_NOT_HELD);
    }
    if (p.owner.empty()) p.owner = SidFromText(token->userSid);
    if (p.group.empty()) p.group = SidFromText(token->groupSid);
    if (!p.daclPresent) {
        // The token's default DACL: the system and the owner in full.
        std::vector<BYTE> system = SidFromText("S-1-5-18");
        std::vector<BYTE> acl(sizeof(ACL) + 2 * 8 + system.size() + p.owner.size());
        ACL header{ACL_REVISION, 0, (WORD)acl.size(), 0, 0};
        memcpy(acl.data(), &header, sizeof header);
        AddAce((PACL)acl.data(), ACL_REVISION, ACCESS_ALLOWED_ACE_TYPE, GENERIC_ALL, system.data());
        AddAce((PACL)acl.data(), ACL_REVISION, ACCESS_ALLOWED_ACE_TYPE, GENERIC_ALL, p.owner.data());
        p.dacl = acl;
        p.daclPresent = true;
    }
    MapAclMasks(p.dacl, GenericMapping);
    MapAclMasks(p.sacl, GenericMapping);
    p.control &= (WORD)~(SE_OWNER_DEFAULTED | SE_GROUP_DEFAULTED | SE_DACL_DEFAULTED | SE_SACL_DEFAULTED);
    (void)IsDirectoryObject;
    return StorePrivate(p, NewDescriptor);
}

extern "C" BOOL WINAPI SetPrivateObjectSecurity(SECURITY_INFORMATION SecurityInformation,
                                                PSECURITY_DESCRIPTOR ModificationDescriptor,
                                                PSECURITY_DESCRIPTOR *ObjectsSecurityDescriptor,
                                                PGENERIC_MAPPING GenericMapping, HANDLE Token) {
    WINSIM_FAULT_RETURN("SetPrivateObjectSecurity", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!ObjectsSecurityDescriptor || !GenericMapping) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    {
        std::lock_guard<std::mutex> b(BlockLock());
        if (!PrivateBlocks().count(*ObjectsSecurityDescriptor)) return Fail(FALSE, ERROR_INVALID_SECURITY_DESCR);
    }
    SdParts object, change;
    DWORD error;
    if (!ParseSd(*ObjectsSecurityDescriptor, object, error)) return Fail(FALSE, error);
    if (!ParseSd(ModificationDescriptor, change, error)) return Fail(FALSE, error);
    if (SecurityInformation & OWNER_SECURITY_INFORMATION) {
        if (change.owner.empty()) return Fail(FALSE, ERROR_INVALID_OWNER);
        object.owner = change.owner;
    }
    if (SecurityInformation & GROUP_SECURITY_INFORMATION) {
        if (change.group.empty()) return Fail(FALSE, ERROR_INVALID_PRIMARY_GROUP);
        object.group = change.group;
    }
    if (SecurityInformation & DACL_SECURITY_INFORMATION) {
        object.daclPresent = change.daclPresent;
        object.daclNull = change.daclNull;
        object.dacl = change.dacl;
        MapAclMasks(object.dacl, GenericMapping);
    }
    if (SecurityInformation & SACL_SECURITY_INFORMATION) {
        object.saclPresent = change.saclPresent;
        object.saclNull = change.saclNull;
        object.sacl = change.sacl;
        MapAclMasks(object.sacl, GenericMapping);
    }
    (void)Token;
    PSECURITY_DESCRIPTOR replaced;
    if (!StorePrivate(object, &replaced)) return FALSE;
    DropBlock(PrivateBlocks(), *ObjectsSecurityDescriptor);
    *ObjectsSecurityDescriptor = replaced;
    return TRUE;
}

extern "C" BOOL WINAPI GetPrivateObjectSecurity(PSECURITY_DESCRIPTOR ObjectDescriptor,
                                                SECURITY_INFORMATION SecurityInformation,
                                                PSECURITY_DESCRIPTOR ResultantDescriptor, DWORD DescriptorLength,
                                                PDWORD ReturnLength) {
    WINSIM_FAULT_RETURN("GetPrivateObjectSecurity", FALSE);
    if (!ReturnLength) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    SdParts object, out;
    DWORD error;
    if (!ParseSd(ObjectDescriptor, object, error)) return Fail(FALSE, error);
    if (SecurityInformation & OWNER_SECURITY_INFORMATION) out.owner = object.owner;
    if (SecurityInformation & GROUP_SECURITY_INFORMATION) out.group = object.group;
    if (SecurityInformation & DACL_SECURITY_INFORMATION) {
        out.daclPresent = object.daclPresent;
        out.daclNull = object.daclNull;
        out.dacl = object.dacl;
    }
    if (SecurityInformation & SACL_SECURITY_INFORMATION) {
        out.saclPresent = object.saclPresent;
        out.saclNull = object.saclNull;
        out.sacl = object.sacl;
    }
    std::vector<BYTE> bytes = BuildSelfRelative(out);
    *ReturnLength = (DWORD)bytes.size();
    if (DescriptorLength < bytes.size() || !ResultantDescriptor) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    memcpy(ResultantDescriptor, bytes.data(), bytes.size());
    return TRUE;
}

extern "C" BOOL WINAPI DestroyPrivateObjectSecurity(PSECURITY_DESCRIPTOR *ObjectDescriptor) {
    WINSIM_FAULT_RETURN("DestroyPrivateObjectSecurity", FALSE);
    if (!ObjectDescriptor || !DropBlock(PrivateBlocks(), *ObjectDescriptor))
        return Fail(FALSE, ERROR_INVALID_SECURITY_DESCR);
    *ObjectDescriptor = nullptr;
    return TRUE;
}

// ---- tokens ------------------------------------------------------------------------------------
extern "C" BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    WINSIM_FAULT_RETURN("OpenProcessToken", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!TokenHandle) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (ProcessHandle != GetCurrentProcess()) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    Machine &m = LocalMachine();
    auto token = std::make_shared<TokenObject>();
    token->machine = &m;
    token->access = DesiredAccess & MAXIMUM_ALLOWED ? (DWORD)TOKEN_ALL_ACCESS : DesiredAccess;
    ServerView v = LocalView();
    ResolvedAccount user;
    token->userSid = LookupName(v, m.userName, user) ? user.sid : m.machineSid + "-500";
    token->groupSid = (m.domain.empty() || m.domainSid.empty() ? m.machineSid : m.domainSid) + "-513";
    // Everyone, the primary group, the aliases that hold the user, and the
    // logon's own groups.
    token->groups = {"S-1-1-0", token->groupSid};
    for (auto &alias : m.aliasMembers)
        if (alias.second.count(token->userSid)) token->groups.push_back(alias.first);
    token->groups.push_back("S-1-5-4");
    token->groups.push_back("S-1-5-11");
    for (const std::string &name : m.privileges)
        for (const PrivilegeName &pn : kPrivileges)
            if (EqualNoCase(pn.name, name)) token->privileges[pn.luid] = false;
    *TokenHandle = NewHandle(token);
    return TRUE;
}

extern "C" BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                             PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                             PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
    WINSIM_FAULT_RETURN("AdjustTokenPrivileges", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    DWORD error;
    auto token = TokenOf(TokenHandle, TOKEN_ADJUST_PRIVILEGES, error);
    if (!token) return Fail(FALSE, error);
    if (PreviousState) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    (void)BufferLength;
    (void)ReturnLength;
    if (DisableAllPrivileges) {
        for (auto &p : token->privileges) p.second = false;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (!NewState) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    bool all = true;
    for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES &la = NewState->Privileges[i];
        auto it = la.Luid.HighPart == 0 ? token->privileges.find(la.Luid.LowPart) : token->privileges.end();
        if (it == token->privileges.end()) {
            all = false;
            continue;
        }
        it->second = (la.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    // Success either way; the last error tells whether every privilege was held.
    SetLastError(all ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

extern "C" BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
    WINSIM_FAULT_RETURN("LookupPrivilegeValueA", FALSE);
    if (!lpName || !lpLuid) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (lpSystemName && *lpSystemName) {
        ServerView v;
        if (!ResolveServer(lpSystemName, v)) return Fail(FALSE, RPC_S_SERVER_UNAVAILABLE);
    }
    for (const PrivilegeName &pn : kPrivileges)
        if (EqualNoCase(pn.name, lpName)) {
            lpLuid->LowPart = pn.luid;
            lpLuid->HighPart = 0;
            return TRUE;
        }
    return Fail(FALSE, ERROR_NO_SUCH_PRIVILEGE);
}

// ---- token information, impersonation, access checks -------------------------------------------
extern "C" BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                           LPVOID TokenInformation, DWORD TokenInformationLength,
                                           PDWORD ReturnLength) {
    WINSIM_FAULT_RETURN("GetTokenInformation", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!ReturnLength) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    DWORD error;
    auto token = TokenOf(TokenHandle, TOKEN_QUERY, error);
    if (!token) return Fail(FALSE, error);
    std::vector<std::string> sids;
    size_t header;
    if (TokenInformationClass == TokenUser) {
        sids = {token->userSid};
        header = sizeof(TOKEN_USER);
    } else if (TokenInformationClass == TokenGroups) {
        sids = token->groups;
        header = offsetof(TOKEN_GROUPS, Groups) + sids.size() * sizeof(SID_AND_ATTRIBUTES);
    } else {
        return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    }
    // The records first, the SIDs they point to after them.
    std::vector<std::vector<BYTE>> bytes;
    size_t need = header;
    for (const std::string &t : sids) {
        bytes.push_back(SidFromText(t));
        need += bytes.back().size();
    }
    *ReturnLength = (DWORD)need;
    if (TokenInformationLength < need || !TokenInformation) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    BYTE *base = (BYTE *)TokenInformation;
    SID_AND_ATTRIBUTES *entries;
    if (TokenInformationClass == TokenUser) {
        entries = &((TOKEN_USER *)base)->User;
    } else {
        ((TOKEN_GROUPS *)base)->GroupCount = (DWORD)sids.size();
        entries = ((TOKEN_GROUPS *)base)->Groups;
    }
    BYTE *at = base + header;
    for (size_t i = 0; i < bytes.size(); ++i) {
        memcpy(at, bytes[i].data(), bytes[i].size());
        entries[i].Sid = at;
        entries[i].Attributes = TokenInformationClass == TokenUser
                                    ? 0
                                    : (DWORD)(SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED);
        at += bytes[i].size();
    }
    return TRUE;
}

extern "C" BOOL WINAPI ImpersonateSelf(SECURITY_IMPERSONATION_LEVEL ImpersonationLevel) {
    WINSIM_FAULT_RETURN("ImpersonateSelf", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if ((int)ImpersonationLevel < SecurityAnonymous || (int)ImpersonationLevel > SecurityDelegation)
        return Fail(FALSE, ERROR_BAD_IMPERSONATION_LEVEL);
    HANDLE process;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process)) return FALSE;
    DWORD error;
    auto token = TokenCopy(*TokenOf(process, 0, error), TOKEN_ALL_ACCESS);
    ReleaseHandle(process);
    token->impersonation = true;
    token->level = ImpersonationLevel;
    ThreadImpersonation() = token;
    return TRUE;
}

extern "C" BOOL WINAPI OpenThreadToken(HANDLE ThreadHandle, DWORD DesiredAccess, BOOL OpenAsSelf,
                                       PHANDLE TokenHandle) {
    WINSIM_FAULT_RETURN("OpenThreadToken", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!TokenHandle) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (ThreadHandle != GetCurrentThread()) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    (void)OpenAsSelf;
    const std::shared_ptr<TokenObject> &token = ThreadImpersonation();
    if (!token) return Fail(FALSE, ERROR_NO_TOKEN);
    if (token->level == SecurityAnonymous) return Fail(FALSE, ERROR_CANT_OPEN_ANONYMOUS);
    *TokenHandle = NewHandle(TokenCopy(*token, DesiredAccess));
    return TRUE;
}

extern "C" BOOL WINAPI RevertToSelf(void) {
    WINSIM_FAULT_RETURN("RevertToSelf", FALSE);
    ThreadImpersonation().reset();
    return TRUE;
}

// The discretionary access list decides, entry by entry in order: a denied
// right stays denied, the owner may always read and change the list.
extern "C" BOOL WINAPI AccessCheck(PSECURITY_DESCRIPTOR pSecurityDescriptor, HANDLE ClientToken, DWORD DesiredAccess,
                                   PGENERIC_MAPPING GenericMapping, PPRIVILEGE_SET PrivilegeSet,
                                   LPDWORD PrivilegeSetLength, LPDWORD GrantedAccess, LPBOOL AccessStatus) {
    WINSIM_FAULT_RETURN("AccessCheck", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!GenericMapping || !PrivilegeSetLength || !GrantedAccess || !AccessStatus)
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    DWORD error;
    auto token = TokenOf(ClientToken, TOKEN_QUERY, error);
    if (!token) return Fail(FALSE, error);
    if (!token->impersonation) return Fail(FALSE, ERROR_NO_IMPERSONATION_TOKEN);
    if (token->level < SecurityIdentification) return Fail(FALSE, ERROR_BAD_IMPERSONATION_LEVEL);
    if (DesiredAccess & (GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL))
        return Fail(FALSE, ERROR_GENERIC_NOT_MAPPED);
    SdParts p;
    if (!ParseSd(pSecurityDescriptor, p, error)) return Fail(FALSE, error);
    if (p.owner.empty() || p.group.empty()) return Fail(FALSE, ERROR_INVALID_SECURITY_DESCR);
    if (*PrivilegeSetLength < sizeof(PRIVILEGE_SET) || !PrivilegeSet) {
        *PrivilegeSetLength = sizeof(PRIVILEGE_SET);
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    PrivilegeSet->PrivilegeCount = 0;
    PrivilegeSet->Control = 0;
    std::set<std::string> mine(token->groups.begin(), token->groups.end());
    mine.insert(token->userSid);
    DWORD wanted = DesiredAccess;
    bool maximum = (wanted & MAXIMUM_ALLOWED) != 0;
    wanted &= ~(DWORD)MAXIMUM_ALLOWED;
    DWORD granted = 0, denied = 0;
    if (mine.count(SidToText(p.owner.data()))) granted |= READ_CONTROL | WRITE_DAC;
    if (p.daclPresent && !p.daclNull) {
        const ACL *acl = (const ACL *)p.dacl.data();
        for (DWORD i = 0; i < acl->AceCount; ++i) {
            const ACE_HEADER *h = (const ACE_HEADER *)AceAt(acl, i);
            if (h->AceType != ACCESS_ALLOWED_ACE_TYPE && h->AceType != ACCESS_DENIED_ACE_TYPE) continue;
            if (!mine.count(SidToText((const BYTE *)h + 8))) continue;
            DWORD mask;
            memcpy(&mask, (const BYTE *)h + 4, 4);
            MapGenericMask(&mask, GenericMapping);
            if (h->AceType == ACCESS_DENIED_ACE_TYPE)
                denied |= mask & ~granted;
            else
                granted |= mask & ~denied;
        }
    } else {
        granted = GenericMapping->GenericAll | STANDARD_RIGHTS_ALL;
    }
    DWORD result = maximum ? granted : wanted;
    bool ok = (wanted & granted) == wanted && result != 0;
    *AccessStatus = ok ? TRUE : FALSE;
    *GrantedAccess = ok ? result : 0;
    SetLastError(ok ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
    return TRUE;
}

// ---- process heap ------------------------------------------------------------------------------
namespace {
// The heap's handle without the fault gate: the heap functions' own check
// neither counts as the program's call nor takes a failure meant for it.
HANDLE TheProcessHeap() {
    static int heap;
    return (HANDLE)&heap;
}
}  // namespace

extern "C" HANDLE WINAPI GetProcessHeap(void) {
    WINSIM_FAULT_RETURN("GetProcessHeap", (HANDLE) nullptr);
    return TheProcessHeap();
}

extern "C" LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    WINSIM_FAULT_RETURN("HeapAlloc", (LPVOID) nullptr);
    if (hHeap != TheProcessHeap()) return Fail<LPVOID>(nullptr, ERROR_INVALID_HANDLE);
    void *p = KeepBlock(HeapBlocks(), nullptr, dwBytes);
    if (!p) return Fail<LPVOID>(nullptr, ERROR_NOT_ENOUGH_MEMORY);
    if (dwFlags & HEAP_ZERO_MEMORY) memset(p, 0, dwBytes);
    return p;
}

extern "C" BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
    WINSIM_FAULT_RETURN("HeapFree", FALSE);
    if (hHeap != TheProcessHeap()) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!lpMem) return TRUE;
    if (!DropBlock(HeapBlocks(), lpMem)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    return TRUE;
}
