// The installer session seen from both sides: what a custom action reads and
// writes through msi.h lands in the machine's InstallerSession, products and
// message log; handles die with the world; faults can be injected.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

namespace {

const char kProduct[] = "{6F2A51C0-3B7E-4D2A-9C11-8E5D2B7A4F10}";

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = winsim::OpenInstallerSession();
        ASSERT_NE(session_, 0u);
    }
    winsim::InstallerSession &Installer() { return winsim::LocalMachine().installer; }
    MSIHANDLE session_ = 0;
};

std::string Property(MSIHANDLE session, const char *name) {
    char buffer[256];
    DWORD size = sizeof buffer;
    EXPECT_EQ(MsiGetPropertyA(session, name, buffer, &size), (UINT)ERROR_SUCCESS);
    return buffer;
}

TEST_F(SessionTest, PropertiesAreTheMachineSessionProperties) {
    Installer().properties["INSTALLDIR"] = "C:\\Quillbak\\";
    EXPECT_EQ(Property(session_, "INSTALLDIR"), "C:\\Quillbak\\");
    ASSERT_EQ(MsiSetPropertyA(session_, "QUILLBAKHOME", "D:\\QB"), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(Installer().properties.at("QUILLBAKHOME"), "D:\\QB");
    ASSERT_EQ(MsiSetPropertyA(session_, "INSTALLDIR", ""), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(Installer().properties.count("INSTALLDIR"), 0u);
}

TEST_F(SessionTest, HandleStaysWithItsMachine) {
    winsim::Machine &first = winsim::LocalMachine();
    winsim::Machine &second = winsim::CreateDefaultMachine("OTHER");
    winsim::SetLocalMachine(second);
    MSIHANDLE other = winsim::OpenInstallerSession();
    ASSERT_EQ(MsiSetPropertyA(session_, "WHO", "first"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiSetPropertyA(other, "WHO", "second"), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(first.installer.properties.at("WHO"), "first");
    EXPECT_EQ(second.installer.properties.at("WHO"), "second");
    EXPECT_NE(other, session_);
}

TEST_F(SessionTest, ModesAndInstallLevel) {
    Installer().modes[MSIRUNMODE_MAINTENANCE] = true;
    EXPECT_TRUE(MsiGetMode(session_, MSIRUNMODE_MAINTENANCE));
    EXPECT_FALSE(MsiGetMode(session_, MSIRUNMODE_ADMIN));
    ASSERT_EQ(MsiSetMode(session_, MSIRUNMODE_REBOOTATEND, TRUE), (UINT)ERROR_SUCCESS);
    EXPECT_TRUE(Installer().modes.at(MSIRUNMODE_REBOOTATEND));
    EXPECT_EQ(MsiSetMode(session_, MSIRUNMODE_MAINTENANCE, FALSE), (UINT)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Installer().modes.at(MSIRUNMODE_MAINTENANCE));
    ASSERT_EQ(MsiSetInstallLevel(session_, 100), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(Installer().installLevel, 100);
    EXPECT_EQ(MsiSetInstallLevel(session_, -1), (UINT)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Installer().installLevel, 100);
}

TEST_F(SessionTest, FeatureStates) {
    Installer().features["Server"] = winsim::Feature{INSTALLSTATE_LOCAL, INSTALLSTATE_UNKNOWN};
    Installer().features["Manager"] = winsim::Feature{};
    INSTALLSTATE installed, action;
    ASSERT_EQ(MsiGetFeatureStateA(session_, "Server", &installed, &action), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(installed, INSTALLSTATE_LOCAL);
    EXPECT_EQ(action, INSTALLSTATE_UNKNOWN);
    ASSERT_EQ(MsiGetFeatureStateA(session_, "Manager", &installed, &action), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(installed, INSTALLSTATE_ABSENT);

    const struct {
        INSTALLSTATE state;
        UINT result;
    } requests[] = {{INSTALLSTATE_ABSENT, ERROR_SUCCESS},    {INSTALLSTATE_SOURCE, ERROR_SUCCESS},
                    {INSTALLSTATE_ADVERTISED, ERROR_SUCCESS}, {INSTALLSTATE_LOCAL, ERROR_SUCCESS},
                    {INSTALLSTATE_DEFAULT, ERROR_INVALID_PARAMETER}, {INSTALLSTATE_UNKNOWN, ERROR_INVALID_PARAMETER}};
    for (const auto &r : requests) {
        EXPECT_EQ(MsiSetFeatureStateA(session_, "Manager", r.state), r.result) << r.state;
        if (r.result == ERROR_SUCCESS) {
            EXPECT_EQ(Installer().features.at("Manager").action, (int)r.state);
        }
    }
    EXPECT_EQ(Installer().features.at("Manager").action, INSTALLSTATE_LOCAL);
    // Feature names are keys of the Feature table: case counts.
    EXPECT_EQ(MsiGetFeatureStateA(session_, "server", &installed, &action), (UINT)ERROR_UNKNOWN_FEATURE);
}

TEST_F(SessionTest, FeatureStateOfAnInstalledProduct) {
    auto &product = winsim::LocalMachine().products[kProduct];
    product.state = INSTALLSTATE_DEFAULT;
    product.features["Vaxguard"] = INSTALLSTATE_LOCAL;
    product.features["SQL"] = INSTALLSTATE_ABSENT;
    EXPECT_EQ(MsiQueryFeatureStateA(kProduct, "Vaxguard"), INSTALLSTATE_LOCAL);
    EXPECT_EQ(MsiQueryFeatureStateA(winsim::Lower(kProduct).c_str(), "Vaxguard"), INSTALLSTATE_LOCAL);
    EXPECT_EQ(MsiQueryFeatureStateA(kProduct, "SQL"), INSTALLSTATE_ABSENT);
    // Feature names keep their case, as in the Feature table.
    EXPECT_EQ(MsiQueryFeatureStateA(kProduct, "vaxguard"), INSTALLSTATE_UNKNOWN);
    EXPECT_EQ(MsiQueryFeatureStateA(kProduct, "Server"), INSTALLSTATE_UNKNOWN);
    // The session's own feature table is another thing.
    INSTALLSTATE installed, action;
    EXPECT_EQ(MsiGetFeatureStateA(session_, "Vaxguard", &installed, &action), (UINT)ERROR_UNKNOWN_FEATURE);
    // A product that is known but not installed has no features.
    product.state = INSTALLSTATE_UNKNOWN;
    EXPECT_EQ(MsiQueryFeatureStateA(kProduct, "Vaxguard"), INSTALLSTATE_UNKNOWN);
}

TEST_F(SessionTest, ProductStateAndInfo) {
    auto &products = winsim::LocalMachine().products;
    products[kProduct].state = INSTALLSTATE_DEFAULT;
    products[kProduct].info["InstallSource"] = "\\\\QLSERVER\\Setup\\";  // 17 characters
    products[kProduct].info["VersionString"] = "7.0.1";
    EXPECT_EQ(MsiQueryProductStateA(kProduct), INSTALLSTATE_DEFAULT);
    // Product codes compare without case.
    std::string lower = winsim::Lower(kProduct);
    EXPECT_EQ(MsiQueryProductStateA(lower.c_str()), INSTALLSTATE_DEFAULT);

    const struct {
        DWORD capacity;
        UINT result;
        const char *text;
    } cases[] = {{1, ERROR_MORE_DATA, ""},
                 {11, ERROR_MORE_DATA, "\\\\QLSERVER"},
                 {17, ERROR_MORE_DATA, "\\\\QLSERVER\\Setup"},
                 {18, ERROR_SUCCESS, "\\\\QLSERVER\\Setup\\"}};
    for (const auto &c : cases) {
        char buffer[64];
        DWORD size = c.capacity;
        EXPECT_EQ(MsiGetProductInfoA(kProduct, INSTALLPROPERTY_INSTALLSOURCE, buffer, &size), c.result)
            << c.capacity;
        EXPECT_EQ(size, 17u) << c.capacity;
        EXPECT_STREQ(buffer, c.text) << c.capacity;
    }
    DWORD size = 0;
    EXPECT_EQ(MsiGetProductInfoA(kProduct, INSTALLPROPERTY_VERSIONSTRING, nullptr, &size), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    // Known to the installer but not registered for this product: empty.
    char buffer[16] = "garbage";
    size = sizeof buffer;
    EXPECT_EQ(MsiGetProductInfoA(kProduct, INSTALLPROPERTY_HELPLINK, buffer, &size), (UINT)ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "");
    size = sizeof buffer;
    EXPECT_EQ(MsiGetProductInfoA(kProduct, "NoSuchAttribute", buffer, &size), (UINT)ERROR_UNKNOWN_PROPERTY);
}

TEST_F(SessionTest, ProcessMessageLogsAndAnswersByDefault) {
    MSIHANDLE rec = MsiCreateRecord(2);
    ASSERT_EQ(MsiRecordSetStringA(rec, 0, "Cannot stop [1] ([2])"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiRecordSetStringA(rec, 1, "QLEngine"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiRecordSetInteger(rec, 2, 1053), (UINT)ERROR_SUCCESS);
    const struct {
        DWORD type;
        int answer;
    } cases[] = {
        {INSTALLMESSAGE_INFO, 0},
        {INSTALLMESSAGE_ERROR | MB_OK, IDOK},
        {INSTALLMESSAGE_WARNING | MB_ICONWARNING | MB_OK, IDOK},
        {INSTALLMESSAGE_USER | MB_OK, IDOK},
        {INSTALLMESSAGE_USER | MB_YESNO, IDYES},
        {INSTALLMESSAGE_USER | MB_YESNO | MB_DEFBUTTON2, IDNO},
        {INSTALLMESSAGE_ERROR | MB_RETRYCANCEL, IDRETRY},
        {INSTALLMESSAGE_ERROR | MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {INSTALLMESSAGE_ACTIONDATA, IDOK},
    };
    for (const auto &c : cases) EXPECT_EQ(MsiProcessMessage(session_, (INSTALLMESSAGE)c.type, rec), c.answer) << c.type;
    const auto &log = Installer().log;
    ASSERT_EQ(log.size(), sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].kind, cases[i].type & 0xFF000000u) << i;
        EXPECT_EQ(log[i].text, "Cannot stop QLEngine (1053)") << i;
        EXPECT_EQ(log[i].fields, (std::vector<std::string>{"Cannot stop [1] ([2])", "QLEngine", "1053"})) << i;
    }
    MsiCloseHandle(rec);
}

TEST_F(SessionTest, ProcessMessageUsesScriptedAnswers) {
    Installer().answers[INSTALLMESSAGE_USER] = IDNO;
    Installer().answers[INSTALLMESSAGE_INFO] = IDCANCEL;
    MSIHANDLE rec = MsiCreateRecord(1);
    ASSERT_EQ(MsiRecordSetStringA(rec, 1, "upgrade?"), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(MsiProcessMessage(session_, (INSTALLMESSAGE)(INSTALLMESSAGE_USER | MB_YESNO), rec), IDNO);
    EXPECT_EQ(MsiProcessMessage(session_, (INSTALLMESSAGE)(INSTALLMESSAGE_USER | MB_YESNO), rec), IDNO);
    EXPECT_EQ(MsiProcessMessage(session_, INSTALLMESSAGE_INFO, rec), IDCANCEL);
    EXPECT_EQ(MsiProcessMessage(session_, (INSTALLMESSAGE)(INSTALLMESSAGE_ERROR | MB_OK), rec), IDOK);
    ASSERT_EQ(Installer().log.size(), 4u);
    // Without a template the fields are listed.
    EXPECT_EQ(Installer().log[0].text, "1: upgrade? ");
    MsiCloseHandle(rec);
}

TEST_F(SessionTest, ProcessMessageWithBadHandlesLogsNothing) {
    MSIHANDLE rec = MsiCreateRecord(1);
    EXPECT_EQ(MsiProcessMessage(session_, INSTALLMESSAGE_INFO, 0), -1);
    EXPECT_EQ(MsiProcessMessage(0, INSTALLMESSAGE_INFO, rec), -1);
    EXPECT_EQ(MsiProcessMessage(rec, INSTALLMESSAGE_INFO, rec), -1);
    EXPECT_EQ(MsiProcessMessage(session_, (INSTALLMESSAGE)0x7F000000, rec), -1);
    EXPECT_TRUE(Installer().log.empty());
    MsiCloseHandle(rec);
}

TEST_F(SessionTest, CloseAllHandlesCountsWhatWasOpen) {
    MsiCreateRecord(1);
    MsiCreateRecord(2);
    EXPECT_EQ(MsiCloseAllHandles(), 3u);  // the session and two records
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
    EXPECT_EQ(MsiSetPropertyA(session_, "X", "1"), (UINT)ERROR_INVALID_HANDLE);
}

TEST_F(SessionTest, ResetWorldInvalidatesHandles) {
    MSIHANDLE rec = MsiCreateRecord(1);
    winsim::ResetWorld();
    winsim::CreateDefaultMachine();
    EXPECT_EQ(MsiSetPropertyA(session_, "X", "1"), (UINT)ERROR_INVALID_HANDLE);
    EXPECT_EQ(MsiRecordGetFieldCount(rec), (UINT)-1);
    EXPECT_EQ(winsim::OpenInstallerSession(), 1u);  // numbering starts again
}

TEST_F(SessionTest, InjectedFaults) {
    Installer().properties["INSTALLDIR"] = "C:\\Quillbak\\";
    winsim::InjectFault("MsiGetPropertyA", ERROR_FUNCTION_FAILED);
    char buffer[64];
    DWORD size = sizeof buffer;
    EXPECT_EQ(MsiGetPropertyA(session_, "INSTALLDIR", buffer, &size), (UINT)ERROR_FUNCTION_FAILED);
    size = sizeof buffer;
    EXPECT_EQ(MsiGetPropertyA(session_, "INSTALLDIR", buffer, &size), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(winsim::CallCount("MsiGetPropertyA"), 2u);

    winsim::InjectFault("MsiProcessMessage", ERROR_INSTALL_FAILURE, winsim::FaultMode::Always);
    MSIHANDLE rec = MsiCreateRecord(0);
    EXPECT_EQ(MsiProcessMessage(session_, INSTALLMESSAGE_INFO, rec), -1);
    EXPECT_TRUE(Installer().log.empty());

    winsim::InjectFault("MsiSetPropertyA", ERROR_FUNCTION_FAILED, winsim::FaultMode::Nth, 2);
    EXPECT_EQ(MsiSetPropertyA(session_, "A", "1"), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(MsiSetPropertyA(session_, "B", "2"), (UINT)ERROR_FUNCTION_FAILED);
    EXPECT_EQ(Installer().properties.count("B"), 0u);
}

}  // namespace
