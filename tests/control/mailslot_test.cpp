// Mailslots between simulated machines: a status console on another machine
// receives what this one writes; every delivery is logged on the receiver.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>

namespace {

HANDLE OpenClient(const std::string &path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool Send(HANDLE client, const std::string &message) {
    DWORD written = 0;
    return WriteFile(client, message.data(), (DWORD)message.size(), &written, nullptr) && written == message.size();
}

TEST(Mailslots, DeliveryToAnotherMachine) {
    winsim::Machine &console = winsim::CreateDefaultMachine("CONSOLE");
    console.mailslots.insert("STATUS");
    HANDLE client = OpenClient("\\\\console\\mailslot\\status");
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Send(client, "QLSERVER 3 1 1001"));
    ASSERT_TRUE(Send(client, "QLSERVER 3 2 1001"));
    CloseHandle(client);
    ASSERT_EQ(console.mailslotLog.size(), 2u);
    EXPECT_EQ(console.mailslotLog[0].slot, "\\\\.\\mailslot\\STATUS");
    EXPECT_EQ(console.mailslotLog[0].data, "QLSERVER 3 1 1001");
    EXPECT_EQ(console.mailslotLog[1].data, "QLSERVER 3 2 1001");
    EXPECT_EQ(console.mailslotQueues["status"], (std::vector<std::string>{"QLSERVER 3 1 1001", "QLSERVER 3 2 1001"}));
    EXPECT_TRUE(winsim::LocalMachine().mailslotLog.empty());
}

TEST(Mailslots, WithoutTheSlotOrTheMachineNothingOpens) {
    winsim::Machine &console = winsim::CreateDefaultMachine("CONSOLE");
    const char *paths[] = {"\\\\CONSOLE\\mailslot\\status", "\\\\NOSUCHBOX\\mailslot\\status"};
    for (const char *path : paths) {
        SetLastError(0);
        EXPECT_EQ(OpenClient(path), INVALID_HANDLE_VALUE) << path;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND) << path;
    }
    EXPECT_TRUE(console.mailslotLog.empty());
}

TEST(Mailslots, ServerHandleOwnsTheSlot) {
    winsim::Machine &local = winsim::LocalMachine();
    HANDLE server = CreateMailslotA("\\\\.\\mailslot\\status", 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    EXPECT_EQ(local.mailslots.count("STATUS"), 1u);
    HANDLE client = OpenClient("\\\\*\\mailslot\\status");
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Send(client, "broadcast"));
    ASSERT_EQ(local.mailslotLog.size(), 1u);
    EXPECT_EQ(local.mailslotLog[0].data, "broadcast");
    ASSERT_TRUE(CloseHandle(server));
    EXPECT_EQ(local.mailslots.count("STATUS"), 0u);
    // A message to a slot that has gone is lost without an error.
    EXPECT_TRUE(Send(client, "lost"));
    EXPECT_EQ(local.mailslotLog.size(), 1u);
    CloseHandle(client);
}

TEST(Mailslots, FiniteReadTimeOutPassesOnTheClock) {
    HANDLE server = CreateMailslotA("\\\\.\\mailslot\\slow", 0, 2500, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    uint64_t before = winsim::ClockMs();
    char buffer[8];
    DWORD read = 0;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(server, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SEM_TIMEOUT);
    EXPECT_EQ(winsim::ClockMs() - before, 2500u);
    CloseHandle(server);
}

TEST(Mailslots, MalformedNames) {
    const char *names[] = {"\\\\.\\pipe\\status", "status", "\\\\.\\mailslot\\"};
    for (const char *name : names) {
        SetLastError(0);
        EXPECT_EQ(CreateMailslotA(name, 0, 0, nullptr), INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME) << name;
    }
}

TEST(Mailslots, InjectedFailure) {
    winsim::InjectFault("CreateMailslotA", ERROR_ACCESS_DENIED);
    SetLastError(0);
    EXPECT_EQ(CreateMailslotA("\\\\.\\mailslot\\status", 0, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(winsim::LocalMachine().mailslots.empty());
}

}  // namespace
