// Building machines: the default Windows 2000 server and machine images
// (a folder with a description, registry files and a files tree).
#include "internal.h"
#include "security_internal.h"

#include <lm.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace winsim {

namespace {

const char *kAdministratorSid = "S-1-5-21-1004336348-1177238915-682003330-500";

const char *kDefaultDomainSid = "S-1-5-21-2025429265-507921405-1417001333";

// Accounts, the privileges of the user running setup and the default shares
// of a Windows 2000 machine.
void SeedSecurity(Machine &m) {
    if (!m.domain.empty() && m.domainSid.empty()) m.domainSid = kDefaultDomainSid;
    m.AddAccount("Administrator", SidTypeUser, "", m.machineSid + "-500");
    m.AddAccount("Guest", SidTypeUser, "", m.machineSid + "-501");
    m.AddAccount("None", SidTypeGroup, "", m.machineSid + "-513");
    if (!EqualNoCase(m.userName, "Administrator") && !EqualNoCase(m.userName, "Guest") &&
        m.userName.find('\\') == std::string::npos)
        m.AddAccount(m.userName, SidTypeUser);
    if (m.privileges.empty())
        m.privileges = {"SeSecurityPrivilege",   "SeBackupPrivilege",        "SeRestorePrivilege",
                        "SeShutdownPrivilege",   "SeTakeOwnershipPrivilege", "SeDebugPrivilege",
                        "SeChangeNotifyPrivilege", "SeSystemtimePrivilege",  "SeLoadDriverPrivilege",
                        "SeRemoteShutdownPrivilege", "SeIncreaseQuotaPrivilege"};
    SeedAliases(m);
    auto special = [&](const std::string &name, DWORD type, const std::string &path, const std::string &remark) {
        Share sh;
        sh.netname = name;
        sh.type = type | STYPE_SPECIAL;
        sh.path = path;
        sh.remark = remark;
        m.shares[name] = sh;
    };
    special("ADMIN$", STYPE_DISKTREE, m.windowsDir, "Remote Admin");
    special("IPC$", STYPE_IPC, "", "Remote IPC");
    for (auto &d : m.drives)
        if (d.second.type == DRIVE_FIXED) special(std::string(1, d.first) + "$", STYPE_DISKTREE,
                                                  std::string(1, d.first) + ":\\", "Default share");
}

void SeedWindows2000(Machine &m) {
    Registry &r = m.registry;
    const std::string win = m.windowsDir;
    const std::string sys = m.SystemDir();

    r.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\Program Files");
    r.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
                "C:\\Program Files\\Common Files");
    r.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesPath", "%ProgramFiles%",
                REG_EXPAND_SZ);
    const std::string nt = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    r.SetString(nt, "CurrentVersion", std::to_string(m.majorVersion) + "." + std::to_string(m.minorVersion));
    r.SetString(nt, "CurrentBuildNumber", std::to_string(m.buildNumber));
    r.SetString(nt, "CSDVersion", m.csdVersion);
    r.SetString(nt, "ProductName", "Microsoft Windows 2000");
    r.SetString(nt, "SystemRoot", win);
    r.SetString(nt, "RegisteredOwner", "Administrator");
    r.SetString(nt, "RegisteredOrganization", "Example Ltd");
    r.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType",
                m.productType == VER_NT_WORKSTATION ? "WinNT"
                                                    : (m.productType == VER_NT_DOMAIN_CONTROLLER ? "LanmanNT" : "ServerNT"));
    r.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName", m.name);
    r.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName", "ComputerName",
                m.name);
    r.Create("HKLM\\SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Shares");
    r.Create("HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application");
    r.Create("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    r.Create("HKLM\\SOFTWARE\\Classes");
    SeedPerformanceCounters(m);
    r.Create("HKU\\.DEFAULT\\Software");
    r.currentUserKey = kAdministratorSid;
    const std::string shell = std::string("HKU\\") + kAdministratorSid +
                              "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    r.SetString(shell, "Programs",
                "C:\\Documents and Settings\\Administrator\\Start Menu\\Programs");
    r.SetString(shell, "Desktop", "C:\\Documents and Settings\\Administrator\\Desktop");

    m.MakeDirs(win);
    m.MakeDirs(sys);
    m.MakeDirs(win + "\\system");
    m.MakeDirs(m.tempDir);
    m.MakeDirs("C:\\Program Files\\Common Files");
    m.MakeDirs("C:\\Documents and Settings\\Administrator\\Start Menu\\Programs");
    m.PutFile(m.modulePath, "");
    // Custom actions run in the installer's server process.
    if (m.commandLine.empty()) m.commandLine = m.modulePath + " -Embedding 5B4C7A1E8D3F9C2B6E0A4D8F1C3B5A79";

    SeedSecurity(m);

    m.environment["ComputerName"] = m.name;
    m.environment["OS"] = "Windows_NT";
    m.environment["PATH"] = sys + ";" + win;
    m.environment["ProgramFiles"] = "C:\\Program Files";
    m.environment["SystemDrive"] = "C:";
    m.environment["SystemRoot"] = win;
    m.environment["windir"] = win;
    m.environment["TEMP"] = m.tempDir;
    m.environment["TMP"] = m.tempDir;
    m.environment["USERNAME"] = m.userName;
    m.environment["USERDOMAIN"] = m.domain.empty() ? m.name : m.domain;
    m.environment["PROCESSOR_ARCHITECTURE"] = "x86";

    // What Windows Installer sets in every session before custom actions run.
    auto &p = m.installer.properties;
    p["UILevel"] = "5";
    p["ComputerName"] = m.name;
    p["LogonUser"] = m.userName;
    p["AdminUser"] = "1";
    p["Privileged"] = "1";
    p["VersionNT"] = std::to_string(m.majorVersion * 100 + m.minorVersion);
    p["WindowsBuild"] = std::to_string(m.buildNumber);
    p["ServicePackLevel"] = std::to_string(m.servicePackMajor);
    p["WindowsFolder"] = win + "\\";
    p["SystemFolder"] = sys + "\\";
    p["TempFolder"] = m.tempDir + "\\";
    p["ProgramFilesFolder"] = "C:\\Program Files\\";
    p["CommonFilesFolder"] = "C:\\Program Files\\Common Files\\";
    if (m.productType != VER_NT_WORKSTATION) p["MsiNTProductType"] = std::to_string(m.productType);
}

