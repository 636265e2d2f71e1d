// The session's record of property events, the registry's hives and one
// value as regedit text: what a runner needs to report a custom action.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include <string>

namespace {

winsim::InstallerSession &Installer() { return winsim::LocalMachine().installer; }

void Info(MSIHANDLE session, const char *text) {
    MSIHANDLE rec = MsiCreateRecord(1);
    MsiRecordSetStringA(rec, 0, text);
    MsiProcessMessage(session, INSTALLMESSAGE_INFO, rec);
    MsiCloseHandle(rec);
}

TEST(SessionEvents, ChangesAndCutReadsInOrderWithTheirLogPosition) {
    MSIHANDLE s = winsim::OpenInstallerSession();
    Installer().properties["SETUPDIR"] = "D:\\SETUP\\";
    const size_t logBefore = Installer().log.size();
    ASSERT_EQ(MsiSetPropertyA(s, "ERRORMSG", "NONE"), (UINT)ERROR_SUCCESS);
    Info(s, "one");
    ASSERT_EQ(MsiSetPropertyA(s, "ERRORMSG", "NONE"), (UINT)ERROR_SUCCESS);  // no change: no event
    ASSERT_EQ(MsiSetPropertyA(s, "ERRORMSG", "Disk full"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiSetPropertyA(s, "ERRORMSG", ""), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiSetPropertyA(s, "NEVERSET", ""), (UINT)ERROR_SUCCESS);  // nothing to delete: no event
    char small[5];
    DWORD size = sizeof small;
    EXPECT_EQ(MsiGetPropertyA(s, "SETUPDIR", small, &size), (UINT)ERROR_MORE_DATA);
    size = 0;
    EXPECT_EQ(MsiGetPropertyA(s, "SETUPDIR", nullptr, &size), (UINT)ERROR_SUCCESS);  // a length query cuts nothing
    char whole[64];
    size = sizeof whole;
    EXPECT_EQ(MsiGetPropertyA(s, "SETUPDIR", whole, &size), (UINT)ERROR_SUCCESS);

    const auto &ev = Installer().propertyEvents;
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].kind, winsim::PropertyEvent::Added);
    EXPECT_EQ(ev[0].newValue, "NONE");
    EXPECT_EQ(ev[0].logPosition, logBefore);
    EXPECT_EQ(ev[1].kind, winsim::PropertyEvent::Modified);
    EXPECT_EQ(ev[1].oldValue, "NONE");
    EXPECT_EQ(ev[1].newValue, "Disk full");
    EXPECT_EQ(ev[1].logPosition, logBefore + 1);
    EXPECT_EQ(ev[2].kind, winsim::PropertyEvent::Deleted);
    EXPECT_EQ(ev[2].oldValue, "Disk full");
    EXPECT_EQ(ev[3].kind, winsim::PropertyEvent::CutOnRead);
    EXPECT_EQ(ev[3].name, "SETUPDIR");
    EXPECT_EQ(ev[3].oldValue, "D:\\SETUP\\");
    EXPECT_EQ(ev[3].newValue, "D:\\S");
    EXPECT_EQ(ev[3].bufferSize, 5u);
    MsiCloseHandle(s);
}

TEST(SessionEvents, EventsCarryTheMachineClock) {
    MSIHANDLE s = winsim::OpenInstallerSession();
    winsim::AdvanceClock(2500);
    const uint64_t now = winsim::ClockMs();
    MsiSetPropertyA(s, "X", "1");
    ASSERT_EQ(Installer().propertyEvents.size(), 1u);
    EXPECT_EQ(Installer().propertyEvents[0].atMs, now);
    MsiCloseHandle(s);
}

TEST(RegistryHives, CoverEveryRootAndTheAliases) {
    winsim::Registry &r = winsim::LocalMachine().registry;
    auto hives = r.Hives();
    ASSERT_EQ(hives.size(), 3u);
    EXPECT_EQ(hives[0]->name, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(hives[1]->name, "HKEY_USERS");
    EXPECT_EQ(hives[2]->name, "HKEY_CURRENT_CONFIG");
    // HKCR and HKCU are views into the hives.
    r.SetDword("HKCU\\Software\\Q", "x", 1);
    r.SetDword("HKCR\\.qlb", "y", 2);
    EXPECT_NE(r.Find("HKEY_USERS\\" + r.currentUserKey + "\\Software\\Q"), nullptr);
    EXPECT_NE(r.Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.qlb"), nullptr);
}

TEST(RegistryValueText, OneValueAsExportRegWritesIt) {
    winsim::RegValue v;
    v.name = "Path \"x\"";
    v.type = REG_SZ;
    v.data = {'C', ':', '\\', 0};
    EXPECT_EQ(winsim::ExportRegValue(v), "\"Path \\\"x\\\"\"=\"C:\\\\\"");
    v.name = "";
    v.type = REG_EXPAND_SZ;
    v.data = {'%', 'A', '%', 0};
    EXPECT_EQ(winsim::ExportRegValue(v), "@=hex(2):25,00,41,00,25,00,00,00");
    EXPECT_EQ(winsim::ExportRegValue(v, false), "@=hex(2):25,41,25,00");
    v.type = REG_DWORD;
    v.data = {1, 2, 0, 0};
    EXPECT_EQ(winsim::ExportRegValue(v), "@=dword:00000201");
    v.type = REG_BINARY;
    v.data.assign(30, 0xab);
    // Long data is continued on the next line, as regedit wraps it.
    EXPECT_EQ(winsim::ExportRegValue(v),
              "@=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
              "  ab,ab,ab,ab,ab,ab,ab");
}

}  // namespace
