// A share's stored descriptor as the reports read it: whatever bytes a
// share holds, the access list reads only inside them, and bytes that are
// not a self-relative descriptor with every part inside give no entries.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>

#include <winsim/machine.h>

#include <cstring>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

// Owner BUILTIN\Administrators, a DACL allowing Everyone read: the
// descriptor's parts at the offsets the header gives.
Bytes Descriptor() {
    const BYTE everyone[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const BYTE admins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    Bytes sd(20, 0);
    sd[0] = SECURITY_DESCRIPTOR_REVISION;
    const WORD control = SE_SELF_RELATIVE | SE_DACL_PRESENT;
    memcpy(&sd[2], &control, 2);
    const DWORD dacl = 20, owner = 20 + 8 + 8 + sizeof everyone;
    memcpy(&sd[16], &dacl, 4);
    memcpy(&sd[4], &owner, 4);
    const BYTE acl[] = {ACL_REVISION, 0, 8 + 8 + sizeof everyone, 0, 1, 0, 0, 0};
    sd.insert(sd.end(), acl, acl + sizeof acl);
    const BYTE ace[] = {ACCESS_ALLOWED_ACE_TYPE, 0, 8 + sizeof everyone, 0, 0xA9, 0, 0x12, 0};
    sd.insert(sd.end(), ace, ace + sizeof ace);
    sd.insert(sd.end(), everyone, everyone + sizeof everyone);
    sd.insert(sd.end(), admins, admins + sizeof admins);
    return sd;
}

void Put(DWORD value, Bytes &sd, size_t at) { memcpy(&sd[at], &value, 4); }

class StoredDescriptor : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Share &s = winsim::LocalMachine().shares["Data"];
        s.netname = "Data";
        s.path = "C:\\";
    }
    std::vector<winsim::ShareAccessEntry> ListOf(const Bytes &sd) {
        // Exactly the bytes: a read past them is a read past the block.
        winsim::LocalMachine().shares["Data"].securityDescriptor = sd;
        return winsim::ShareAccessList(winsim::LocalMachine(), "Data");
    }
};

TEST_F(StoredDescriptor, AWellFormedOneListsItsEntries) {
    EXPECT_EQ(ListOf(Descriptor()), (std::vector<winsim::ShareAccessEntry>{{"Everyone", true, 0x1200A9}}));
    // Level 502 gives the bytes as they are stored.
    LPBYTE buffer = NULL;
    WCHAR name[] = {'D', 'a', 't', 'a', 0};
    ASSERT_EQ(NetShareGetInfo(NULL, name, 502, &buffer), (NET_API_STATUS)NERR_Success);
    const Bytes sd = Descriptor();
    EXPECT_EQ(memcmp(((SHARE_INFO_502 *)buffer)->shi502_security_descriptor, sd.data(), sd.size()), 0);
    NetApiBufferFree(buffer);
}

TEST_F(StoredDescriptor, PartsOutsideTheBytesGiveNoEntries) {
    const Bytes good = Descriptor();
    Bytes sd = good;
    Put(4096, sd, 16);  // the DACL far past the end
    EXPECT_TRUE(ListOf(sd).empty());
    sd = good;
    Put((DWORD)good.size() - 4, sd, 16);  // the DACL's header across the end
    EXPECT_TRUE(ListOf(sd).empty());
    sd = good;
    sd[22] = 0xF0;  // an ACL size past the end
    EXPECT_TRUE(ListOf(sd).empty());
    sd = good;
    Put((DWORD)good.size() - 12, sd, 4);  // an owner of two sub-authorities with 12 bytes left
    EXPECT_TRUE(ListOf(sd).empty());
    sd = good;
    sd.resize(good.size() - 1);  // the last byte of the owner cut off
    EXPECT_TRUE(ListOf(sd).empty());
    EXPECT_TRUE(ListOf(Bytes(good.begin(), good.begin() + 12)).empty());  // less than a header
    // Nothing is changed by reading: the bytes stay as stored.
    EXPECT_EQ(winsim::LocalMachine().shares["Data"].securityDescriptor, Bytes(good.begin(), good.begin() + 12));
    EXPECT_EQ(winsim::DescribeShares(winsim::LocalMachine()).size(), 4u * 2 - 1);
}

TEST_F(StoredDescriptor, OnlyTheSelfRelativeFormWithAlignedPartsIsRead) {
    // Without the self-relative bit the offsets would be taken as pointers.
    Bytes sd = Descriptor();
    sd[3] &= (BYTE)~(SE_SELF_RELATIVE >> 8);
    EXPECT_TRUE(ListOf(sd).empty());
    // A part off its 4-byte boundary.
    sd = Descriptor();
    sd.insert(sd.begin() + 20, 0);
    sd.resize(sd.size() + 3, 0);
    Put(21, sd, 16);
    Put(21 + 8 + 8 + 12, sd, 4);
    EXPECT_TRUE(ListOf(sd).empty());
}

}  // namespace
