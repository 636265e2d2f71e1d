// Network management (workstation and server information, shares, domain
// controllers) and the Local Security Authority (policy information,
// trusted domains), over the machines of the world and what the local
// machine's description says about its domain.
#include "security_internal.h"
#include "sim_helpers.h"

#include <lm.h>
#include <ntsecapi.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <set>

namespace winsim {

bool ResolveServer(const std::string &nameIn, ServerView &out) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::string name = nameIn;
    while (!name.empty() && name[0] == '\\') name.erase(0, 1);
    Machine &local = LocalMachine();
    Machine *m = name.empty() ? &local : FindMachine(name);
    out = ServerView();
    if (m) {
        out.machine = m;
        out.name = m->name;
        out.isDc = m->productType == VER_NT_DOMAIN_CONTROLLER;
        out.isPdc = out.isDc && (m->domainControllers.empty() || EqualNoCase(m->domainControllers[0], m->name));
        out.isServer = m->productType != VER_NT_WORKSTATION;
        out.domain = m->domain;
        out.workgroup = m->workgroup;
        out.domainSid = m->domainSid;
        if (out.isDc) out.trusted = m->trustedDomains;
        out.major = m->majorVersion;
        out.minor = m->minorVersion;
        return true;
    }
    // A controller of the local machine's domain that is not simulated on its
    // own: the local machine's description answers for it.
    if (local.domain.empty()) return false;
    for (size_t i = 0; i < local.domainControllers.size(); ++i) {
        if (!EqualNoCase(local.domainControllers[i], name)) continue;
        out.machine = &local;
        out.described = true;
        out.name = Upper(local.domainControllers[i]);
        out.isDc = true;
        out.isPdc = i == 0;
        out.isServer = true;
        out.domain = local.domain;
        out.domainSid = local.domainSid;
        out.trusted = local.trustedDomains;
        out.major = local.majorVersion;
        out.minor = local.minorVersion;
        return true;
    }
    return false;
}

