// Shared plumbing of the security, LSA and network functions: SIDs as text,
// account resolution, security descriptors taken apart and put together,
// the servers a name can reach, UTF-16 texts.
#ifndef WINSIM_SECURITY_INTERNAL_H
#define WINSIM_SECURITY_INTERNAL_H

#include "internal.h"

#include <string>
#include <vector>

namespace winsim {

// ---- UTF-16 texts (WCHAR is 16 bits on every build) ----------------------------
typedef std::basic_string<WCHAR> WString;
WString Widen(const std::string &s);        // code page of the local machine
std::string Narrow(const WCHAR *w);          // NULL gives ""
size_t WLength(const WCHAR *w);

// ---- SIDs ------------------------------------------------------------------------
bool SidIsValid(const void *sid);
DWORD SidSize(const void *sid);                       // of a valid SID
std::string SidToText(const void *sid);                // "S-1-5-32-544"
std::vector<BYTE> SidFromText(const std::string &t);   // empty when malformed

// ---- accounts ---------------------------------------------------------------------
struct ResolvedAccount {
    std::string domain;  // "" for Everyone and the other world/creator SIDs
    std::string name;
    std::string sid;
    int use = 0;
};

// ---- servers ----------------------------------------------------------------------
// What a server name reaches: a machine of the world, or a controller of the
// local machine's domain that only the local machine's description knows.
struct ServerView {
    Machine *machine = nullptr;  // the machine, or for a described controller the local machine
    bool described = false;      // a controller known from the local machine's description
    std::string name;
    bool isDc = false, isPdc = false, isServer = false;
    std::string domain;     // domain the server belongs to ("" in a workgroup)
    std::string workgroup;
    std::string domainSid;
    std::vector<std::string> trusted;
    DWORD major = 5, minor = 0;
    // Account domain: the domain for a controller, the machine for others.
    std::string AccountDomain() const { return isDc ? domain : name; }
    std::string AccountDomainSid() const;
};
// `name` may carry leading backslashes; empty means this machine.
bool ResolveServer(const std::string &name, ServerView &out);

bool LookupName(const ServerView &v, const std::string &accountName, ResolvedAccount &out);
bool LookupSid(const ServerView &v, const std::string &sidText, ResolvedAccount &out);

// ---- security descriptors --------------------------------------------------------
struct SdParts {
    WORD control = 0;  // without SE_SELF_RELATIVE
    std::vector<BYTE> owner, group;  // empty: absent
    bool daclPresent = false, saclPresent = false;
    bool daclNull = false, saclNull = false;  // present without an ACL
    std::vector<BYTE> dacl, sacl;
};
// Absolute or self-relative; false with a Win32 error when malformed.
bool ParseSd(const void *sd, SdParts &out, DWORD &error);
// Stored bytes (a share's descriptor): self-relative, with every part inside
// the `size` bytes; false with a Win32 error otherwise.
bool ParseStoredSd(const BYTE *sd, size_t size, SdParts &out, DWORD &error);
std::vector<BYTE> BuildSelfRelative(const SdParts &p);
bool AclIsValid(const void *acl);

// An open LSA policy: the server it reaches and the access it was opened with.
struct PolicyObject : KernelObject {
    const char *Kind() const override { return "LsaPolicy"; }
    ServerView view;
    ACCESS_MASK access = 0;
};

// ---- privileges, impersonation, buffers ----------------------------------------------
void SeedAliases(Machine &m);             // built-in alias members and rights of a new machine
bool ApplyRights(Machine &m, const std::string &sid, const std::vector<std::string> &names);  // false: unknown name
std::string PrivilegeNameOf(DWORD luid);  // "" for an unknown LUID
void ResetImpersonation();                // the calling thread runs as the process again
// Zeroed blocks that NetApiBufferFree and LsaFreeMemory release.
BYTE *NewNetBuffer(size_t size);
BYTE *NewLsaBuffer(size_t size);

}  // namespace winsim

#endif
