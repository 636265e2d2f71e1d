// Injected registry failures, a second machine reached with
// RegConnectRegistryA, and what a reset of the world does to handles.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <functional>
#include <string>

namespace {

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }

LONG SetDword(HKEY k, const char *name, DWORD v) {
    return RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), sizeof v);
}

class RegFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillbak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override { RegCloseKey(key_); }
    HKEY key_ = nullptr;
};

TEST_F(RegFaults, InjectedSetValueFailureReachesTheCaller) {
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetDword(key_, "Port", 1), ERROR_ACCESS_DENIED);
    DWORD d;
    EXPECT_FALSE(Reg().GetDword("HKLM\\SOFTWARE\\Quillbak", "Port", d));  // nothing written
    EXPECT_EQ(SetDword(key_, "Port", 2), ERROR_SUCCESS);                  // once only
    EXPECT_TRUE(Reg().GetDword("HKLM\\SOFTWARE\\Quillbak", "Port", d));
    EXPECT_EQ(d, 2u);
    EXPECT_EQ(winsim::CallCount("RegSetValueExA"), 2u);
}

TEST_F(RegFaults, NthCallFails) {
    ASSERT_EQ(SetDword(key_, "Port", 7), ERROR_SUCCESS);
    winsim::InjectFault("RegQueryValueExA", ERROR_GEN_FAILURE, winsim::FaultMode::Nth, 3);
    const LONG expected[] = {ERROR_SUCCESS, ERROR_SUCCESS, ERROR_GEN_FAILURE, ERROR_SUCCESS};
    for (LONG e : expected) {
        DWORD v = 0, size = sizeof v;
        EXPECT_EQ(RegQueryValueExA(key_, "Port", nullptr, nullptr, (BYTE *)&v, &size), e);
        EXPECT_EQ(v, e == ERROR_SUCCESS ? 7u : 0u);
    }
    EXPECT_EQ(winsim::CallCount("RegQueryValueExA"), 4u);
}