namespace {

// ---- buffers handed to callers --------------------------------------------------------
std::mutex &BufferLock() {
    static std::mutex *m = new std::mutex();
    return *m;
}
std::set<void *> &NetBuffers() {
    static std::set<void *> *s = new std::set<void *>();
    return *s;
}
std::set<void *> &LsaBuffers() {
    static std::set<void *> *s = new std::set<void *>();
    return *s;
}
const char *BufferKind(const std::set<void *> &owner) { return &owner == &LsaBuffers() ? "LsaMemory" : "NetBuffer"; }

// One block: fixed records first, then the texts and descriptors they point to.
class Packer {
public:
    explicit Packer(size_t fixed) : fixed_(fixed) {}
    // Reserves room; returns the offset of the piece.
    size_t Add(const void *data, size_t size) {
        size_t at = fixed_ + tail_.size();
        const BYTE *b = (const BYTE *)data;
        tail_.insert(tail_.end(), b, b + size);
        while (tail_.size() % sizeof(void *)) tail_.push_back(0);
        return at;
    }
    size_t AddText(const std::string &s) {
        WString w = Widen(s);
        w.push_back(0);
        return Add(w.data(), w.size() * sizeof(WCHAR));
    }
    size_t Size() const { return fixed_ + tail_.size(); }
    BYTE *Finish(std::set<void *> &owner) {
        BYTE *p = (BYTE *)calloc(Size(), 1);
        if (!p) return nullptr;
        if (!tail_.empty()) memcpy(p + fixed_, tail_.data(), tail_.size());
        NoteOpen(BufferKind(owner), (uintptr_t)p);
        std::lock_guard<std::mutex> g(BufferLock());
        owner.insert(p);
        return p;
    }

private:
    size_t fixed_;
    std::vector<BYTE> tail_;
};

BYTE *NewBuffer(std::set<void *> &owner, size_t size) {
    BYTE *p = (BYTE *)calloc(size ? size : 1, 1);
    if (!p) return nullptr;
    NoteOpen(BufferKind(owner), (uintptr_t)p);
    std::lock_guard<std::mutex> g(BufferLock());
    owner.insert(p);
    return p;
}

bool FreeBuffer(std::set<void *> &owner, void *p) {
    {
        std::lock_guard<std::mutex> g(BufferLock());
        if (!owner.erase(p)) return false;
    }
    NoteClosed(BufferKind(owner), (uintptr_t)p);
    free(p);
    return true;
}

std::string ServerArg(LPCWSTR servername) { return Narrow(servername); }

// ---- shares ----------------------------------------------------------------------------
NET_API_STATUS ShareServer(LMSTR servername, Machine *&m) {
    ServerView v;
    if (!ResolveServer(ServerArg(servername), v)) return ERROR_BAD_NETPATH;
    if (v.described) return ERROR_BAD_NETPATH;  // nothing is known of its shares
    m = v.machine;
    return NERR_Success;
}

// Shares with a disk path must name an existing folder of the machine.
bool FolderExists(const Machine &m, const std::string &path) {
    std::string host;
    std::error_code ec;
    return m.HostPath(path, host) && std::filesystem::is_directory(host, ec);
}

bool StoreDescriptor(PSECURITY_DESCRIPTOR sd, std::vector<BYTE> &out) {
    if (!sd) {
        out.clear();
        return true;
    }
    SdParts p;
    DWORD error;
    if (!ParseSd(sd, p, error)) return false;
    out = BuildSelfRelative(p);
    return true;
}

LPBYTE PackShares(const std::vector<const Share *> &shares, DWORD level) {
    size_t record = level == 1 ? sizeof(SHARE_INFO_1) : level == 2 ? sizeof(SHARE_INFO_2) : sizeof(SHARE_INFO_502);
    Packer pk(record * shares.size());
    struct Offsets {
        size_t net, remark, path, sd;
    };
    std::vector<Offsets> off;
    for (const Share *s : shares) {
        Offsets o{};
        o.net = pk.AddText(s->netname);
        o.remark = pk.AddText(s->remark);
        o.path = pk.AddText(s->path);
        o.sd = (level == 502 && !s->securityDescriptor.empty())
                   ? pk.Add(s->securityDescriptor.data(), s->securityDescriptor.size())
                   : 0;
        off.push_back(o);
    }
    BYTE *p = pk.Finish(NetBuffers());
    if (!p) return nullptr;
    for (size_t i = 0; i < shares.size(); ++i) {
        const Share &s = *shares[i];
        const Offsets &o = off[i];
        LMSTR net = (LMSTR)(p + o.net), remark = (LMSTR)(p + o.remark), path = (LMSTR)(p + o.path);
        if (level == 1) {
            SHARE_INFO_1 *r = (SHARE_INFO_1 *)p + i;
            r->shi1_netname = net;
            r->shi1_type = s.type;
            r->shi1_remark = remark;
        } else if (level == 2) {
            SHARE_INFO_2 *r = (SHARE_INFO_2 *)p + i;
            *r = SHARE_INFO_2{net, s.type, remark, s.permissions, s.maxUses, s.currentUses, path, nullptr};
        } else {
            SHARE_INFO_502 *r = (SHARE_INFO_502 *)p + i;
            *r = SHARE_INFO_502{net,  s.type, remark, s.permissions, s.maxUses, s.currentUses, path, nullptr, 0,
                                o.sd ? (PSECURITY_DESCRIPTOR)(p + o.sd) : nullptr};
        }
    }
    return p;
}

// ---- LSA policies ----------------------------------------------------------------------------
std::shared_ptr<PolicyObject> PolicyOf(LSA_HANDLE h) { return HandleAs<PolicyObject>((HANDLE)h); }

// A domain's SID, stable for its name, for trusted domains nobody describes.
std::string TrustSid(const std::string &domain) {
    unsigned long h = 5381;
    for (char c : Upper(domain)) h = h * 33 + (unsigned char)c;
    return "S-1-5-21-" + std::to_string(h % 1000000000ul) + "-" + std::to_string(domain.size()) + "-7";
}

}  // namespace

BYTE *NewNetBuffer(size_t size) { return NewBuffer(NetBuffers(), size); }
BYTE *NewLsaBuffer(size_t size) { return NewBuffer(LsaBuffers(), size); }