std::string Trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace((unsigned char)s[b])) ++b;
    while (e > b && std::isspace((unsigned char)s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::vector<std::string> SplitList(const std::string &value) {
    std::vector<std::string> out;
    std::stringstream ss(value);
    std::string part;
    while (std::getline(ss, part, ',')) {
        part = Trim(part);
        if (!part.empty()) out.push_back(part);
    }
    return out;
}

// Decimal digits only, and at most `largest`: a value that does not fit its
// field is refused rather than cut.
bool ParseUnsigned(const std::string &text, unsigned long long &out,
                   unsigned long long largest = ~0ull) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit((unsigned char)c)) return false;
    try {
        out = std::stoull(text);
    } catch (...) {
        return false;
    }
    return out <= largest;
}

// Megabytes as clusters, held at the largest count a drive reports.
DWORD Clusters(unsigned long long mb, unsigned long long clusterBytes) {
    const unsigned long long largestMb = 0xFFFFFFFFull * clusterBytes / 1048576ull;
    return mb > largestMb ? 0xFFFFFFFFu : (DWORD)(mb * 1048576ull / clusterBytes);
}

UINT DriveTypeByName(const std::string &t) {
    static const std::pair<const char *, UINT> kTypes[] = {{"fixed", DRIVE_FIXED},     {"removable", DRIVE_REMOVABLE},
                                                           {"remote", DRIVE_REMOTE},   {"cdrom", DRIVE_CDROM},
                                                           {"ramdisk", DRIVE_RAMDISK}};
    for (auto &k : kTypes)
        if (EqualNoCase(t, k.first)) return k.second;
    return DRIVE_UNKNOWN;
}

