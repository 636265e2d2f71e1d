// Security descriptors stored on a share: any bytes a server may hold for
// the home share, read back through the share functions, listed by the
// machine's reports, and taken in by the share security class. Nothing
// reads outside the stored bytes; a share read at level 502 gives them back
// unchanged; a well-formed descriptor keeps its parts through storing and
// reading (and stores as a fixed point), its entries are what the access
// list shows, and the class adds and removes entries on it as it says; the
// home share is left alone when it is in place and otherwise made anew
// with its own list, whatever it held.
#include "fuzz_support.h"

#include <lm.h>

#include <cstring>
#include <vector>

#include "system/Computer.h"
#include "system/ShareSecurity.h"

namespace {

typedef std::vector<BYTE> Bytes;
typedef std::vector<winsim::ShareAccessEntry> Entries;

const char kShare[] = "Quillbak$";
const WCHAR kWideShare[] = {'Q', 'u', 'i', 'l', 'l', 'b', 'a', 'k', '$', 0};
const char kHome[] = "C:\\QUILLBAK";

winsim::Machine &M() {
    static winsim::Machine &m = [&]() -> winsim::Machine & {
        winsim::Machine &made = qlfuzz::Machine();
        made.MakeDirs(kHome);
        made.MakeDirs("C:\\ELSEWHERE");
        return made;
    }();
    return m;
}

// ---- the layout, read with every offset checked ----------------------------------------
struct Ace {
    BYTE type, flags;
    DWORD mask;
    Bytes sid;  // types 0 to 2 only
};
struct Acl {
    bool present = false, null = false;
    BYTE revision = 0;
    std::vector<Ace> aces;
};
struct Parts {
    WORD control = 0;
    Bytes owner, group;
    Acl dacl, sacl;
};

DWORD Dword(const BYTE *p) {
    DWORD d;
    memcpy(&d, p, 4);
    return d;
}
WORD Word(const BYTE *p) {
    WORD w;
    memcpy(&w, p, 2);
    return w;
}

// A SID of revision 1 with at most 15 sub-authorities, all of it within `room`.
bool Sid(const BYTE *p, size_t room, Bytes &out) {
    if (room < 8 || p[0] != SID_REVISION || p[1] > SID_MAX_SUB_AUTHORITIES) return false;
    const size_t size = 8 + 4 * (size_t)p[1];
    if (size > room) return false;
    out.assign(p, p + size);
    return true;
}

// An ACL of revision 2 to 4, its size a multiple of 4 within `room`, its
// entries within its size; the entries of types 0 to 2 hold a SID.
bool ParseAcl(const BYTE *p, size_t room, Acl &out) {
    if (room < sizeof(ACL)) return false;
    const BYTE revision = p[0];
    const WORD size = Word(p + 2), count = Word(p + 4);
    if (revision < ACL_REVISION || revision > ACL_REVISION_DS || size < sizeof(ACL) || (size & 3) || size > room)
        return false;
    out.revision = revision;
    size_t at = sizeof(ACL);
    for (WORD i = 0; i < count; ++i) {
        if (at + sizeof(ACE_HEADER) > size) return false;
        const BYTE *ace = p + at;
        const WORD aceSize = Word(ace + 2);
        if (aceSize < sizeof(ACE_HEADER) || (aceSize & 3) || at + aceSize > size) return false;
        Ace a{ace[0], ace[1], 0, Bytes()};
        if (a.type <= SYSTEM_AUDIT_ACE_TYPE) {
            if (aceSize < 16 || !Sid(ace + 8, aceSize - 8, a.sid)) return false;
            a.mask = Dword(ace + 4);
        }
        out.aces.push_back(a);
        at += aceSize;
    }
    return true;
}

// A self-relative descriptor of revision 1 whose parts all lie in the bytes,
// each on a 4-byte boundary.
bool Parse(const Bytes &sd, Parts &out) {
    out = Parts();
    if (sd.size() < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return false;
    const BYTE *p = sd.data();
    const WORD control = Word(p + 2);
    if (p[0] != SECURITY_DESCRIPTOR_REVISION || !(control & SE_SELF_RELATIVE)) return false;
    out.control = control & (WORD)~SE_SELF_RELATIVE;
    const DWORD owner = Dword(p + 4), group = Dword(p + 8), sacl = Dword(p + 12), dacl = Dword(p + 16);
    auto part = [&](DWORD offset) { return !(offset & 3) && offset < sd.size(); };
    if (owner && (!part(owner) || !Sid(p + owner, sd.size() - owner, out.owner))) return false;
    if (group && (!part(group) || !Sid(p + group, sd.size() - group, out.group))) return false;
    if (control & SE_DACL_PRESENT) {
        out.dacl.present = true;
        out.dacl.null = dacl == 0;
        if (dacl && (!part(dacl) || !ParseAcl(p + dacl, sd.size() - dacl, out.dacl))) return false;
    }
    if (control & SE_SACL_PRESENT) {
        out.sacl.present = true;
        out.sacl.null = sacl == 0;
        if (sacl && (!part(sacl) || !ParseAcl(p + sacl, sd.size() - sacl, out.sacl))) return false;
    }
    return true;
}

bool SameAces(const std::vector<Ace> &a, const std::vector<Ace> &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].type != b[i].type || a[i].flags != b[i].flags || a[i].mask != b[i].mask || a[i].sid != b[i].sid)
            return false;
    return true;
}
bool SameAcl(const Acl &a, const Acl &b) {
    return a.present == b.present && a.null == b.null && (a.null || !a.present || SameAces(a.aces, b.aces));
}
bool SameParts(const Parts &a, const Parts &b) {
    return a.owner == b.owner && a.group == b.group && SameAcl(a.dacl, b.dacl) && SameAcl(a.sacl, b.sacl);
}