// ---- control API ------------------------------------------------------------------------------
std::vector<ShareAccessEntry> ShareAccessList(const Machine &m, const std::string &netname) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = m.shares.find(netname);
    if (it == m.shares.end()) throw std::out_of_range("winsim: " + m.name + " has no share " + netname);
    std::vector<ShareAccessEntry> out;
    if (it->second.securityDescriptor.empty()) return out;
    SdParts p;
    DWORD error;
    const std::vector<BYTE> &stored = it->second.securityDescriptor;
    if (!ParseStoredSd(stored.data(), stored.size(), p, error) || p.dacl.empty()) return out;
    const ACL *acl = (const ACL *)p.dacl.data();
    const BYTE *ace = p.dacl.data() + sizeof(ACL);
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        const ACE_HEADER *h = (const ACE_HEADER *)ace;
        if (h->AceType == ACCESS_ALLOWED_ACE_TYPE || h->AceType == ACCESS_DENIED_ACE_TYPE) {
            ShareAccessEntry e;
            e.allow = h->AceType == ACCESS_ALLOWED_ACE_TYPE;
            memcpy(&e.mask, ace + 4, 4);
            e.account = AccountNameOfSid(m, SidToText(ace + 8));
            out.push_back(e);
        }
        ace += h->AceSize;
    }
    return out;
}

std::vector<std::string> DescribeShares(const Machine &m) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::vector<std::string> lines;
    for (auto &kv : m.shares) {
        const Share &s = kv.second;
        lines.push_back(s.netname + " " + (s.path.empty() ? std::string("-") : s.path) + " \"" + s.remark + "\"");
        if (s.securityDescriptor.empty()) {
            lines.push_back("  (no access list: everyone has full access)");
            continue;
        }
        for (const ShareAccessEntry &e : ShareAccessList(m, s.netname)) {
            char mask[16];
            snprintf(mask, sizeof mask, "0x%08X", (unsigned)e.mask);
            lines.push_back(std::string("  ") + (e.allow ? "allow " : "deny ") + e.account + " " + mask);
        }
    }
    return lines;
}

}  // namespace winsim

using namespace winsim;

// ---- buffers ------------------------------------------------------------------------------------
extern "C" NET_API_STATUS NET_API_FUNCTION NetApiBufferAllocate(DWORD ByteCount, LPVOID *Buffer) {
    WINSIM_FAULT_RETURN_CODE("NetApiBufferAllocate");
    if (!Buffer) return ERROR_INVALID_PARAMETER;
    *Buffer = NewNetBuffer(ByteCount);
    return *Buffer ? NERR_Success : (NET_API_STATUS)ERROR_NOT_ENOUGH_MEMORY;
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID Buffer) {
    WINSIM_FAULT_RETURN_CODE("NetApiBufferFree");
    if (!Buffer) return NERR_Success;
    return FreeBuffer(NetBuffers(), Buffer) ? NERR_Success : (NET_API_STATUS)ERROR_INVALID_PARAMETER;
}

// ---- workstation and server ----------------------------------------------------------------------
extern "C" NET_API_STATUS NET_API_FUNCTION NetWkstaGetInfo(LMSTR servername, DWORD level, LPBYTE *bufptr) {
    WINSIM_FAULT_RETURN_CODE("NetWkstaGetInfo");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!bufptr) return ERROR_INVALID_PARAMETER;
    if (level != 100) return ERROR_INVALID_LEVEL;
    ServerView v;
    if (!ResolveServer(ServerArg(servername), v)) return ERROR_BAD_NETPATH;
    Packer pk(sizeof(WKSTA_INFO_100));
    size_t name = pk.AddText(v.name);
    size_t group = pk.AddText(v.domain.empty() ? v.workgroup : v.domain);
    BYTE *p = pk.Finish(NetBuffers());
    if (!p) return ERROR_NOT_ENOUGH_MEMORY;
    *(WKSTA_INFO_100 *)p = WKSTA_INFO_100{PLATFORM_ID_NT, (LMSTR)(p + name), (LMSTR)(p + group), v.major, v.minor};
    *bufptr = p;
    return NERR_Success;
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetServerGetInfo(LMSTR servername, DWORD level, LPBYTE *bufptr) {
    WINSIM_FAULT_RETURN_CODE("NetServerGetInfo");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!bufptr) return ERROR_INVALID_PARAMETER;
    if (level != 101) return ERROR_INVALID_LEVEL;
    ServerView v;
    if (!ResolveServer(ServerArg(servername), v)) return ERROR_BAD_NETPATH;
    DWORD type = SV_TYPE_WORKSTATION | SV_TYPE_SERVER | SV_TYPE_NT | SV_TYPE_POTENTIAL_BROWSER;
    if (v.isServer) type |= SV_TYPE_SERVER_NT;
    if (v.isDc) type |= v.isPdc ? SV_TYPE_DOMAIN_CTRL : SV_TYPE_DOMAIN_BAKCTRL;
    Packer pk(sizeof(SERVER_INFO_101));
    size_t name = pk.AddText(v.name);
    size_t comment = pk.AddText("");
    BYTE *p = pk.Finish(NetBuffers());
    if (!p) return ERROR_NOT_ENOUGH_MEMORY;
    *(SERVER_INFO_101 *)p =
        SERVER_INFO_101{PLATFORM_ID_NT, (LMSTR)(p + name), v.major, v.minor, type, (LMSTR)(p + comment)};
    *bufptr = p;
    return NERR_Success;
}