// machine.ini: the description of a machine image.
//   [machine]  name, workgroup, domain, user, version (5.0.2195), csd, sp,
//              producttype (workstation|server|dc), windir, temp, program,
//              commandline, currentdir, codepage
//   [drives]   C=fixed[,free MB[,total MB]]
//   [environment] NAME=value
//   [properties]  installer properties NAME=value
//   [products]    {product code}=state; [product {code}] holds its info values
//   [facts]       free-form facts for later parts of the model
//   [service NAME] display, image, type, start (boot|system|auto|demand|disabled
//                 or a number), errorcontrol, group, account, depends (names
//                 separated by commas), state (stopped|running), script
//                 (normal|hangs-starting|hangs-stopping|refuses-stop|fails-start),
//                 startpolls, stoppolls, waithint (ms), exitcode
struct Description {
    std::vector<std::tuple<std::string, std::string, std::string, int>> entries;  // section, key, value, line
};

Description ReadDescription(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ImageError(file, 0, "cannot be read");
    Description d;
    std::string line, section;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            if (t.back() != ']' || t.size() < 3) throw ImageError(file, n, "malformed section header: " + t);
            std::string raw = Trim(t.substr(1, t.size() - 2));
            section = Lower(raw);
            // Service and share sections keep the name as written: it becomes
            // the service's key or the share's name.
            if (section.rfind("service ", 0) == 0) section = "service " + Trim(raw.substr(8));
            static const char *kKnown[] = {"machine", "drives",  "environment", "properties",
                                           "products", "facts", "domain",      "accounts",
                                           "members",  "rights", "names",       "passwords"};
            bool known = std::any_of(std::begin(kKnown), std::end(kKnown), [&](const char *k) { return section == k; }) ||
                         section.rfind("product ", 0) == 0 || section.rfind("service ", 0) == 0 ||
                         (section.rfind("running ", 0) == 0 && section.size() > 8);
            if (section.rfind("share ", 0) == 0) {
                section = "share " + Trim(raw.substr(6));
                known = section.size() > 6;
            }
            if (!known) throw ImageError(file, n, "unknown section [" + section + "]");
            continue;
        }
        size_t eq = t.find('=');
        if (eq == std::string::npos || eq == 0) throw ImageError(file, n, "expected name=value: " + t);
        if (section.empty()) throw ImageError(file, n, "entry outside a section");
        d.entries.emplace_back(section, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)), n);
    }
    return d;
}

void ApplyDescription(Machine &m, const Description &d, const std::string &file) {
    // Identity first, so the seeded Windows keys carry the image's values.
    for (auto &[section, key, value, line] : d.entries) {
        if (section != "machine") continue;
        std::string k = Lower(key);
        if (k == "name") {
            if (value.empty() || value.size() > MAX_COMPUTERNAME_LENGTH)
                throw ImageError(file, line, "machine name must have 1 to 15 characters");
            m.name = Upper(value);
        } else if (k == "workgroup") {
            m.workgroup = value;
        } else if (k == "domain") {
            m.domain = value;
        } else if (k == "user") {
            m.userName = value;
        } else if (k == "version") {
            unsigned long long a, b, c;
            size_t p1 = value.find('.'), p2 = value.find('.', p1 == std::string::npos ? 0 : p1 + 1);
            if (p1 == std::string::npos || p2 == std::string::npos ||
                !ParseUnsigned(value.substr(0, p1), a, 0xFFFFFFFFull) ||
                !ParseUnsigned(value.substr(p1 + 1, p2 - p1 - 1), b, 0xFFFFFFFFull) ||
                !ParseUnsigned(value.substr(p2 + 1), c, 0xFFFFFFFFull))
                throw ImageError(file, line, "version must be major.minor.build, each up to 4294967295: " + value);
            m.majorVersion = (DWORD)a;
            m.minorVersion = (DWORD)b;
            m.buildNumber = (DWORD)c;
        } else if (k == "csd") {
            m.csdVersion = value;
        } else if (k == "sp") {
            unsigned long long sp;
            if (!ParseUnsigned(value, sp, 0xFFFF))
                throw ImageError(file, line, "sp must be a number up to 65535: " + value);
            m.servicePackMajor = (WORD)sp;
        } else if (k == "producttype") {
            std::string v = Lower(value);
            if (v == "workstation")
                m.productType = VER_NT_WORKSTATION;
            else if (v == "server")
                m.productType = VER_NT_SERVER;
            else if (v == "dc")
                m.productType = VER_NT_DOMAIN_CONTROLLER;
            else
                throw ImageError(file, line, "producttype must be workstation, server or dc: " + value);
        } else if (k == "windir") {
            m.windowsDir = value;
        } else if (k == "temp") {
            m.tempDir = value;
        } else if (k == "program") {
            m.modulePath = value;
        } else if (k == "commandline") {
            m.commandLine = value;
        } else if (k == "currentdir") {
            m.currentDir = value;
        } else if (k == "administrator") {
            std::string v = Lower(value);
            if (v != "yes" && v != "no") throw ImageError(file, line, "administrator must be yes or no: " + value);
            m.userIsAdministrator = v == "yes";
        } else if (k == "privileges") {
            m.privileges.clear();
            for (const std::string &p : SplitList(value)) m.privileges.insert(p);
        } else {
            throw ImageError(file, line, "unknown machine entry: " + key);
        }
    }
    for (auto &[section, key, value, line] : d.entries) {
        if (section != "drives") continue;
        if (key.size() != 1 || !std::isalpha((unsigned char)key[0]))
            throw ImageError(file, line, "drive must be a letter: " + key);
        std::vector<std::string> parts;
        std::stringstream ss(value);
        std::string part;
        while (std::getline(ss, part, ',')) parts.push_back(Trim(part));
        UINT type = parts.empty() ? DRIVE_UNKNOWN : DriveTypeByName(parts[0]);
        if (type == DRIVE_UNKNOWN) throw ImageError(file, line, "unknown drive type: " + value);
        Drive &dr = m.AddDrive(key[0], type);
        unsigned long long mb;
        const unsigned long long clusterBytes = (unsigned long long)dr.sectorsPerCluster * dr.bytesPerSector;
        if (parts.size() > 1) {
            if (!ParseUnsigned(parts[1], mb)) throw ImageError(file, line, "free space must be megabytes: " + value);
            dr.freeClusters = Clusters(mb, clusterBytes);
        }
        if (parts.size() > 2) {
            if (!ParseUnsigned(parts[2], mb)) throw ImageError(file, line, "total size must be megabytes: " + value);
            dr.totalClusters = Clusters(mb, clusterBytes);
        }
        if (dr.freeClusters > dr.totalClusters) dr.totalClusters = dr.freeClusters;
    }
}

