// The setup information file: every reader of CSetupInf over a file holding
// the input. Texts stay within their capacities and are what the profile
// function gives (an empty value keeps the earlier text), flags are the
// profile integers, the sub-type is 0..4 or -1, and every build range the
// file lists is read as its text says.
#include "fuzz_support.h"

#include <climits>
#include <cstring>
#include <vector>

#include "settings/SetupInf.h"

namespace {

const char kInf[] = "D:\\SETUP\\QLBSETUP.INF";

std::string Profile(const char *section, const char *key) {
    static std::vector<char> buffer(1 << 20);
    DWORD n = GetPrivateProfileStringA(section, key, "", buffer.data(), (DWORD)buffer.size(), kInf);
    return std::string(buffer.data(), n);
}

std::string Cut(const std::string &value, size_t capacity) { return std::string(value.substr(0, capacity).c_str()); }

void CheckText(const char *what, LPCSTR got, const char *section, const char *key, size_t capacity,
               const std::string &before) {
    const std::string read = Cut(Profile(section, key), capacity);
    const std::string expected = read.empty() ? before : read;
    QL_FUZZ_CHECK(strlen(got) <= capacity, "%s: %zu characters, capacity %zu", what, strlen(got), capacity);
    QL_FUZZ_CHECK(expected == got, "%s reads \"%s\", \"%s\" expected", what, got, expected.c_str());
}

// A build range as its text says: the number each part begins with
// (blanks, a sign, digits; none give 0; held at the int limits).
long long Leading(const std::string &t) {
    size_t i = 0;
    while (i < t.size() && strchr(" \t\n\r\v\f", t[i]) && t[i]) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    long long v = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) v = std::min(v * 10 + (t[i] - '0'), (long long)INT_MAX + 1);
    v = negative ? -v : v;
    return std::max<long long>(std::min<long long>(v, INT_MAX), INT_MIN);
}

void CheckRange(CSetupInf &inf, const std::string &key) {
    const std::string value = Profile("BuildNumber", key.c_str());
    const std::string text = value.c_str();  // the reader sees a C string
    int minBuild = -5, maxBuild = -5;
    int r = inf.GetUpdateBuildNoRange(key.c_str(), &minBuild, &maxBuild);
    long long emin = 0, emax = 0;
    if (!text.empty() && value.size() <= 1023) {
        size_t comma = text.find(',');
        if (comma == std::string::npos) {
            emin = emax = Leading(text);
        } else {
            emin = comma == 0 ? 0 : Leading(text.substr(0, comma));
            emax = Leading(text.substr(comma + 1));
        }
    }
    int expected = emin >= 0 && emax >= 1 ? 1 : 0;
    QL_FUZZ_CHECK(r == expected && minBuild == emin && maxBuild == emax,
                  "[BuildNumber] %s=\"%s\" gives %d (%d, %d), %d (%lld, %lld) expected", key.c_str(), text.c_str(), r,
                  minBuild, maxBuild, expected, emin, emax);
}

}  // namespace

// The input's first byte picks the readers, the rest is the file (each
// file read goes through the machine's file system: one group per run keeps
// the runs many).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const unsigned pick = data[0];
    winsim::Machine &m = qlfuzz::Machine();
    m.PutFile(kInf, qlfuzz::Text(data + 1, size - 1));
    static const CSetupInf bound = [] {
        CSetupInf made;
        made.SetQLBsetupINFName(kInf);
        return made;
    }();
    CSetupInf inf(bound);
    QL_FUZZ_CHECK(inf.Exists() == 1, "the file is there");

    switch (pick % 6) {
    case 0:
    case 1:
    case 2:
        // Twice: the second read goes over the first one's cache.
        for (int round = 0; round < 2; ++round) {
            std::string before;
            if (pick % 6 == 0) {
                before = inf.GetPNRFWSetupFileName();
                CheckText("GetPNRFWSetupFileName", inf.GetPNRFWSetupFileName(), "Components",
                          "PNRFrameWorkSetupFileName", 260, before);
            } else if (pick % 6 == 1) {
                before = inf.GetSetupProductName();
                CheckText("GetSetupProductName", inf.GetSetupProductName(), "Support", "ProductName", 254, before);
            } else {
                before = inf.GetSetupFileName();
                CheckText("GetSetupFileName", inf.GetSetupFileName(), "Support", "SetupFileName", 260, before);
            }
        }
        break;
    case 3: {
        QL_FUZZ_CHECK(inf.IsHSMAvailable() == (int)GetPrivateProfileIntA("Components", "DataMigration", 0, kInf), "HSM");
        QL_FUZZ_CHECK(inf.IsPNRFWAvailable() == (int)GetPrivateProfileIntA("Components", "PNRFrameWork", 0, kInf),
                      "PNR");
        int subType = inf.GetProductSubType();
        int raw = (int)GetPrivateProfileIntA("Setup", "ProdSubType", -1, kInf);
        QL_FUZZ_CHECK(subType == (raw >= 0 && raw <= 4 ? raw : -1), "sub-type %d for %d", subType, raw);
        break;
    }
    case 4: {
        // Every key of [BuildNumber] (the first few), one that is not there, and none.
        std::vector<char> names(1 << 16);
        DWORD n = GetPrivateProfileStringA("BuildNumber", nullptr, "", names.data(), (DWORD)names.size(), kInf);
        int checked = 0;
        for (const char *p = names.data(); p < names.data() + n && *p && checked < 4; p += strlen(p) + 1, ++checked)
            CheckRange(inf, p);
        CheckRange(inf, "\x01NoSuchKey");
        int a = 3, b = 4;
        QL_FUZZ_CHECK(inf.GetUpdateBuildNoRange(nullptr, &a, &b) == 0 && a == 0 && b == 0, "no key");
        break;
    }
    default: {
        // The caches survive a move to a file that is not there.
        const std::string kept = inf.GetSetupFileName();
        inf.SetQLBsetupINFName("D:\\SETUP\\NONE\\QLBSETUP.INF");
        QL_FUZZ_CHECK(inf.Exists() == 0 && kept == inf.GetSetupFileName(), "cache kept");
        QL_FUZZ_CHECK(inf.GetProductSubType() == -1 && inf.IsHSMAvailable() == 0, "no file, no values");
        break;
    }
    }
    return 0;
}
