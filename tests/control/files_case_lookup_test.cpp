// Names are matched without case on the sandbox's case-sensitive disk, by
// reading the folder or, for names with few letters, by looking up each
// spelling: both ways find the same entry.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <sys/stat.h>

#include <string>

namespace {

std::string HostRoot() { return winsim::LocalMachine().drives.at('C').hostRoot; }

void HostDir(const std::string &rel) { ASSERT_EQ(::mkdir((HostRoot() + "/" + rel).c_str(), 0755), 0) << rel; }

TEST(CaseLookup, NumberedAndLetteredNamesAreFoundInAnyCase) {
    HostDir("Targets");
    for (const char *name : {"t00001", "Ab7", "server01", "2024", "x.y"}) HostDir(std::string("Targets/") + name);
    winsim::Machine &m = winsim::LocalMachine();
    struct {
        const char *asked, *found;
    } cases[] = {{"T00001", "t00001"}, {"aB7", "Ab7"}, {"SERVER01", "server01"}, {"2024", "2024"}, {"X.Y", "x.y"}};
    for (auto &c : cases) {
        std::string host;
        ASSERT_TRUE(m.HostPath(std::string("C:\\TARGETS\\") + c.asked, host)) << c.asked;
        EXPECT_EQ(host, HostRoot() + "/Targets/" + c.found) << c.asked;
        EXPECT_FALSE(CreateDirectoryA((std::string("C:\\Targets\\") + c.asked).c_str(), NULL)) << c.asked;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS) << c.asked;
    }
    // A name no spelling of which is there is new, and keeps its case.
    ASSERT_TRUE(CreateDirectoryA("C:\\Targets\\T00002", NULL));
    std::string host;
    ASSERT_TRUE(m.HostPath("C:\\targets\\t00002", host));
    EXPECT_EQ(host, HostRoot() + "/Targets/T00002");
}

TEST(CaseLookup, OfSeveralOtherSpellingsTheSmallestWins) {
    for (const char *name : {"aB1", "Ab1", "bCd", "Bcd"}) HostDir(name);
    std::string host;
    ASSERT_TRUE(winsim::LocalMachine().HostPath("C:\\ab1", host));
    EXPECT_EQ(host, HostRoot() + "/Ab1");
    ASSERT_TRUE(winsim::LocalMachine().HostPath("C:\\BCD", host));
    EXPECT_EQ(host, HostRoot() + "/Bcd");
    // The spelling asked for, when it is there, comes first.
    ASSERT_TRUE(winsim::LocalMachine().HostPath("C:\\aB1", host));
    EXPECT_EQ(host, HostRoot() + "/aB1");
}

}  // namespace