// [domain]   name, sid, controllers (the primary first), trusts
// [accounts] [DOMAIN\]name = user|group|alias[, SID]
// [share NAME] path, remark, type (disk|ipc), then allow= / deny= entries
//              "ACCOUNT, MASK" in access-list order
void ApplyNetwork(Machine &m, const Description &d, const std::string &file) {
    for (auto &[section, key, value, line] : d.entries) {
        if (section != "domain") continue;
        std::string k = Lower(key);
        if (k == "name")
            m.domain = value;
        else if (k == "sid") {
            if (SidFromText(value).empty()) throw ImageError(file, line, "malformed SID: " + value);
            m.domainSid = value;
        } else if (k == "controllers")
            m.domainControllers = SplitList(value);
        else if (k == "trusts")
            m.trustedDomains = SplitList(value);
        else
            throw ImageError(file, line, "unknown domain entry: " + key);
    }
    if (!m.domain.empty() && m.domainSid.empty()) m.domainSid = kDefaultDomainSid;
    for (auto &[section, key, value, line] : d.entries) {
        if (section != "accounts") continue;
        std::vector<std::string> parts = SplitList(value);
        static const std::pair<const char *, int> kUses[] = {{"user", SidTypeUser}, {"group", SidTypeGroup},
                                                              {"alias", SidTypeAlias}};
        int use = 0;
        for (auto &u : kUses)
            if (!parts.empty() && EqualNoCase(parts[0], u.first)) use = u.second;
        if (!use) throw ImageError(file, line, "account kind must be user, group or alias: " + value);
        // After the kind: an optional SID, and for a user "password=TEXT".
        std::string sid, password;
        for (size_t i = 1; i < parts.size(); ++i) {
            if (Lower(parts[i]).rfind("password=", 0) == 0)
                password = parts[i].substr(9);
            else if (sid.empty() && !SidFromText(parts[i]).empty())
                sid = parts[i];
            else
                throw ImageError(file, line, "malformed SID: " + parts[i]);
        }
        size_t slash = key.find('\\');
        std::string domain = slash == std::string::npos ? std::string() : key.substr(0, slash);
        std::string name = slash == std::string::npos ? key : key.substr(slash + 1);
        if (name.empty()) throw ImageError(file, line, "account without a name");
        // The user running setup is there already; the description completes it.
        winsim::Account *known = nullptr;
        for (Account &a : m.accounts)
            if (EqualNoCase(a.name, name) && EqualNoCase(a.domain.empty() ? m.name : a.domain,
                                                         domain.empty() ? m.name : domain))
                known = &a;
        if (known && (sid.empty() || EqualNoCase(sid, known->sid))) {
            known->use = use;
            known->password = password;
        } else {
            m.AddAccount(name, use, domain, sid).password = password;
        }
    }
    // [names] SID = translated name (built-in domain S-1-5-32 and its aliases)
    // [passwords] minlength, history
    for (auto &[section, key, value, line] : d.entries) {
        if (section == "names") {
            if (SidFromText(key).empty()) throw ImageError(file, line, "malformed SID: " + key);
            m.builtinNames[key] = value;
        } else if (section == "passwords") {
            unsigned long long n;
            if (!ParseUnsigned(value, n)) throw ImageError(file, line, "expected a number: " + value);
            if (EqualNoCase(key, "minlength"))
                m.minPasswordLength = (DWORD)n;
            else if (EqualNoCase(key, "history"))
                m.passwordHistory = (DWORD)n;
            else
                throw ImageError(file, line, "unknown passwords entry: " + key);
        }
    }
    SeedAliases(m);
    // [members] ALIAS = ACCOUNT, ...   [rights] ACCOUNT = SeXxxPrivilege, SeXxxLogonRight, ...
    ServerView self;
    ResolveServer(m.name, self);
    self.machine = &m;
    auto sidOf = [&](const std::string &account, int line) {
        ResolvedAccount a;
        if (!SidFromText(account).empty()) return account;
        if (!LookupName(self, account, a)) throw ImageError(file, line, "unknown account: " + account);
        return a.sid;
    };
    for (auto &[section, key, value, line] : d.entries) {
        if (section == "members") {
            std::string alias = sidOf(key, line);
            for (const std::string &member : SplitList(value)) m.aliasMembers[alias].insert(sidOf(member, line));
        } else if (section == "rights") {
            if (!ApplyRights(m, sidOf(key, line), SplitList(value)))
                throw ImageError(file, line, "unknown privilege or logon right: " + value);
        }
    }
    ServerView view;
    view.machine = &m;
    view.name = m.name;
    view.domain = m.domain;
    view.domainSid = m.domainSid;
    for (auto &[section, key, value, line] : d.entries) {
        if (section.rfind("share ", 0) != 0) continue;
        std::string netname = section.substr(6);
        Share &sh = m.shares[netname];
        sh.netname = netname;
        std::string k = Lower(key);
        if (k == "path") {
            sh.path = value;
        } else if (k == "remark") {
            sh.remark = value;
        } else if (k == "type") {
            if (EqualNoCase(value, "disk"))
                sh.type = STYPE_DISKTREE;
            else if (EqualNoCase(value, "ipc"))
                sh.type = STYPE_IPC;
            else
                throw ImageError(file, line, "share type must be disk or ipc: " + value);
        } else if (k == "allow" || k == "deny") {
            std::vector<std::string> parts = SplitList(value);
            ResolvedAccount account;
            if (parts.size() != 2) throw ImageError(file, line, "expected ACCOUNT, MASK: " + value);
            if (!LookupName(view, parts[0], account)) throw ImageError(file, line, "unknown account: " + parts[0]);
            char *end = nullptr;
            unsigned long mask = strtoul(parts[1].c_str(), &end, 0);
            if (!end || *end) throw ImageError(file, line, "malformed access mask: " + parts[1]);
            SdParts p;
            DWORD error;
            if (!sh.securityDescriptor.empty())
                ParseStoredSd(sh.securityDescriptor.data(), sh.securityDescriptor.size(), p, error);
            std::vector<BYTE> sid = SidFromText(account.sid);
            std::vector<BYTE> acl = p.dacl.empty() ? std::vector<BYTE>(sizeof(ACL), 0) : p.dacl;
            ACL header{ACL_REVISION, 0, 0, 0, 0};
            if (!p.dacl.empty()) memcpy(&header, acl.data(), sizeof header);
            ACE_HEADER ace{(BYTE)(k == "allow" ? ACCESS_ALLOWED_ACE_TYPE : ACCESS_DENIED_ACE_TYPE), 0,
                           (WORD)(8 + sid.size())};
            DWORD m32 = (DWORD)mask;
            size_t at = acl.size();
            acl.resize(at + 8 + sid.size());
            memcpy(&acl[at], &ace, 4);
            memcpy(&acl[at + 4], &m32, 4);
            memcpy(&acl[at + 8], sid.data(), sid.size());
            header.AclSize = (WORD)acl.size();
            ++header.AceCount;
            memcpy(acl.data(), &header, sizeof header);
            p.dacl = acl;
            p.daclPresent = true;
            p.owner = SidFromText("S-1-5-32-544");
            p.group = SidFromText("S-1-5-18");
            sh.securityDescriptor = BuildSelfRelative(p);
        } else {
            throw ImageError(file, line, "unknown share entry: " + key);
        }
    }
}