// The masks of the entries with a SID, generic rights mapped as the share
// class maps them.
std::vector<Ace> Mapped(std::vector<Ace> aces) {
    GENERIC_MAPPING mapping = {QL_SHARE_READ, QL_SHARE_CHANGE, 0x20000, QL_SHARE_FULL};
    for (Ace &a : aces)
        if (a.type <= SYSTEM_AUDIT_ACE_TYPE) MapGenericMask(&a.mask, &mapping);
    return aces;
}

// ---- reading the stored bytes back ---------------------------------------------------
// The descriptor the share gives at level 502, as bytes (empty for none),
// `size` bytes of it at most.
bool ReadBack(size_t size, Bytes &out) {
    LPBYTE buffer = NULL;
    if (NetShareGetInfo(NULL, (LMSTR)kWideShare, 502, &buffer) != NERR_Success) return false;
    const SHARE_INFO_502 *info = (const SHARE_INFO_502 *)buffer;
    const BYTE *sd = (const BYTE *)info->shi502_security_descriptor;
    out.assign(sd, sd ? sd + size : sd);
    NetApiBufferFree(buffer);
    return true;
}

// The access list as the report shows it: the allowed and denied entries
// (the account left empty when it has no name).
Entries Listed(const Parts &parts) {
    Entries out;
    if (!parts.dacl.present || parts.dacl.null) return out;
    for (const Ace &a : parts.dacl.aces) {
        if (a.type != ACCESS_ALLOWED_ACE_TYPE && a.type != ACCESS_DENIED_ACE_TYPE) continue;
        PSID sid = (PSID)a.sid.data();
        char name[256], domain[256];
        DWORD nameSize = sizeof name, domainSize = sizeof domain;
        SID_NAME_USE use;
        std::string account;
        if (LookupAccountSidA(NULL, sid, name, &nameSize, domain, &domainSize, &use))
            account = *domain ? std::string(domain) + "\\" + name : std::string(name);
        out.push_back(winsim::ShareAccessEntry{account, a.type == ACCESS_ALLOWED_ACE_TYPE, a.mask});
    }
    return out;
}

// The share class taking in a descriptor read from a share, the way it
// takes in its own: stored in its private descriptor, then loaded in parts.
class Adopted : public CShareSecurity {
public:
    BOOL Adopt(const Bytes &sd) {
        FreeParts();
        m_pSD = LocalAlloc(LPTR, sd.size());
        if (!m_pSD) return FALSE;
        memcpy(m_pSD, sd.data(), sd.size());
        return Commit();
    }
    // The DACL of the loaded parts.
    bool Dacl(Acl &out) {
        out = Acl();
        BOOL present = FALSE, defaulted = FALSE;
        PACL acl = NULL;
        if (!m_pSD || !GetSecurityDescriptorDacl(m_pSD, &present, &acl, &defaulted)) return false;
        out.present = present != FALSE;
        out.null = present && !acl;
        return !acl || ParseAcl((const BYTE *)acl, acl->AclSize, out);
    }
};

