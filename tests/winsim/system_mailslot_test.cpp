// Mailslots on one machine: message boundaries, reads with a small buffer,
// the empty slot with a zero time-out, and writers without a listener.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/wine.h"

#include <cstring>
#include <string>

namespace {

const char kSlot[] = "\\\\.\\mailslot\\winsim\\test";

HANDLE OpenClient(const char *path) {
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Send(HANDLE client, const std::string &message) {
    DWORD written = 0;
    BOOL ok = WriteFile(client, message.data(), (DWORD)message.size(), &written, nullptr);
    return ok && written == message.size();
}

class MailslotTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = CreateMailslotA(kSlot, 0, 0, nullptr);
        ASSERT_NE(server_, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (server_ != INVALID_HANDLE_VALUE) CloseHandle(server_);
    }
    void ExpectInfo(DWORD nextSize, DWORD count) {
        DWORD max = 1, next = 1, n = 1, timeout = 1;
        ASSERT_TRUE(GetMailslotInfo(server_, &max, &next, &n, &timeout));
        EXPECT_EQ(max, 0u);
        EXPECT_EQ(next, nextSize);
        EXPECT_EQ(n, count);
        EXPECT_EQ(timeout, 0u);
    }
    HANDLE server_ = INVALID_HANDLE_VALUE;
};

TEST_F(MailslotTest, EmptySlot) {
    ExpectInfo(MAILSLOT_NO_MESSAGE, 0);
    char buffer[16];
    DWORD read = 99;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(server_, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SEM_TIMEOUT);
    EXPECT_EQ(read, 0u);
}

TEST_F(MailslotTest, EachReadTakesOneWholeMessage) {
    SKIP_ON_WINE("GetMailslotInfo counts one message waiting however many are queued");
    HANDLE client = OpenClient(kSlot);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    const std::string messages[] = {"QLSERVER 3 1", "x", "QLSERVER 4 2 done"};
    for (const auto &m : messages) ASSERT_TRUE(Send(client, m));
    ExpectInfo(12, 3);
    for (const auto &m : messages) {
        char buffer[64];
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(server_, buffer, sizeof buffer, &read, nullptr));
        EXPECT_EQ(std::string(buffer, read), m);
    }
    ExpectInfo(MAILSLOT_NO_MESSAGE, 0);
    CloseHandle(client);
}

TEST_F(MailslotTest, ShortBufferLeavesTheMessageQueued) {
    SKIP_ON_WINE("ReadFile with a buffer too small for the message returns part of it instead of failing with ERROR_INSUFFICIENT_BUFFER");
    HANDLE client = OpenClient(kSlot);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Send(client, "twelve chars"));
    char buffer[16];
    DWORD read = 99;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(server_, buffer, 11, &read, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(read, 0u);
    ExpectInfo(12, 1);
    ASSERT_TRUE(ReadFile(server_, buffer, 12, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "twelve chars");
    CloseHandle(client);
}

TEST_F(MailslotTest, NamesIgnoreCaseAndExistOnce) {
    HANDLE client = OpenClient("\\\\.\\MAILSLOT\\WinSim\\TEST");
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Send(client, "hi"));
    ExpectInfo(2, 1);
    CloseHandle(client);
    SetLastError(0);
    EXPECT_EQ(CreateMailslotA("\\\\.\\mailslot\\WINSIM\\test", 0, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
}

TEST_F(MailslotTest, NoListenerFailsAtOnce) {
    SetLastError(0);
    EXPECT_EQ(OpenClient("\\\\.\\mailslot\\winsim\\nobody"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(CloseHandle(server_));
    server_ = INVALID_HANDLE_VALUE;
    SetLastError(0);
    EXPECT_EQ(OpenClient(kSlot), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(MailslotTest, OwnComputerNameIsThisMachine) {
    SKIP_ON_WINE("a mailslot opens only as \\\\.\\mailslot\\..., not under the computer's own name");
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    std::string path = std::string("\\\\") + name + "\\mailslot\\winsim\\test";
    HANDLE client = OpenClient(path.c_str());
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Send(client, "via name"));
    ExpectInfo(8, 1);
    CloseHandle(client);
}

TEST_F(MailslotTest, ServerDoesNotWriteAndClientDoesNotRead) {
    HANDLE client = OpenClient(kSlot);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    char buffer[8] = "x";
    EXPECT_FALSE(WriteFile(server_, buffer, 1, &n, nullptr));
    EXPECT_FALSE(ReadFile(client, buffer, sizeof buffer, &n, nullptr));
    SetLastError(0);
    EXPECT_FALSE(GetMailslotInfo(client, nullptr, nullptr, nullptr, nullptr));
    CloseHandle(client);
}

// No name is no path: ERROR_PATH_NOT_FOUND, as for a path that names nothing.
TEST(Mailslot, CreateWithoutANameFails) {
    SetLastError(0);
    EXPECT_EQ(CreateMailslotA(nullptr, 0, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

// A slot created with a maximum message size refuses longer messages; the
// writer learns it from WriteFile and nothing reaches the slot. A maximum
// of 0 takes any size.
TEST(Mailslot, LongerThanTheMaximumIsRefused) {
    SKIP_ON_WINE("WriteFile to a mailslot accepts a message longer than the slot's maximum message size");
    const char path[] = "\\\\.\\mailslot\\winsim\\small";
    HANDLE server = CreateMailslotA(path, 8, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    HANDLE client = OpenClient(path);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Send(client, "12345678"));
    DWORD written = 99;
    SetLastError(0);
    EXPECT_FALSE(WriteFile(client, "123456789", 9, &written, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(written, 0u);
    DWORD max = 0, next = 0, count = 0;
    ASSERT_TRUE(GetMailslotInfo(server, &max, &next, &count, nullptr));
    EXPECT_EQ(max, 8u);
    EXPECT_EQ(next, 8u);
    EXPECT_EQ(count, 1u);
    CloseHandle(client);
    CloseHandle(server);

    server = CreateMailslotA(path, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    client = OpenClient(path);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Send(client, std::string(5000, 'm')));
    CloseHandle(client);
    CloseHandle(server);
}

}  // namespace