void ApplyDescriptionLate(Machine &m, const Description &d, const std::string &file) {
    for (auto &[section, key, value, line] : d.entries) {
        if (section == "environment") {
            m.environment[key] = value;
        } else if (section == "properties") {
            m.installer.properties[key] = value;
        } else if (section == "products") {
            long state;
            try {
                size_t used = 0;
                state = std::stol(value, &used);
                if (used != value.size() || state < INT_MIN || state > INT_MAX) throw std::invalid_argument(value);
            } catch (...) {
                throw ImageError(file, line, "product state must be a number: " + value);
            }
            m.products[key].state = (int)state;
        } else if (section.rfind("product ", 0) == 0) {
            std::string code = Trim(section.substr(8));
            // Section names are lower-cased; product codes compare without case.
            m.products[code].info[key] = value;
        } else if (section == "facts") {
            m.facts[key] = value;
        }
    }
    ApplyNetwork(m, d, file);
}

DWORD ServiceNumber(const std::string &value, const std::string &file, int line) {
    try {
        size_t used = 0;
        unsigned long v = std::stoul(value, &used, 0);
        if (used == value.size() && v <= 0xFFFFFFFFul) return (DWORD)v;
    } catch (...) {
    }
    throw ImageError(file, line, "expected a number: " + value);
}