// ---- shares -----------------------------------------------------------------------------------------
extern "C" NET_API_STATUS NET_API_FUNCTION NetShareAdd(LMSTR servername, DWORD level, LPBYTE buf, LPDWORD parm_err) {
    WINSIM_FAULT_RETURN_CODE("NetShareAdd");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (level != 2 && level != 502) return ERROR_INVALID_LEVEL;
    if (!buf) return ERROR_INVALID_PARAMETER;
    Machine *m = nullptr;
    if (NET_API_STATUS st = ShareServer(servername, m)) return st;
    const SHARE_INFO_2 *i2 = (const SHARE_INFO_2 *)buf;  // 502 begins like 2
    auto bad = [&](DWORD parm) -> NET_API_STATUS {
        if (parm_err) *parm_err = parm;
        return ERROR_INVALID_PARAMETER;
    };
    std::string netname = Narrow(i2->shi2_netname);
    if (netname.empty() || netname.size() > NNLEN) return bad(SHARE_NETNAME_PARMNUM);
    Share s;
    s.netname = netname;
    s.type = i2->shi2_type;
    s.remark = Narrow(i2->shi2_remark);
    s.permissions = i2->shi2_permissions;
    s.maxUses = i2->shi2_max_uses;
    s.path = Narrow(i2->shi2_path);
    s.password = Narrow(i2->shi2_passwd);
    if ((s.type & ~STYPE_SPECIAL & ~STYPE_TEMPORARY) == STYPE_DISKTREE) {
        std::string full;
        if (s.path.empty() || !NormalizeWindowsPath(*m, s.path, full)) return bad(SHARE_PATH_PARMNUM);
        if (!FolderExists(*m, full)) return NERR_UnknownDevDir;
    }
    if (level == 502 && !StoreDescriptor(((const SHARE_INFO_502 *)buf)->shi502_security_descriptor,
                                         s.securityDescriptor))
        return bad(SHARE_FILE_SD_PARMNUM);
    if (m->shares.count(netname)) return NERR_DuplicateShare;
    m->shares[netname] = s;
    return NERR_Success;
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetShareGetInfo(LMSTR servername, LMSTR netname, DWORD level,
                                                           LPBYTE *bufptr) {
    WINSIM_FAULT_RETURN_CODE("NetShareGetInfo");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (level != 1 && level != 2 && level != 502) return ERROR_INVALID_LEVEL;
    if (!netname || !bufptr) return ERROR_INVALID_PARAMETER;
    Machine *m = nullptr;
    if (NET_API_STATUS st = ShareServer(servername, m)) return st;
    auto it = m->shares.find(Narrow(netname));
    if (it == m->shares.end()) return NERR_NetNameNotFound;
    LPBYTE p = PackShares({&it->second}, level);
    if (!p) return ERROR_NOT_ENOUGH_MEMORY;
    *bufptr = p;
    return NERR_Success;
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetShareSetInfo(LMSTR servername, LMSTR netname, DWORD level, LPBYTE buf,
                                                           LPDWORD parm_err) {
    WINSIM_FAULT_RETURN_CODE("NetShareSetInfo");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (level != 1501) return ERROR_INVALID_LEVEL;
    if (!netname || !buf) return ERROR_INVALID_PARAMETER;
    Machine *m = nullptr;
    if (NET_API_STATUS st = ShareServer(servername, m)) return st;
    auto it = m->shares.find(Narrow(netname));
    if (it == m->shares.end()) return NERR_NetNameNotFound;
    std::vector<BYTE> sd;
    if (!StoreDescriptor(((const SHARE_INFO_1501 *)buf)->shi1501_security_descriptor, sd)) {
        if (parm_err) *parm_err = SHARE_FILE_SD_PARMNUM;
        return ERROR_INVALID_PARAMETER;
    }
    it->second.securityDescriptor = sd;
    return NERR_Success;
}

extern "C" NET_API_STATUS NET_API_FUNCTION NetShareDel(LMSTR servername, LMSTR netname, DWORD reserved) {
    WINSIM_FAULT_RETURN_CODE("NetShareDel");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!netname || reserved) return ERROR_INVALID_PARAMETER;
    Machine *m = nullptr;
    if (NET_API_STATUS st = ShareServer(servername, m)) return st;
    if (!m->shares.erase(Narrow(netname))) return NERR_NetNameNotFound;
    return NERR_Success;
}

// Pages by the preferred length: at least one entry per call, ERROR_MORE_DATA
// while entries remain, the resume handle counting entries handed out.
extern "C" NET_API_STATUS NET_API_FUNCTION NetShareEnum(LMSTR servername, DWORD level, LPBYTE *bufptr,
                                                        DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                                        LPDWORD resume_handle) {
    WINSIM_FAULT_RETURN_CODE("NetShareEnum");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (level != 1 && level != 2 && level != 502) return ERROR_INVALID_LEVEL;
    if (!bufptr || !entriesread || !totalentries) return ERROR_INVALID_PARAMETER;
    Machine *m = nullptr;
    if (NET_API_STATUS st = ShareServer(servername, m)) return st;
    // Another machine answers levels 2 and 502 (paths, permissions) to its
    // administrators only.
    if (DWORD e = RemoteAccess(*m, level != 1)) return e;
    std::vector<const Share *> all;
    for (auto &kv : m->shares) all.push_back(&kv.second);
    size_t start = resume_handle ? *resume_handle : 0;
    if (start > all.size()) start = all.size();
    std::vector<const Share *> page;
    size_t used = 0;
    for (size_t i = start; i < all.size(); ++i) {
        std::vector<const Share *> one{all[i]};
        size_t size = (level == 2 ? sizeof(SHARE_INFO_2) : sizeof(SHARE_INFO_502)) +
                      2 * (all[i]->netname.size() + all[i]->remark.size() + all[i]->path.size() + 3) +
                      all[i]->securityDescriptor.size();
        if (!page.empty() && prefmaxlen != MAX_PREFERRED_LENGTH && used + size > prefmaxlen) break;
        page.push_back(all[i]);
        used += size;
    }
    *totalentries = (DWORD)(all.size() - start);
    *entriesread = (DWORD)page.size();
    *bufptr = nullptr;
    if (!page.empty()) {
        *bufptr = PackShares(page, level);
        if (!*bufptr) return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (resume_handle) *resume_handle = (DWORD)(start + page.size());
    return start + page.size() < all.size() ? (NET_API_STATUS)ERROR_MORE_DATA : NERR_Success;
}

// ---- domain controllers -------------------------------------------------------------------------------
extern "C" NET_API_STATUS NET_API_FUNCTION NetGetDCName(LPCWSTR servername, LPCWSTR domainname, LPBYTE *bufptr) {
    WINSIM_FAULT_RETURN_CODE("NetGetDCName");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!bufptr) return ERROR_INVALID_PARAMETER;
    ServerView v;
    if (!ResolveServer(ServerArg(servername), v)) return ERROR_BAD_NETPATH;
    std::string domain = domainname && *domainname ? Narrow(domainname) : v.domain;
    if (domain.empty() || !EqualNoCase(domain, v.domain)) return NERR_DCNotFound;
    std::string dc;
    if (v.isPdc)
        dc = v.name;
    else if (!v.machine->domainControllers.empty())
        dc = v.machine->domainControllers[0];
    if (dc.empty()) return NERR_DCNotFound;
    Packer pk(0);
    size_t at = pk.AddText("\\\\" + Upper(dc));
    BYTE *p = pk.Finish(NetBuffers());
    if (!p) return ERROR_NOT_ENOUGH_MEMORY;
    *bufptr = p + at;
    return NERR_Success;
}

// ---- LSA ----------------------------------------------------------------------------------------------
extern "C" NTSTATUS NTAPI LsaOpenPolicy(PLSA_UNICODE_STRING SystemName, PLSA_OBJECT_ATTRIBUTES ObjectAttributes,
                                        ACCESS_MASK DesiredAccess, PLSA_HANDLE PolicyHandle) {
    if (DWORD f = TakeFault("LsaOpenPolicy")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!ObjectAttributes || !PolicyHandle) return STATUS_INVALID_PARAMETER;
    std::string name;
    if (SystemName && SystemName->Buffer) {
        WString w(SystemName->Buffer, SystemName->Length / sizeof(WCHAR));
        name = Narrow(w.c_str());
    }
    auto policy = std::make_shared<PolicyObject>();
    if (!ResolveServer(name, policy->view)) return RPC_NT_SERVER_UNAVAILABLE;
    policy->access = DesiredAccess;
    *PolicyHandle = (LSA_HANDLE)NewHandle(policy);
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI LsaQueryInformationPolicy(LSA_HANDLE PolicyHandle, POLICY_INFORMATION_CLASS InformationClass,
                                                    PVOID *Buffer) {
    if (DWORD f = TakeFault("LsaQueryInformationPolicy")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto policy = PolicyOf(PolicyHandle);
    if (!policy) return STATUS_INVALID_HANDLE;
    if (!Buffer) return STATUS_INVALID_PARAMETER;
    if (InformationClass != PolicyPrimaryDomainInformation && InformationClass != PolicyAccountDomainInformation)
        return STATUS_NOT_IMPLEMENTED;
    if (!(policy->access & POLICY_VIEW_LOCAL_INFORMATION)) return STATUS_ACCESS_DENIED;
    const ServerView &v = policy->view;
    std::string name, sid;
    if (InformationClass == PolicyPrimaryDomainInformation) {
        name = v.domain.empty() ? v.workgroup : v.domain;
        sid = v.domain.empty() ? std::string() : v.domainSid;
    } else {
        name = v.AccountDomain();
        sid = v.AccountDomainSid();
    }
    // Both records are a name and a SID.
    Packer pk(sizeof(POLICY_PRIMARY_DOMAIN_INFO));
    WString w = Widen(name);
    size_t text = pk.Add(w.c_str(), (w.size() + 1) * sizeof(WCHAR));
    std::vector<BYTE> sidBytes = SidFromText(sid);
    size_t sidAt = sidBytes.empty() ? 0 : pk.Add(sidBytes.data(), sidBytes.size());
    BYTE *p = pk.Finish(LsaBuffers());
    if (!p) return STATUS_NO_MEMORY;
    POLICY_PRIMARY_DOMAIN_INFO *info = (POLICY_PRIMARY_DOMAIN_INFO *)p;
    info->Name.Length = (USHORT)(w.size() * sizeof(WCHAR));
    info->Name.MaximumLength = (USHORT)((w.size() + 1) * sizeof(WCHAR));
    info->Name.Buffer = (PWSTR)(p + text);
    info->Sid = sidAt ? (PSID)(p + sidAt) : nullptr;
    *Buffer = p;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI LsaEnumerateTrustedDomains(LSA_HANDLE PolicyHandle, PLSA_ENUMERATION_HANDLE EnumerationContext,
                                                     PVOID *Buffer, ULONG PreferedMaximumLength,
                                                     PULONG CountReturned) {
    if (DWORD f = TakeFault("LsaEnumerateTrustedDomains")) return (NTSTATUS)f;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto policy = PolicyOf(PolicyHandle);
    if (!policy) return STATUS_INVALID_HANDLE;
    if (!EnumerationContext || !Buffer || !CountReturned) return STATUS_INVALID_PARAMETER;
    if (!(policy->access & POLICY_VIEW_LOCAL_INFORMATION)) return STATUS_ACCESS_DENIED;
    const std::vector<std::string> &trusted = policy->view.trusted;
    size_t start = *EnumerationContext;
    *Buffer = nullptr;
    *CountReturned = 0;
    if (start >= trusted.size()) return STATUS_NO_MORE_ENTRIES;
    size_t end = start, used = 0;
    while (end < trusted.size()) {
        size_t size = sizeof(LSA_TRUST_INFORMATION) + 2 * (trusted[end].size() + 1) + 28;
        if (end > start && used + size > PreferedMaximumLength) break;
        used += size;
        ++end;
    }
    Packer pk(sizeof(LSA_TRUST_INFORMATION) * (end - start));
    std::vector<std::pair<size_t, size_t>> at;
    for (size_t i = start; i < end; ++i) {
        size_t text = pk.AddText(trusted[i]);
        std::vector<BYTE> sid = SidFromText(TrustSid(trusted[i]));
        at.emplace_back(text, pk.Add(sid.data(), sid.size()));
    }
    BYTE *p = pk.Finish(LsaBuffers());
    if (!p) return STATUS_NO_MEMORY;
    for (size_t i = start; i < end; ++i) {
        LSA_TRUST_INFORMATION *t = (LSA_TRUST_INFORMATION *)p + (i - start);
        size_t chars = Widen(trusted[i]).size();
        t->Name.Length = (USHORT)(chars * sizeof(WCHAR));
        t->Name.MaximumLength = (USHORT)((chars + 1) * sizeof(WCHAR));
        t->Name.Buffer = (PWSTR)(p + at[i - start].first);
        t->Sid = (PSID)(p + at[i - start].second);
    }
    *Buffer = p;
    *CountReturned = (ULONG)(end - start);
    *EnumerationContext = (ULONG)end;
    return end < trusted.size() ? STATUS_MORE_ENTRIES : STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI LsaClose(LSA_HANDLE ObjectHandle) {
    if (DWORD f = TakeFault("LsaClose")) return (NTSTATUS)f;
    // Policy and account handles close alike.
    auto object = HandleObject((HANDLE)ObjectHandle);
    if (!object || (strcmp(object->Kind(), "LsaPolicy") != 0 && strcmp(object->Kind(), "LsaAccount") != 0) ||
        !ReleaseHandle((HANDLE)ObjectHandle))
        return STATUS_INVALID_HANDLE;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI LsaFreeMemory(PVOID Buffer) {
    if (DWORD f = TakeFault("LsaFreeMemory")) return (NTSTATUS)f;
    if (!Buffer) return STATUS_SUCCESS;
    return FreeBuffer(LsaBuffers(), Buffer) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

extern "C" ULONG NTAPI LsaNtStatusToWinError(NTSTATUS Status) {
    switch ((DWORD)Status) {
    case (DWORD)STATUS_SUCCESS: return ERROR_SUCCESS;
    case (DWORD)STATUS_MORE_ENTRIES: return ERROR_MORE_DATA;
    case (DWORD)STATUS_NO_MORE_ENTRIES: return ERROR_NO_MORE_ITEMS;
    case (DWORD)STATUS_NOT_IMPLEMENTED: return ERROR_INVALID_FUNCTION;
    case (DWORD)STATUS_INVALID_INFO_CLASS: return ERROR_INVALID_PARAMETER;
    case (DWORD)STATUS_INVALID_HANDLE: return ERROR_INVALID_HANDLE;
    case (DWORD)STATUS_INVALID_PARAMETER: return ERROR_INVALID_PARAMETER;
    case (DWORD)STATUS_NO_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    case (DWORD)STATUS_ACCESS_DENIED: return ERROR_ACCESS_DENIED;
    case (DWORD)STATUS_NO_SUCH_DOMAIN: return ERROR_NO_SUCH_DOMAIN;
    case (DWORD)RPC_NT_SERVER_UNAVAILABLE: return RPC_S_SERVER_UNAVAILABLE;
    default: return ERROR_MR_MID_NOT_FOUND;
    }
}
