// Splitting command lines into switches and text arguments.
#include <gtest/gtest.h>

#include "settings/CommandLineMap.h"

namespace {

struct Entry {
    const char *key;
    const char *value;
};

void ExpectEntries(const CCommandLineMap &map, std::vector<Entry> expected, const char *what) {
    EXPECT_EQ(map.GetCount(), (int)expected.size()) << what;
    for (auto &e : expected) {
        CString value;
        EXPECT_TRUE(map.Lookup(e.key, value)) << what << ": " << e.key;
        EXPECT_STREQ((LPCSTR)value, e.value) << what << ": " << e.key;
    }
}

TEST(CommandLineMap, TokenTable) {
    struct Case {
        const char *line;
        std::vector<Entry> entries;
    } cases[] = {
        {"-r", {{"r", ""}}},
        {"-rCONSOLE", {{"r", "CONSOLE"}}},
        {"-r:CONSOLE", {{"r", "CONSOLE"}}},
        {"-host:SRV1", {{"host", "SRV1"}}},
        {"-abc", {{"a", "bc"}}},
        {"-", {}},
        {"-SMSInstall", {{"SMSInstall", "QUILLBAK.ICF"}}},
        {"-SMSUninstall", {{"SMSUninstall", "QUILLBAK.ICF"}}},
        {"-SMSInstall:my.icf", {{"SMSInstall", "my.icf"}}},
        {"-smsinstall", {{"s", "msinstall"}}},
        {"word", {{"#0", "word"}}},
        {"-a:b:c", {{"a", "b:c"}}},
        {"-:x", {{"", "x"}}},
        {"setup.exe  -x1  a", {{"#0", "setup.exe"}, {"x", "1"}, {"#1", "a"}}},
        {"\"C:\\Program Files\\setup.exe\" -r", {{"#0", "\"C:\\Program"}, {"#1", "Files\\setup.exe\""}, {"r", ""}}},
        {"-r1 -r2", {{"r", "2"}}},
        {"a\tb c", {{"#0", "a\tb"}, {"#1", "c"}}},
        {"", {}},
        {"   ", {}},
    };
    for (auto &c : cases) {
        CCommandLineMap map(c.line, '-');
        ExpectEntries(map, c.entries, c.line);
    }
}

TEST(CommandLineMap, NullLineAndOtherSwitchCharacter) {
    CCommandLineMap none(NULL, '-');
    EXPECT_EQ(none.GetCount(), 0);
    CCommandLineMap slash("/q -x /n:1", '/');
    ExpectEntries(slash, {{"q", ""}, {"#0", "-x"}, {"n", "1"}}, "slash");
}

TEST(CommandLineMap, LookUps) {
    CCommandLineMap map("setup.exe -r CONSOLE -host:SRV1 -q", '-');
    EXPECT_EQ(map.GetSwitch('r'), 1);
    EXPECT_EQ(map.GetSwitch('R'), 0);
    EXPECT_EQ(map.GetSwitch("host"), 1);
    EXPECT_EQ(map.GetSwitch("HOST"), 0);
    CString value("untouched");
    EXPECT_EQ(map.GetSwitch('r', value, "dflt"), 1);
    EXPECT_STREQ((LPCSTR)value, "");
    EXPECT_EQ(map.GetSwitch("host", value, NULL), 1);
    EXPECT_STREQ((LPCSTR)value, "SRV1");
    EXPECT_EQ(map.GetSwitch('z', value, "dflt"), 0);
    EXPECT_STREQ((LPCSTR)value, "dflt");
    value = "kept";
    EXPECT_EQ(map.GetSwitch("zz", value, NULL), 0);
    EXPECT_STREQ((LPCSTR)value, "kept");
    CString text;
    EXPECT_EQ(map.GetText(0, text), 1);
    EXPECT_STREQ((LPCSTR)text, "setup.exe");
    EXPECT_EQ(map.GetText(1, text), 1);
    EXPECT_STREQ((LPCSTR)text, "CONSOLE");
    EXPECT_EQ(map.GetText(2, text), 0);
    EXPECT_STREQ((LPCSTR)text, "CONSOLE");
}

}  // namespace
