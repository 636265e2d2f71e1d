// SIDs, ACLs and security descriptors: the Windows byte layouts, and the
// functions that build and read them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "support/wine.h"

// The records as 32-bit Windows lays them out (pointer-sized fields double
// on 64-bit builds, as on Windows x64).
static_assert(sizeof(SID_IDENTIFIER_AUTHORITY) == 6, "SID_IDENTIFIER_AUTHORITY");
static_assert(offsetof(SID, IdentifierAuthority) == 2 && offsetof(SID, SubAuthority) == 8 && sizeof(SID) == 12, "SID");
static_assert(sizeof(ACL) == 8 && offsetof(ACL, AclSize) == 2 && offsetof(ACL, AceCount) == 4, "ACL");
static_assert(sizeof(ACE_HEADER) == 4 && offsetof(ACE_HEADER, AceSize) == 2, "ACE_HEADER");
static_assert(offsetof(ACCESS_ALLOWED_ACE, Mask) == 4 && offsetof(ACCESS_ALLOWED_ACE, SidStart) == 8 &&
                  sizeof(ACCESS_ALLOWED_ACE) == 12,
              "ACCESS_ALLOWED_ACE");
static_assert(sizeof(ACCESS_DENIED_ACE) == 12, "ACCESS_DENIED_ACE");
static_assert(sizeof(SECURITY_DESCRIPTOR_RELATIVE) == 20 && offsetof(SECURITY_DESCRIPTOR_RELATIVE, Owner) == 4 &&
                  offsetof(SECURITY_DESCRIPTOR_RELATIVE, Group) == 8 &&
                  offsetof(SECURITY_DESCRIPTOR_RELATIVE, Sacl) == 12 &&
                  offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl) == 16,
              "SECURITY_DESCRIPTOR_RELATIVE");
static_assert(offsetof(SECURITY_DESCRIPTOR, Control) == 2 && offsetof(SECURITY_DESCRIPTOR, Owner) == sizeof(void *) &&
                  sizeof(SECURITY_DESCRIPTOR) == 4 * sizeof(void *) + sizeof(void *),
              "SECURITY_DESCRIPTOR");
static_assert(sizeof(void *) != 4 || sizeof(SECURITY_DESCRIPTOR) == 20, "SECURITY_DESCRIPTOR on 32-bit");
static_assert(sizeof(LUID_AND_ATTRIBUTES) == 12 && sizeof(TOKEN_PRIVILEGES) == 16, "TOKEN_PRIVILEGES");
static_assert(sizeof(ACL_SIZE_INFORMATION) == 12 && sizeof(GENERIC_MAPPING) == 16, "ACL information");

