// Build ranges of the setup information file: any value text is read as
// its parts say (the number each part begins with), and a range written as
// "min,max" or a single build reads back as those builds.
#include "fuzz_support.h"

#include <climits>
#include <cstring>

#include "settings/SetupInf.h"

namespace {

const char kInf[] = "D:\\SETUP\\QLBSETUP.INF";

long long Leading(const std::string &t) {
    size_t i = 0;
    while (i < t.size() && t[i] != '\0' && strchr(" \t\n\r\v\f", t[i])) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    long long v = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) v = std::min(v * 10 + (t[i] - '0'), (long long)INT_MAX + 1);
    v = negative ? -v : v;
    return std::max<long long>(std::min<long long>(v, INT_MAX), INT_MIN);
}

int Read(CSetupInf &inf, const std::string &value, int &minBuild, int &maxBuild) {
    qlfuzz::Machine().PutFile(kInf, "[Setup]\r\nProdSubType=1\r\n[BuildNumber]\r\nRange=" + value + "\r\n");
    minBuild = maxBuild = -5;
    return inf.GetUpdateBuildNoRange("Range", &minBuild, &maxBuild);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    qlfuzz::Machine();
    static const CSetupInf bound = [] {
        qlfuzz::Machine().PutFile(kInf, "");
        CSetupInf made;
        made.SetQLBsetupINFName(kInf);
        return made;
    }();
    CSetupInf inf(bound);

    // A range written out reads back as itself (one form per run, picked by
    // the input's first byte, whose builds are the next eight).
    if (size >= 9 && (data[0] & 1)) {
        int a, b;
        memcpy(&a, data + 1, 4);
        memcpy(&b, data + 5, 4);
        a = a < 0 ? -(a + 1) : a;
        b = b < 0 ? -(b + 1) : b;
        int minBuild, maxBuild;
        if (data[0] & 2) {
            int r = Read(inf, std::to_string(a) + "," + std::to_string(b), minBuild, maxBuild);
            QL_FUZZ_CHECK(minBuild == a && maxBuild == b && r == (b >= 1 ? 1 : 0), "%d,%d reads %d (%d, %d)", a, b, r,
                          minBuild, maxBuild);
        } else {
            int r = Read(inf, std::to_string(b), minBuild, maxBuild);
            QL_FUZZ_CHECK(minBuild == b && maxBuild == b && r == (b >= 1 ? 1 : 0), "%d reads %d (%d, %d)", b, r,
                          minBuild, maxBuild);
        }
    }

    // Any text of one line: the input after its first byte.
    std::string line = size ? qlfuzz::Text(data + 1, size - 1) : std::string();
    line = line.substr(0, line.find_first_of("\r\n"));
    int minBuild, maxBuild;
    int r = Read(inf, line, minBuild, maxBuild);
    char whole[1 << 12];
    DWORD n = GetPrivateProfileStringA("BuildNumber", "Range", "", whole, sizeof whole, kInf);
    const std::string value(whole, n);
    const std::string text = value.c_str();
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
                  "\"%s\" gives %d (%d, %d), %d (%lld, %lld) expected", text.c_str(), r, minBuild, maxBuild, expected,
                  emin, emax);
    return 0;
}
