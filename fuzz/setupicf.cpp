// The installation configuration file: every reader of CSetupIcf over a file
// holding the input. Each text stays within its field's capacity and is what
// the profile functions give for its key (cut to that capacity), switches
// are the profile integers, the generic and raw readers never write past
// the room they are offered, and what the writers write reads back.
#include "fuzz_support.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "settings/SetupIcf.h"

namespace {

const char kIcf[] = "D:\\SETUP\\QUILLBAK.ICF";
const char kCopy[] = "D:\\SETUP\\COPY.ICF";

// The whole value as the profile function reads it, "" when absent.
std::string Profile(const char *section, const char *key, const char *dflt, const char *file = kIcf) {
    static std::vector<char> buffer(1 << 20);
    DWORD n = GetPrivateProfileStringA(section, key, dflt, buffer.data(), (DWORD)buffer.size(), file);
    return std::string(buffer.data(), n);
}

// What a reader with room for `capacity` characters holds: the value cut
// there, as far as its first NUL.
std::string Cut(const std::string &value, size_t capacity) {
    return std::string(value.substr(0, capacity).c_str());
}

void ExpectText(const char *what, LPCSTR got, const std::string &expected, size_t capacity) {
    QL_FUZZ_CHECK(strlen(got) <= capacity, "%s: %zu characters, capacity %zu", what, strlen(got), capacity);
    QL_FUZZ_CHECK(expected == got, "%s reads \"%s\", \"%s\" expected", what, got, expected.c_str());
}

std::string TwoPlaces(const char *s1, const char *k1, const char *s2, const char *k2, const char *dflt, size_t cap) {
    std::string first = Cut(Profile(s1, k1, ""), cap);
    return first.empty() ? Cut(Profile(s2, k2, dflt), cap) : first;
}

struct TextField {
    const char *what;
    LPCSTR (CSetupIcf::*read)();
    int (CSetupIcf::*write)(LPCSTR);
    size_t capacity;
};

const TextField kTexts[] = {
    {"FullName", &CSetupIcf::FullName, &CSetupIcf::FullName, 255},
    {"CompanyName", &CSetupIcf::CompanyName, &CSetupIcf::CompanyName, 255},
    {"QuillbakPath", &CSetupIcf::QuillbakPath, &CSetupIcf::QuillbakPath, 259},
    {"AlertPath", &CSetupIcf::AlertPath, &CSetupIcf::AlertPath, 259},
    {"ClientAgentPath", &CSetupIcf::ClientAgentPath, &CSetupIcf::AgentPath, 259},
    {"SystemAccountDomain", &CSetupIcf::SystemAccountDomain, &CSetupIcf::SystemAccountDomain, 47},
    {"SystemAccountUser", &CSetupIcf::SystemAccountUser, &CSetupIcf::SystemAccountUser, 47},
    {"SystemAccountPassword", &CSetupIcf::SystemAccountPassword, &CSetupIcf::SystemAccountPassword, 47},
    {"SiteName", &CSetupIcf::SiteName, &CSetupIcf::SiteName, 47},
    {"SystemID", &CSetupIcf::SystemID, &CSetupIcf::SystemID, 47},
    {"LocalLUAlias", &CSetupIcf::LocalLUAlias, &CSetupIcf::LocalLUAlias, 47},
    {"PartnerLUAlias", &CSetupIcf::PartnerLUAlias, &CSetupIcf::PartnerLUAlias, 47},
};

std::string ExpectedText(size_t i) {
    switch (i) {
    case 0: return Cut(Profile("UserInfo", "FullName", ""), 255);
    case 1: return Cut(Profile("UserInfo", "CompanyName", ""), 255);
    case 2: return TwoPlaces("QuillbakInstall", "InstallPath", "InstallPath", "QuillbakPath", "", 259);
    case 3: return TwoPlaces("QuillbakInstall", "AlertPath", "InstallPath", "AlertPath", "C:\\ALERT", 259);
    case 4: return Cut(Profile("InstallPath", "AgentPath", ""), 259);
    case 5: return TwoPlaces("System Account", "DefaultDomainName", "SystemAccount", "DefaultDomainName", "", 47);
    case 6: return TwoPlaces("System Account", "DefaultUserName", "SystemAccount", "DefaultUserName", "", 47);
    case 7: return TwoPlaces("System Account", "DefaultPassword", "SystemAccount", "DefaultPassword", "", 47);
    case 8: return Cut(Profile("MVSConfig", "SITENAME", ""), 47);
    case 9: return Cut(Profile("MVSConfig", "SYSTEMID", ""), 47);
    case 10: return Cut(Profile("MVSConfig", "LOCALLUALIAS", ""), 47);
    default: return Cut(Profile("MVSConfig", "PARTNERLUALIAS", ""), 47);
    }
}

struct SwitchField {
    const char *what;
    int (CSetupIcf::*read)();
    int (CSetupIcf::*write)(int);
    const char *section, *key;
    int dflt;
};

const SwitchField kSwitches[] = {
    {"InstallManager", &CSetupIcf::InstallManager, &CSetupIcf::InstallManager, "Install", "QLBManager", 1},
    {"InstallServer", &CSetupIcf::InstallServer, &CSetupIcf::InstallServer, "Install", "QLBServer", 1},
    {"InstallAdmin", &CSetupIcf::InstallAdmin, &CSetupIcf::InstallAdmin, "Install", "QLBServerAdmin", 1},
    {"InstallAlert", &CSetupIcf::InstallAlert, &CSetupIcf::InstallAlert, "Install", "Alert", 1},
    {"InstallHSM", &CSetupIcf::InstallHSM, &CSetupIcf::InstallHSM, "Install", "DataMigration", 1},
    {"OverwriteDB", &CSetupIcf::OverwriteDB, &CSetupIcf::OverwriteDB, "Install", "OverwriteDB", 1},
    {"OverwriteJobQueue", &CSetupIcf::OverwriteJobQueue, &CSetupIcf::OverwriteJobQueue, "Install",
     "OverwriteJobQueue", 1},
    {"SQLDB", &CSetupIcf::SQLDB, &CSetupIcf::SQLDB, "DatabaseOption", "SQL", 0},
    {"UninstallQuillbak", &CSetupIcf::UninstallQuillbak, &CSetupIcf::UninstallQuillbak, "Uninstall", "QLBServer", 1},
    {"UninstallAlert", &CSetupIcf::UninstallAlert, &CSetupIcf::UninstallAlert, "Uninstall", "Alert", 1},
};

const char kCanary[] = "\x5a\xa5\x5a\xa5";

// The raw switch readers with a buffer of `size` characters and a canary after it.
void CheckRaw(CSetupIcf &icf, int (CSetupIcf::*raw)(LPSTR, unsigned long), const char *key, unsigned long size) {
    char buffer[16 + sizeof kCanary];
    memset(buffer, 'x', sizeof buffer);
    memcpy(buffer + size, kCanary, sizeof kCanary);
    const std::string value = Profile("Install", key, "");
    int r = (icf.*raw)(buffer, size);
    QL_FUZZ_CHECK(memcmp(buffer + size, kCanary, sizeof kCanary) == 0, "raw %s wrote past %lu", key, size);
    if (size == 0) {
        QL_FUZZ_CHECK(r == 0, "raw %s with no room gives %d", key, r);
        return;
    }
    // 1 when a character was read: a buffer of one holds only the terminator.
    const int expected = std::min<size_t>(value.size(), size - 1) > 0 ? 1 : 0;
    QL_FUZZ_CHECK(r == expected, "raw %s gives %d for \"%s\" in %lu", key, r, value.c_str(), size);
    QL_FUZZ_CHECK(Cut(value, size - 1) == buffer, "raw %s holds \"%.*s\"", key, (int)size, buffer);
}

// GetString offered `room` characters (filler and its terminator).
void CheckGetString(CSetupIcf &icf, const char *section, const char *key, size_t room) {
    std::vector<char> buffer(room + 1 + sizeof kCanary);
    memset(buffer.data(), 'y', room);
    buffer[room] = '\0';
    memcpy(buffer.data() + room + 1, kCanary, sizeof kCanary);
    const std::string value = Profile(section, key, "");
    int n = icf.GetString(section, key, buffer.data());
    QL_FUZZ_CHECK(buffer[room] == '\0' && memcmp(buffer.data() + room + 1, kCanary, sizeof kCanary) == 0,
                  "GetString [%s] %s wrote past its %zu characters", section, key, room);
    if (room == 0) {
        QL_FUZZ_CHECK(n == 0, "GetString with no room gives %d", n);
        return;
    }
    QL_FUZZ_CHECK(n >= 0 && (size_t)n <= room - 1, "GetString gives %d for room %zu", n, room);
    QL_FUZZ_CHECK(Cut(value, room - 1) == buffer.data(), "GetString [%s] %s holds \"%s\"", section, key,
                  buffer.data());
}

// A text that the writers put down and the readers give back unchanged:
// the readers trim blanks and one pair of quotes.
bool Writable(const std::string &t) {
    if (t.empty()) return true;
    auto edge = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\r' || c == '"' || c == '\''; };
    return !edge(t.front()) && !edge(t.back()) && t.find('\n') == std::string::npos;
}

}  // namespace