namespace {

struct Sid {
    PSID p = nullptr;
    Sid(BYTE authority, BYTE count, DWORD a = 0, DWORD b = 0) {
        SID_IDENTIFIER_AUTHORITY auth = {{0, 0, 0, 0, 0, authority}};
        EXPECT_TRUE(AllocateAndInitializeSid(&auth, count, a, b, 0, 0, 0, 0, 0, 0, &p));
    }
    ~Sid() { FreeSid(p); }
};

TEST(Sids, AllocatedSidHasTheWindowsBytes) {
    Sid admins(5, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    const BYTE expected[] = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 2, 0, 0};
    ASSERT_TRUE(IsValidSid(admins.p));
    ASSERT_EQ(GetLengthSid(admins.p), sizeof expected);
    EXPECT_EQ(memcmp(admins.p, expected, sizeof expected), 0);
    Sid world(1, 1, SECURITY_WORLD_RID);
    EXPECT_EQ(GetLengthSid(world.p), 12u);
}

TEST(Sids, EqualAndCopy) {
    SKIP_ON_WINE("CopySid into a buffer that is too small fails without setting ERROR_INSUFFICIENT_BUFFER");
    Sid a(5, 2, 32, 544), b(5, 2, 32, 544), c(5, 2, 32, 551);
    EXPECT_TRUE(EqualSid(a.p, b.p));
    EXPECT_FALSE(EqualSid(a.p, c.p));
    BYTE small[8];
    SetLastError(0);
    EXPECT_FALSE(CopySid(sizeof small, small, a.p));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    BYTE room[SECURITY_MAX_SID_SIZE];
    ASSERT_TRUE(CopySid(sizeof room, room, a.p));
    EXPECT_TRUE(EqualSid(room, a.p));
}

TEST(Sids, BadRevisionIsNotASid) {
    SKIP_ON_WINE("EqualSid of an invalid SID fails without setting ERROR_INVALID_SID");
    BYTE bogus[12] = {2, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_FALSE(IsValidSid(bogus));
    SetLastError(0);
    EXPECT_FALSE(EqualSid(bogus, bogus));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SID);
}

TEST(Acls, EntriesFollowTheHeaderInOrder) {
    SKIP_ON_WINE("GetAclInformation with a short buffer fails with ERROR_INVALID_PARAMETER, not ERROR_INSUFFICIENT_BUFFER");
    Sid world(1, 1, 0), admins(5, 2, 32, 544);
    alignas(4) BYTE buffer[64];
    PACL acl = (PACL)buffer;
    ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, 0x1200A9, world.p));
    ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, 0x1F01FF, admins.p));
    EXPECT_EQ(acl->AceCount, 2);
    EXPECT_EQ(acl->AclSize, sizeof buffer);
    // First entry: header, mask, SID right after.
    const BYTE *first = buffer + sizeof(ACL);
    EXPECT_EQ(first[0], ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(*(const WORD *)(first + 2), 8 + 12);
    EXPECT_EQ(*(const DWORD *)(first + 4), 0x1200A9u);
    EXPECT_TRUE(EqualSid((PSID)(first + 8), world.p));
    void *ace = nullptr;
    ASSERT_TRUE(GetAce(acl, 1, &ace));
    EXPECT_EQ(ace, (void *)(first + 20));
    EXPECT_EQ(((ACE_HEADER *)ace)->AceType, ACCESS_DENIED_ACE_TYPE);
    SetLastError(0);
    EXPECT_FALSE(GetAce(acl, 2, &ace));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

    ACL_SIZE_INFORMATION size;
    ASSERT_TRUE(GetAclInformation(acl, &size, sizeof size, AclSizeInformation));
    EXPECT_EQ(size.AceCount, 2u);
    EXPECT_EQ(size.AclBytesInUse, 8u + 20 + 24);
    EXPECT_EQ(size.AclBytesFree, 64u - 52);
    ACL_REVISION_INFORMATION revision;
    ASSERT_TRUE(GetAclInformation(acl, &revision, sizeof revision, AclRevisionInformation));
    EXPECT_EQ(revision.AclRevision, (DWORD)ACL_REVISION);
    EXPECT_FALSE(GetAclInformation(acl, &size, sizeof size - 1, AclSizeInformation));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);

    ASSERT_TRUE(DeleteAce(acl, 0));
    ASSERT_TRUE(GetAce(acl, 0, &ace));
    EXPECT_EQ(ace, (void *)first);
    EXPECT_EQ(((ACE_HEADER *)ace)->AceType, ACCESS_DENIED_ACE_TYPE);
    EXPECT_TRUE(IsValidAcl(acl));
}

TEST(Acls, AnEntryThatDoesNotFitIsRefused) {
    Sid admins(5, 2, 32, 544);
    alignas(4) BYTE buffer[8 + 24 + 20];
    PACL acl = (PACL)buffer;
    ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, 1, admins.p));
    SetLastError(0);
    EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, 1, admins.p));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALLOTTED_SPACE_EXCEEDED);
    EXPECT_EQ(acl->AceCount, 1);
    SetLastError(0);
    EXPECT_FALSE(InitializeAcl(acl, 4, ACL_REVISION));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(Acls, ACorruptEntrySizeMakesTheListInvalid) {
    Sid world(1, 1, 0);
    alignas(4) BYTE buffer[32];
    PACL acl = (PACL)buffer;
    ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, 1, world.p));
    ((ACE_HEADER *)(buffer + 8))->AceSize = 200;
    EXPECT_FALSE(IsValidAcl(acl));
    SetLastError(0);
    EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, 1, world.p));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_ACL);
}

// An absolute descriptor with an owner and a one-entry DACL.
struct Absolute {
    SECURITY_DESCRIPTOR sd;
    alignas(4) BYTE acl[32];
    Sid owner{5, 2, 32, 544};
    Sid world{1, 1, 0};
    Absolute() {
        EXPECT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
        EXPECT_TRUE(InitializeAcl((PACL)acl, sizeof acl, ACL_REVISION));
        EXPECT_TRUE(AddAccessAllowedAce((PACL)acl, ACL_REVISION, 0x1F01FF, world.p));
        EXPECT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, (PACL)acl, FALSE));
        EXPECT_TRUE(SetSecurityDescriptorOwner(&sd, owner.p, FALSE));
    }
};