// [running NAME]: a program running on the machine: image, mutex, exitcode,
// account=system|user (the user running setup by default) and window=CLASS|TITLE|closes or stays[|CLOSE MESSAGE], once per window.
void ApplyRunning(Machine &m, const Description &d, const std::string &file) {
    std::map<std::string, std::pair<RunningProgramDecl, int>> declared;  // by section, with its first line
    std::vector<std::string> order;
    for (auto &[section, key, value, line] : d.entries) {
        if (section.rfind("running ", 0) != 0) continue;
        if (!declared.count(section)) order.push_back(section);
        auto &entry = declared[section];
        if (!entry.second) entry.second = line;
        RunningProgramDecl &program = entry.first;
        std::string k = Lower(key);
        if (k == "image") {
            program.image = value;
        } else if (k == "mutex") {
            program.mutex = value;
        } else if (k == "exitcode") {
            program.exitCode = ServiceNumber(value, file, line);
        } else if (k == "account") {
            if (Lower(value) != "system" && Lower(value) != "user")
                throw ImageError(file, line, "expected account=system or account=user: " + value);
            program.systemAccount = Lower(value) == "system";
        } else if (k == "window") {
            std::vector<std::string> parts;
            std::string rest = value;
            for (size_t bar; (bar = rest.find('|')) != std::string::npos; rest = rest.substr(bar + 1))
                parts.push_back(Trim(rest.substr(0, bar)));
            parts.push_back(Trim(rest));
            if (parts.size() < 3 || parts.size() > 4 || parts[0].empty() ||
                (Lower(parts[2]) != "closes" && Lower(parts[2]) != "stays"))
                throw ImageError(file, line, "expected window=CLASS|TITLE|closes or stays[|MESSAGE]: " + value);
            ProgramWindowDecl w;
            w.className = parts[0];
            w.title = parts[1];
            w.closes = Lower(parts[2]) == "closes";
            if (parts.size() == 4) w.closeMessage = ServiceNumber(parts[3], file, line);
            program.windows.push_back(w);
        } else {
            throw ImageError(file, line, "unknown running program entry: " + key);
        }
    }
    for (const std::string &section : order) {
        auto &entry = declared[section];
        std::string full;
        if (entry.first.image.empty() || !NormalizeWindowsPath(m, entry.first.image, full))
            throw ImageError(file, entry.second, "running program without a valid image: [" + section + "]");
        StartRunningProgram(m, entry.first);
    }
}