TEST_F(RegFaults, AlwaysFailsUntilCleared) {
    winsim::InjectFault("RegOpenKeyExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    HKEY k;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), ERROR_ACCESS_DENIED);
    winsim::ClearFaults();
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(winsim::CallCount("RegOpenKeyExA"), 4u);
}

TEST_F(RegFaults, EveryRegistryFunctionHasAFaultGate) {
    ASSERT_EQ(SetDword(key_, "Port", 7), ERROR_SUCCESS);
    HKEY sub;
    ASSERT_EQ(RegCreateKeyExA(key_, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
    RegCloseKey(sub);
    HKEY k = key_;
    HKEY out = nullptr;
    char name[64];
    DWORD cch = sizeof name, size = 4, v;
    const struct {
        const char *function;
        std::function<LONG()> call;
    } calls[] = {
        {"RegOpenKeyExA", [&] { return RegOpenKeyExA(k, "Sub", 0, KEY_READ, &out); }},
        {"RegOpenKeyA", [&] { return RegOpenKeyA(k, "Sub", &out); }},
        {"RegCreateKeyExA", [&] { return RegCreateKeyExA(k, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr); }},
        {"RegCreateKeyA", [&] { return RegCreateKeyA(k, "Sub", &out); }},
        {"RegQueryValueExA", [&] { return RegQueryValueExA(k, "Port", nullptr, nullptr, (BYTE *)&v, &size); }},
        {"RegSetValueExA", [&] { return SetDword(k, "Port", 8); }},
        {"RegDeleteKeyA", [&] { return RegDeleteKeyA(k, "Sub"); }},
        {"RegDeleteValueA", [&] { return RegDeleteValueA(k, "Port"); }},
        {"RegEnumKeyExA", [&] { return RegEnumKeyExA(k, 0, name, &cch, nullptr, nullptr, nullptr, nullptr); }},
        {"RegEnumKeyA", [&] { return RegEnumKeyA(k, 0, name, sizeof name); }},
        {"RegEnumValueA", [&] { return RegEnumValueA(k, 0, name, &cch, nullptr, nullptr, nullptr, nullptr); }},
        {"RegQueryInfoKeyA", [&] {
             return RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
         }},
        {"RegCloseKey", [&] { return RegCloseKey(k); }},
        {"RegFlushKey", [&] { return RegFlushKey(k); }},
        {"RegConnectRegistryA", [&] { return RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &out); }},
    };
    for (const auto &c : calls) {
        unsigned before = winsim::CallCount(c.function);
        winsim::InjectFault(c.function, ERROR_GEN_FAILURE);
        EXPECT_EQ(c.call(), ERROR_GEN_FAILURE) << c.function;
        EXPECT_EQ(winsim::CallCount(c.function), before + 1) << c.function;
    }
    // None of them ran: the key, its value and its subkey are all still there.
    DWORD port;
    EXPECT_TRUE(Reg().GetDword("HKLM\\SOFTWARE\\Quillbak", "Port", port));
    EXPECT_EQ(port, 7u);
    EXPECT_NE(Reg().Find("HKLM\\SOFTWARE\\Quillbak\\Sub"), nullptr);
    EXPECT_EQ(RegFlushKey(key_), ERROR_SUCCESS);
}

TEST(RegConnect, SecondMachineByName) {
    winsim::Machine &local = winsim::LocalMachine();
    winsim::Machine &other = winsim::CreateDefaultMachine("OTHER");
    ASSERT_EQ(&winsim::LocalMachine(), &local);

    for (const char *name : {"\\\\OTHER", "other"}) {
        HKEY remote = nullptr, k = nullptr;
        ASSERT_EQ(RegConnectRegistryA(name, HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS) << name;
        EXPECT_NE(remote, HKEY_LOCAL_MACHINE);
        // The handle and every key opened through it act on the other machine.
        ASSERT_EQ(RegCreateKeyExA(remote, "SOFTWARE\\Quillbak\\Agent", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                  nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(SetDword(k, "Port", 2001), ERROR_SUCCESS);
        RegCloseKey(k);
        ASSERT_EQ(RegOpenKeyExA(remote, "SOFTWARE\\Quillbak", 0, KEY_READ, &k), ERROR_SUCCESS);
        HKEY agent;
        ASSERT_EQ(RegOpenKeyExA(k, "Agent", 0, KEY_ALL_ACCESS, &agent), ERROR_SUCCESS);
        EXPECT_EQ(SetDword(agent, "Seen", 1), ERROR_SUCCESS);
        RegCloseKey(agent);
        RegCloseKey(k);
        EXPECT_EQ(RegDeleteKeyA(remote, ""), ERROR_ACCESS_DENIED);  // a root, on any machine
        EXPECT_EQ(RegCloseKey(remote), ERROR_SUCCESS);
        EXPECT_EQ(RegCloseKey(remote), ERROR_INVALID_HANDLE);
    }
    DWORD d;
    EXPECT_TRUE(other.registry.GetDword("HKLM\\SOFTWARE\\Quillbak\\Agent", "Port", d));
    EXPECT_EQ(d, 2001u);
    EXPECT_TRUE(other.registry.GetDword("HKLM\\SOFTWARE\\Quillbak\\Agent", "Seen", d));
    EXPECT_EQ(local.registry.Find("HKLM\\SOFTWARE\\Quillbak\\Agent"), nullptr);

    // HKEY_USERS of the other machine too.
    HKEY users, k;
    ASSERT_EQ(RegConnectRegistryA("\\\\OTHER", HKEY_USERS, &users), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(users, ".DEFAULT\\Software\\Quillbak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    RegCloseKey(users);
    EXPECT_NE(other.registry.Find("HKU\\.DEFAULT\\Software\\Quillbak"), nullptr);
    EXPECT_EQ(local.registry.Find("HKU\\.DEFAULT\\Software\\Quillbak"), nullptr);
}

TEST(RegConnect, NamesAndRoots) {
    winsim::CreateDefaultMachine("OTHER");
    HKEY out = (HKEY)(ULONG_PTR)0x1234;
    // This machine, however named: the predefined handle itself.
    for (const char *name : {(const char *)nullptr, "", "QLSERVER", "qlserver", "\\\\QLSERVER"}) {
        ASSERT_EQ(RegConnectRegistryA(name, HKEY_LOCAL_MACHINE, &out), ERROR_SUCCESS) << (name ? name : "NULL");
        EXPECT_EQ(out, HKEY_LOCAL_MACHINE);
    }
    EXPECT_EQ(RegConnectRegistryA("\\\\NOBODY", HKEY_LOCAL_MACHINE, &out), ERROR_BAD_NETPATH);
    EXPECT_EQ(RegConnectRegistryA("\\\\OTHER", HKEY_CURRENT_USER, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegConnectRegistryA("\\\\OTHER", HKEY_CLASSES_ROOT, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegConnectRegistryA("\\\\OTHER", HKEY_CURRENT_CONFIG, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegConnectRegistryA("\\\\OTHER", HKEY_PERFORMANCE_DATA, &out), ERROR_CALL_NOT_IMPLEMENTED);
    HKEY opened;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &opened), ERROR_SUCCESS);
    EXPECT_EQ(RegConnectRegistryA("\\\\OTHER", opened, &out), ERROR_INVALID_HANDLE);
    RegCloseKey(opened);
    EXPECT_EQ(RegConnectRegistryA("\\\\OTHER", HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(RegConnect, PredefinedKeysMeanTheLocalMachineAtEachCall) {
    winsim::Machine &local = winsim::LocalMachine();
    winsim::Machine &other = winsim::CreateDefaultMachine("OTHER");
    other.registry.SetDword("HKLM\\SOFTWARE\\OnlyOnOther", "v", 1);
    HKEY opened, k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS, &opened), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OnlyOnOther", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    winsim::SetLocalMachine(other);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\OnlyOnOther", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    // A handle opened before stays with its machine.
    ASSERT_EQ(RegCreateKeyExA(opened, "Before", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
    RegCloseKey(k);
    RegCloseKey(opened);
    EXPECT_NE(local.registry.Find("HKLM\\SOFTWARE\\Before"), nullptr);
    EXPECT_EQ(other.registry.Find("HKLM\\SOFTWARE\\Before"), nullptr);
}

TEST(RegHandles, PerformanceDataServesObjectsOnly) {
    HKEY k;
    DWORD size = 0;
    EXPECT_EQ(RegOpenKeyExA(HKEY_PERFORMANCE_DATA, "", 0, KEY_READ, &k), ERROR_CALL_NOT_IMPLEMENTED);
    // Objects by index; the counter and help texts are not simulated.
    EXPECT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "Global", nullptr, nullptr, nullptr, &size), ERROR_MORE_DATA);
    EXPECT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "Counter 009", nullptr, nullptr, nullptr, &size),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegCloseKey(HKEY_PERFORMANCE_DATA), ERROR_SUCCESS);
}

TEST(RegHandles, ResetWorldInvalidatesOpenHandles) {
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), ERROR_SUCCESS);
    winsim::ResetWorld();
    winsim::CreateDefaultMachine();
    DWORD size;
    EXPECT_EQ(RegQueryValueExA(k, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
}

TEST(RegHandles, PredefinedKeysWithoutAMachine) {
    winsim::ResetWorld();
    HKEY k;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

}  // namespace