TEST(SecurityDescriptors, SelfRelativeFormIsSizedByAFailingCall) {
    SKIP_ON_WINE("MakeSelfRelativeSD of a self-relative descriptor fails with ERROR_INVALID_PARAMETER, not ERROR_BAD_DESCRIPTOR_FORMAT");
    Absolute a;
    EXPECT_TRUE(IsValidSecurityDescriptor(&a.sd));
    DWORD size = 0;
    SetLastError(0);
    EXPECT_FALSE(MakeSelfRelativeSD(&a.sd, nullptr, &size));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, 20u + 32 + 16);
    std::vector<BYTE> rel(size);
    ASSERT_TRUE(MakeSelfRelativeSD(&a.sd, rel.data(), &size));
    const SECURITY_DESCRIPTOR_RELATIVE *h = (const SECURITY_DESCRIPTOR_RELATIVE *)rel.data();
    EXPECT_EQ(h->Revision, SECURITY_DESCRIPTOR_REVISION);
    EXPECT_EQ(h->Control, SE_SELF_RELATIVE | SE_DACL_PRESENT);
    EXPECT_EQ(h->Sacl, 0u);
    EXPECT_EQ(h->Group, 0u);
    ASSERT_NE(h->Dacl, 0u);
    ASSERT_NE(h->Owner, 0u);
    EXPECT_EQ(memcmp(rel.data() + h->Dacl, a.acl, sizeof a.acl), 0);
    EXPECT_TRUE(EqualSid(rel.data() + h->Owner, a.owner.p));
    EXPECT_EQ(GetSecurityDescriptorLength(rel.data()), size);
    EXPECT_TRUE(IsValidSecurityDescriptor(rel.data()));

    // Getters read the self-relative form; setters refuse it.
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(rel.data(), &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    EXPECT_EQ((BYTE *)dacl, rel.data() + h->Dacl);
    SetLastError(0);
    EXPECT_FALSE(SetSecurityDescriptorDacl(rel.data(), TRUE, nullptr, FALSE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SECURITY_DESCR);
    SetLastError(0);
    EXPECT_FALSE(MakeSelfRelativeSD(rel.data(), nullptr, &size));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_DESCRIPTOR_FORMAT);
}

TEST(SecurityDescriptors, AbsoluteFormIsSizedPartByPart) {
    SKIP_ON_WINE("MakeAbsoluteSD of an absolute descriptor fails with ERROR_INVALID_PARAMETER, not ERROR_BAD_DESCRIPTOR_FORMAT");
    Absolute a;
    DWORD size = 0;
    MakeSelfRelativeSD(&a.sd, nullptr, &size);
    std::vector<BYTE> rel(size);
    ASSERT_TRUE(MakeSelfRelativeSD(&a.sd, rel.data(), &size));

    DWORD sdSize = 0, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
    SetLastError(0);
    EXPECT_FALSE(MakeAbsoluteSD(rel.data(), nullptr, &sdSize, nullptr, &daclSize, nullptr, &saclSize, nullptr,
                                &ownerSize, nullptr, &groupSize));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(sdSize, (DWORD)sizeof(SECURITY_DESCRIPTOR));
    EXPECT_EQ(daclSize, 32u);
    EXPECT_EQ(saclSize, 0u);
    EXPECT_EQ(ownerSize, 16u);
    EXPECT_EQ(groupSize, 0u);
    SECURITY_DESCRIPTOR sd;
    alignas(4) BYTE dacl[32], owner[16];
    ASSERT_TRUE(MakeAbsoluteSD(rel.data(), &sd, &sdSize, (PACL)dacl, &daclSize, nullptr, &saclSize, owner,
                               &ownerSize, nullptr, &groupSize));
    EXPECT_EQ(sd.Control, SE_DACL_PRESENT);
    EXPECT_EQ(sd.Dacl, (PACL)dacl);
    EXPECT_EQ(sd.Owner, (PSID)owner);
    EXPECT_EQ(sd.Group, nullptr);
    EXPECT_EQ(memcmp(dacl, a.acl, sizeof dacl), 0);
    PSID got = nullptr;
    BOOL defaulted = TRUE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(&sd, &got, &defaulted));
    EXPECT_TRUE(EqualSid(got, a.owner.p));
    SetLastError(0);
    EXPECT_FALSE(MakeAbsoluteSD(&sd, nullptr, &sdSize, nullptr, &daclSize, nullptr, &saclSize, nullptr, &ownerSize,
                                nullptr, &groupSize));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_DESCRIPTOR_FORMAT);
}

TEST(SecurityDescriptors, OnlyRevisionOneInitializes) {
    SECURITY_DESCRIPTOR sd;
    SetLastError(0);
    EXPECT_FALSE(InitializeSecurityDescriptor(&sd, 2));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_UNKNOWN_REVISION);
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    BOOL present = TRUE, defaulted = TRUE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(&sd, &present, &acl, &defaulted));
    EXPECT_FALSE(present);
}

}  // namespace