void ApplyServices(Machine &m, const Description &d, const std::string &file) {
    struct Declared {
        ServiceConfig config;
        DWORD state = SERVICE_STOPPED;
        ServiceScript script;
    };
    std::map<std::string, Declared, LessNoCase> services;
    std::vector<std::string> order;
    for (auto &[section, key, value, line] : d.entries) {
        if (section.rfind("service ", 0) != 0) continue;
        std::string name = section.substr(8);
        if (name.empty() || name.size() > 256 || name.find_first_of("\\/") != std::string::npos)
            throw ImageError(file, line, "invalid service name: " + name);
        if (!services.count(name)) order.push_back(name);
        Declared &s = services[name];
        s.config.name = name;
        std::string k = Lower(key);
        if (k == "display") {
            s.config.displayName = value;
        } else if (k == "image") {
            s.config.imagePath = value;
        } else if (k == "type") {
            s.config.type = ServiceNumber(value, file, line);
        } else if (k == "start") {
            static const char *kStarts[] = {"boot", "system", "auto", "demand", "disabled"};
            auto it = std::find_if(std::begin(kStarts), std::end(kStarts),
                                   [&text = value](const char *n) { return EqualNoCase(text, n); });
            s.config.startType = it != std::end(kStarts) ? (DWORD)(it - std::begin(kStarts))
                                                         : ServiceNumber(value, file, line);
        } else if (k == "errorcontrol") {
            s.config.errorControl = ServiceNumber(value, file, line);
        } else if (k == "group") {
            s.config.group = value;
        } else if (k == "account") {
            s.config.account = value;
        } else if (k == "depends") {
            std::stringstream ss(value);
            std::string part;
            while (std::getline(ss, part, ','))
                if (!Trim(part).empty()) s.config.dependencies.push_back(Trim(part));
        } else if (k == "state") {
            if (EqualNoCase(value, "running"))
                s.state = SERVICE_RUNNING;
            else if (EqualNoCase(value, "stopped"))
                s.state = SERVICE_STOPPED;
            else
                throw ImageError(file, line, "state must be stopped or running: " + value);
        } else if (k == "script") {
            static const std::pair<const char *, ServiceScript::Kind> kKinds[] = {
                {"normal", ServiceScript::Normal},
                {"hangs-starting", ServiceScript::HangsStarting},
                {"hangs-stopping", ServiceScript::HangsStopping},
                {"refuses-stop", ServiceScript::RefusesStop},
                {"fails-start", ServiceScript::FailsStart}};
            auto it = std::find_if(std::begin(kKinds), std::end(kKinds),
                                   [&text = value](const std::pair<const char *, ServiceScript::Kind> &p) {
                                       return EqualNoCase(text, p.first);
                                   });
            if (it == std::end(kKinds)) throw ImageError(file, line, "unknown service script: " + value);
            s.script.kind = it->second;
        } else if (k == "startpolls") {
            s.script.startPolls = ServiceNumber(value, file, line);
        } else if (k == "stoppolls") {
            s.script.stopPolls = ServiceNumber(value, file, line);
        } else if (k == "waithint") {
            s.script.waitHint = ServiceNumber(value, file, line);
        } else if (k == "exitcode") {
            s.script.exitCode = ServiceNumber(value, file, line);
        } else {
            throw ImageError(file, line, "unknown service entry: " + key);
        }
    }
    for (const std::string &name : order) {
        const Declared &s = services[name];
        AddService(m, s.config, s.state, s.script);
    }
}