void CheckWellFormed(const Bytes &stored, const Parts &parts) {
    // Stored through the share functions: the same parts, and storing the
    // result again changes nothing.
    std::unique_ptr<BYTE[]> copy(new BYTE[stored.size()]);
    memcpy(copy.get(), stored.data(), stored.size());
    QL_FUZZ_CHECK(IsValidSecurityDescriptor(copy.get()), "a well-formed descriptor is not valid");
    SHARE_INFO_1501 info = {0, copy.get()};
    QL_FUZZ_CHECK(NetShareSetInfo(NULL, (LMSTR)kWideShare, 1501, (LPBYTE)&info, NULL) == NERR_Success,
                  "a well-formed descriptor was refused");
    const Bytes canonical = M().shares[kShare].securityDescriptor;
    Parts again;
    QL_FUZZ_CHECK(Parse(canonical, again) && SameParts(parts, again), "the parts changed on storing");
    Bytes read;
    QL_FUZZ_CHECK(ReadBack(canonical.size(), read) && read == canonical, "level 502 does not give the stored bytes");
    info.shi1501_security_descriptor = read.data();
    QL_FUZZ_CHECK(NetShareSetInfo(NULL, (LMSTR)kWideShare, 1501, (LPBYTE)&info, NULL) == NERR_Success &&
                      M().shares[kShare].securityDescriptor == canonical,
                  "storing the stored form again changed it");

    // Taken in by the share class: the DACL with the share's rights mapped.
    Adopted security;
    QL_FUZZ_CHECK(security.Adopt(read) && security.Load(), "the class did not take the descriptor (%u)",
                  (unsigned)security.LastError());
    Acl loaded;
    QL_FUZZ_CHECK(security.Dacl(loaded), "the loaded DACL is malformed");
    Acl expected = parts.dacl;
    expected.aces = Mapped(expected.aces);
    QL_FUZZ_CHECK(SameAcl(loaded, expected), "the loaded DACL differs from the share's");

    // An entry for Everyone is added last and the first of its entries goes
    // again; entries of other kinds cannot be carried over.
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = NULL;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) abort();
    const Bytes everyoneSid((BYTE *)everyone, (BYTE *)everyone + GetLengthSid(everyone));
    bool plain = true;
    for (const Ace &a : expected.aces)
        if (a.type != ACCESS_ALLOWED_ACE_TYPE && a.type != ACCESS_DENIED_ACE_TYPE) plain = false;
    if (!expected.present || expected.null) expected.aces.clear();
    const BOOL added = security.AddEntry(everyone, QL_SHARE_READ);
    if (plain || !expected.present || expected.null) {
        QL_FUZZ_CHECK(added, "adding an entry failed (%u)", (unsigned)security.LastError());
        Acl after;
        QL_FUZZ_CHECK(security.Load() && security.Dacl(after), "the list cannot be loaded after adding");
        std::vector<Ace> want;
        for (const Ace &a : expected.aces) want.push_back(Ace{a.type, 0, a.mask, a.sid});
        want.push_back(Ace{ACCESS_ALLOWED_ACE_TYPE, 0, QL_SHARE_READ, everyoneSid});
        QL_FUZZ_CHECK(after.present && !after.null && SameAces(after.aces, want), "the entries after adding differ");
        QL_FUZZ_CHECK(security.RemoveEntry(everyone), "removing an entry failed (%u)", (unsigned)security.LastError());
        for (size_t i = 0; i < want.size(); ++i)
            if (want[i].sid == everyoneSid) {
                want.erase(want.begin() + i);
                break;
            }
        QL_FUZZ_CHECK(security.Load() && security.Dacl(after) && SameAces(after.aces, want),
                      "the entries after removing differ");
    } else {
        QL_FUZZ_CHECK(!added, "an entry was added to a list holding entries it cannot copy");
    }
    FreeSid(everyone);
}

}  // namespace

// The first byte picks what else happens: the home share created over the
// stored descriptor (bits 0-1 zero: for its own directory, one: for
// another); the rest is the descriptor the share holds.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const uint8_t pick = data[0];
    winsim::Machine &m = M();
    const Bytes stored(data + 1, data + size);
    m.shares.clear();
    winsim::Share &share = m.shares[kShare];
    share.netname = kShare;
    share.type = STYPE_DISKTREE;
    share.path = (pick & 3) == 1 ? "C:\\ELSEWHERE" : kHome;
    share.securityDescriptor = stored;

    Bytes read;
    QL_FUZZ_CHECK(ReadBack(stored.size(), read) && read == stored, "level 502 does not give the stored bytes");
    Parts parts;
    const bool wellFormed = Parse(stored, parts);
    const Entries listed = winsim::ShareAccessList(m, kShare);
    const Entries expected = wellFormed ? Listed(parts) : Entries();
    QL_FUZZ_CHECK(listed.size() == expected.size(), "the access list shows %zu entries, %zu expected",
                  listed.size(), expected.size());
    for (size_t i = 0; i < listed.size(); ++i)
        QL_FUZZ_CHECK(listed[i].allow == expected[i].allow && listed[i].mask == expected[i].mask &&
                          (expected[i].account.empty() || listed[i].account == expected[i].account),
                      "entry %zu shows %s %s 0x%08X", i, listed[i].allow ? "allow" : "deny",
                      listed[i].account.c_str(), (unsigned)listed[i].mask);
    winsim::DescribeShares(m);

    switch (pick & 3) {
    case 0:
        QL_FUZZ_CHECK(CComputer::CreateQuillbakHomeShare(kHome, NULL, NULL), "the home share is not in place");
        QL_FUZZ_CHECK(m.shares[kShare].securityDescriptor == stored, "the share in place was changed");
        break;
    case 1: {
        QL_FUZZ_CHECK(CComputer::CreateQuillbakHomeShare(kHome, NULL, NULL), "the home share was not made");
        const Entries fixed = {{"BUILTIN\\Administrators", true, 0x1F01FF},
                               {"BUILTIN\\Backup Operators", true, 0x1301BF},
                               {"Everyone", true, 0x1200A9}};
        QL_FUZZ_CHECK(winsim::ShareAccessList(m, kShare) == fixed, "the new home share has another list");
        break;
    }
    default:
        if (wellFormed) CheckWellFormed(stored, parts);
        break;
    }
    return 0;
}