// The input's first byte picks the reader, the rest is the file: a file
// read goes through the machine's file system, and checking one reader per
// run keeps the runs fast enough to be many.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const unsigned pick = data[0];
    winsim::Machine &m = qlfuzz::Machine();
    m.PutFile(kIcf, qlfuzz::Text(data + 1, size - 1));
    // A copy of an object made over the file: the same binding without
    // looking for the file again.
    static const CSetupIcf bound(kIcf);
    CSetupIcf icf(bound);
    QL_FUZZ_CHECK(icf.Exists() == 1, "the file is there");

    const size_t nTexts = sizeof kTexts / sizeof kTexts[0], nSwitches = sizeof kSwitches / sizeof kSwitches[0];
    const unsigned choice = pick % (nTexts + nSwitches + 5);
    const bool writeBack = pick & 0x80;
    if (choice < nTexts) {
        const TextField &f = kTexts[choice];
        const std::string got = (icf.*f.read)();
        ExpectText(f.what, got.c_str(), ExpectedText(choice), f.capacity);
        if (writeBack && Writable(got)) {
            // What the writer writes, a new object reads back.
            m.PutFile(kCopy, "");
            CSetupIcf writer(kCopy);
            QL_FUZZ_CHECK((writer.*f.write)(got.c_str()) != 0, "%s: the write fails", f.what);
            CSetupIcf reader(kCopy);
            LPCSTR back = (reader.*f.read)();
            QL_FUZZ_CHECK(got == back, "%s wrote \"%s\", read back \"%s\"", f.what, got.c_str(), back);
        }
    } else if (choice < nTexts + nSwitches) {
        const SwitchField &s = kSwitches[choice - nTexts];
        int got = (icf.*s.read)();
        int expected = (int)GetPrivateProfileIntA(s.section, s.key, s.dflt, kIcf);
        QL_FUZZ_CHECK(got == expected, "%s reads %d, %d expected", s.what, got, expected);
        if (writeBack) {
            m.PutFile(kCopy, "");
            CSetupIcf writer(kCopy);
            (writer.*s.write)(got);
            CSetupIcf reader(kCopy);
            int back = (reader.*s.read)();
            QL_FUZZ_CHECK(back == (got ? 1 : 0), "%s wrote %d, read back %d", s.what, got, back);
        }
    } else {
        switch (choice - nTexts - nSwitches) {
        case 0:
            for (unsigned long room : {0ul, 1ul, 2ul, 5ul, 16ul}) CheckRaw(icf, &CSetupIcf::InstallManager, "QLBManager", room);
            break;
        case 1:
            for (unsigned long room : {1ul, 3ul}) {
                CheckRaw(icf, &CSetupIcf::InstallServer, "QLBServer", room);
                CheckRaw(icf, &CSetupIcf::InstallAdmin, "QLBServerAdmin", room);
            }
            break;
        case 2:
            for (size_t room : {0, 1, 3, 48, 300}) CheckGetString(icf, "UserInfo", "FullName", room);
            break;
        case 3:
            for (size_t room : {2, 47, 260}) CheckGetString(icf, "MVSConfig", "SITENAME", room);
            break;
        default: {
            int value = -7;
            QL_FUZZ_CHECK(icf.GetInt("Install", "QLBServer", &value) == 1 &&
                              value == (int)GetPrivateProfileIntA("Install", "QLBServer", 0, kIcf),
                          "GetInt reads %d", value);
            QL_FUZZ_CHECK(icf.InstallPNR() == 0, "the framework switch is never read");
            break;
        }
        }
    }
    return 0;
}