// Only regular files (or links to them) are read: opening a FIFO would wait
// for a writer, and a device could give endless data.
void RequireRegularFile(const fs::path &path) {
    std::error_code ec;
    fs::file_status st = fs::status(path, ec);
    if (ec || !fs::is_regular_file(st))
        throw ImageError(path.string(), 0, "not a regular file (FIFOs, devices and sockets are refused, never read)");
}

void CopyTree(Machine &m, const fs::path &filesDir, const std::string &imageFolder) {
    std::error_code ec;
    if (!fs::is_directory(filesDir, ec)) return;
    for (auto &driveDir : fs::directory_iterator(filesDir)) {
        std::string letter = driveDir.path().filename().string();
        if (!driveDir.is_directory() || letter.size() != 1 || !std::isalpha((unsigned char)letter[0]))
            throw ImageError(driveDir.path().string(), 0, "files/ holds one folder per drive letter");
        char l = (char)std::toupper((unsigned char)letter[0]);
        if (!m.drives.count(l)) m.AddDrive(l);
        for (auto &entry : fs::recursive_directory_iterator(driveDir.path())) {
            std::string rel = fs::relative(entry.path(), driveDir.path()).string();
            std::replace(rel.begin(), rel.end(), '/', '\\');
            std::string win = std::string(1, l) + ":\\" + rel;
            if (entry.is_directory()) {
                m.MakeDirs(win);
            } else {
                RequireRegularFile(entry.path());
                std::ifstream in(entry.path(), std::ios::binary);
                std::stringstream ss;
                ss << in.rdbuf();
                m.PutFile(win, ss.str());
            }
        }
    }
    (void)imageFolder;
}

}  // namespace

Machine &CreateDefaultMachine(const std::string &name) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (name.empty() || name.size() > MAX_COMPUTERNAME_LENGTH)
        throw std::invalid_argument("winsim: a machine name has 1 to 15 characters");
    Machine &m = NewMachine(name);
    SeedWindows2000(m);
    return m;
}

Machine &LoadMachineImage(const std::string &folder) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    fs::path dir(folder);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) throw ImageError(folder, 0, "no such machine image folder");
    fs::path descFile = dir / "machine.ini";
    // A folder without a description is not a machine image (a mistyped
    // path or the wrong folder), not an empty machine.
    if (!fs::exists(fs::symlink_status(descFile, ec)))
        throw ImageError(folder, 0, "no machine.ini: not a machine image folder");
    RequireRegularFile(descFile);
    Description d = ReadDescription(descFile.string());

    std::string name = "QLSERVER";
    for (auto &[section, key, value, line] : d.entries)
        if (section == "machine" && EqualNoCase(key, "name") && !value.empty()) name = value;
    if (name.size() > MAX_COMPUTERNAME_LENGTH)
        throw ImageError(descFile.string(), 0, "machine name must have 1 to 15 characters");
    if (FindMachine(name)) throw ImageError(descFile.string(), 0, "a machine named " + name + " is loaded already");

    Machine &m = NewMachine(name);
    try {
        ApplyDescription(m, d, descFile.string());
        // The Windows, temporary and program folders the description names
        // are made here; one that cannot be made is the description's fault.
        try {
            SeedWindows2000(m);
        } catch (const std::exception &e) {
            throw ImageError(descFile.string(), 0, e.what());
        }
        ApplyDescriptionLate(m, d, descFile.string());
        std::vector<fs::path> regFiles;
        if (fs::is_directory(dir / "registry", ec))
            for (auto &e : fs::directory_iterator(dir / "registry"))
                if (EqualNoCase(e.path().extension().string(), ".reg")) regFiles.push_back(e.path());
        std::sort(regFiles.begin(), regFiles.end());
        // Each file is parsed whole before any of it applies; a bad file
        // discards the whole machine, so nothing is loaded half-way.
        for (auto &f : regFiles) {
            RequireRegularFile(f);
            std::ifstream in(f, std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            m.registry.ImportReg(ss.str(), f.string());
        }
        // Declared services last, so a declaration wins over a registry file.
        ApplyServices(m, d, descFile.string());
        ApplyRunning(m, d, descFile.string());
        CopyTree(m, dir / "files", folder);
        if (!m.Exists(m.modulePath)) m.PutFile(m.modulePath, "");
    } catch (...) {
        DropMachine(m);
        throw;
    }
    return m;
}

}  // namespace winsim
