// An option setup library of our own, QLTESTOP.DLL, over the library's
// exported classes: its six entry points as the product's setup calls them,
// and objects and texts that cross between the test, the option library and
// QLSETGUI.dll.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "option.h"
#include "registry/HarnRegistry.h"
#include "settings/SetupIcf.h"
#include "../support/beside.h"

namespace {

template <class F>
F Proc(HMODULE module, const char *name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

std::string ReadText(const std::string &path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text;
    char buffer[1024];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) text.append(buffer, n);
    CloseHandle(h);
    return text;
}

// The messages of the setup log's lines ("MM/DD/YY HH:MM:SS<TAB>message").
std::vector<std::string> LogMessages(const std::string &path) {
    std::vector<std::string> messages;
    std::string text = ReadText(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        // 17 characters of date and time, then the TAB.
        if (line.size() > 18 && line[2] == '/' && line[5] == '/' && line[8] == ' ' && line[17] == '\t')
            messages.push_back(line.substr(18));
        else
            messages.push_back("<malformed> " + line);
        start = end + 2;
    }
    return messages;
}

class OptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryA("QLTESTOP.DLL");
        ASSERT_NE(module_, nullptr) << GetLastError();
        install_ = Proc<PFN_OPTION_INSTALL>(module_, "Install");
        uninstall_ = Proc<PFN_OPTION_UNINSTALL>(module_, "UnInstall");
        isInstalled_ = Proc<PFN_OPTION_FLAG>(module_, "IsInstalled");
        isNewer_ = Proc<PFN_OPTION_FLAG>(module_, "IsInstalledVersionNewer");
        errorString_ = Proc<PFN_OPTION_ERROR_STRING>(module_, "GetDebugErrorString");
        installPath_ = Proc<PFN_OPTION_INSTALL_PATH>(module_, "GetInstallPath");
        ASSERT_TRUE(install_ && uninstall_ && isInstalled_ && isNewer_ && errorString_ && installPath_);

        // A setup folder as on the medium, and the setup log beside it.
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        setupDir_ = std::string(temp) + "QLOPTSETUP\\";
        CreateDirectoryA(setupDir_.c_str(), nullptr);
        for (const char *file : {"QUILLBAK.ICF", "QLBSETUP.INF"})
            ASSERT_TRUE(CopyFileA(BesideTestProgram(file).c_str(), (setupDir_ + file).c_str(), FALSE)) << file;
        logFile_ = setupDir_ + "QLBSETUP.LOG";
        DeleteFileA(logFile_.c_str());

        memset(&info_, 0, sizeof info_);
        info_.lProductType = 24;
        CopyToField(info_.szSourcePath, setupDir_.c_str());
        CopyToField(info_.szBatchFile, (setupDir_ + "QUILLBAK.ICF").c_str());
        CopyToField(info_.szLogFile, logFile_.c_str());
        uninstall_();
    }
    void TearDown() override {
        if (uninstall_) uninstall_();
        if (module_) FreeLibrary(module_);
    }

    std::string InstallPath(DWORD size, DWORD *result = nullptr) {
        std::vector<char> buffer(size + 1, '#');
        DWORD r = installPath_(buffer.data(), size);
        if (result) *result = r;
        return std::string(buffer.data());
    }

    HMODULE module_ = nullptr;
    PFN_OPTION_INSTALL install_ = nullptr;
    PFN_OPTION_UNINSTALL uninstall_ = nullptr;
    PFN_OPTION_FLAG isInstalled_ = nullptr, isNewer_ = nullptr;
    PFN_OPTION_ERROR_STRING errorString_ = nullptr;
    PFN_OPTION_INSTALL_PATH installPath_ = nullptr;
    std::string setupDir_, logFile_;
    tagSETUP_INFO info_;
};

TEST_F(OptionTest, InstallReadsTheSetupFolderAndRegistersTheOption) {
    OPTION_CONTEXT context = {&info_, "setup.exe /D:C:\\Options\\Test /s"};
    ASSERT_EQ(install_(&context), 0u);

    int installed = FALSE, newer = TRUE;
    EXPECT_EQ(isInstalled_(&installed), 0u);
    EXPECT_TRUE(installed);
    EXPECT_EQ(isNewer_(&newer), 0u);
    EXPECT_FALSE(newer);
    DWORD result = 0;
    EXPECT_EQ(InstallPath(MAX_PATH, &result), "C:\\Options\\Test\\");
    EXPECT_EQ(result, 0u);

    // The registration lies below the product's root, which the library
    // falls back to without a branding library.
    CHarnRegistry registry(1, NULL);
    EXPECT_STREQ(CHarnRegistry::GetQuillbakKey(), "SOFTWARE\\Veltmark\\QuillbakIT");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltmark\\QuillbakIT\\Options\\TestOption", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    char owner[64] = "";
    DWORD size = sizeof owner;
    EXPECT_EQ(RegQueryValueExA(key, "Owner", nullptr, nullptr, reinterpret_cast<BYTE *>(owner), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_STREQ(owner, "Pat Doe");  // [UserInfo] FullName of QUILLBAK.ICF

    // Its log lines went to the setup log the record names.
    std::vector<std::string> messages = LogMessages(logFile_);
    std::vector<std::string> own;
    for (const std::string &m : messages)
        if (m.rfind("TestOption - ", 0) == 0) own.push_back(m);
    EXPECT_EQ(own, (std::vector<std::string>{"TestOption - Install from " + setupDir_,
                                             "TestOption - edition 1, owner Pat Doe, folder C:\\Options\\Test\\"}));
    for (const std::string &m : messages) EXPECT_EQ(m.find("<malformed>"), std::string::npos) << m;
}

TEST_F(OptionTest, UnInstallRemovesTheRegistration) {
    OPTION_CONTEXT context = {&info_, "setup.exe /D:C:\\Options\\Test"};
    ASSERT_EQ(install_(&context), 0u);
    EXPECT_EQ(uninstall_(), 0u);
    int installed = TRUE, newer = TRUE;
    EXPECT_EQ(isInstalled_(&installed), 0u);
    EXPECT_FALSE(installed);
    EXPECT_EQ(isNewer_(&newer), OPTION_NOT_INSTALLED);
    EXPECT_EQ(installPath_(nullptr, 0), OPTION_NOT_INSTALLED);
    EXPECT_EQ(uninstall_(), 0u);  // nothing left to remove is no failure
    EXPECT_EQ(LogMessages(logFile_).back(), "TestOption - UnInstall 2");
}

TEST_F(OptionTest, BadArgumentsGetResultsNotCrashes) {
    EXPECT_EQ(install_(nullptr), OPTION_NO_SETTINGS);
    OPTION_CONTEXT empty = {nullptr, nullptr};
    EXPECT_EQ(install_(&empty), OPTION_NO_SETTINGS);
    EXPECT_EQ(isInstalled_(nullptr), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(isNewer_(nullptr), (DWORD)ERROR_INVALID_PARAMETER);
    // No command line: the folder below the product's.
    OPTION_CONTEXT context = {&info_, nullptr};
    ASSERT_EQ(install_(&context), 0u);
    std::string path = InstallPath(MAX_PATH);
    ASSERT_GE(path.size(), 9u);
    EXPECT_EQ(path.substr(path.size() - 9), "\\Options\\");
}

TEST_F(OptionTest, TextsComeBackCutToTheCallersBuffer) {
    OPTION_CONTEXT context = {&info_, "/D:C:\\Options\\Test"};
    ASSERT_EQ(install_(&context), 0u);
    DWORD result = 0;
    EXPECT_EQ(InstallPath(5, &result), "C:\\O");
    EXPECT_EQ(result, (DWORD)ERROR_MORE_DATA);
    EXPECT_EQ(InstallPath(17, &result), "C:\\Options\\Test\\");  // 16 characters and the terminator
    EXPECT_EQ(result, 0u);
    char untouched[4] = "abc";
    EXPECT_EQ(installPath_(untouched, 0), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(untouched, "abc");

    char text[64];
    EXPECT_EQ(errorString_(OPTION_NOT_INSTALLED, text, sizeof text), 0u);
    EXPECT_STREQ(text, "The option is not installed.");
    EXPECT_EQ(errorString_(77, text, sizeof text), 0u);
    EXPECT_STREQ(text, "Option setup error 77.");
    EXPECT_EQ(errorString_(0, text, 8), (DWORD)ERROR_MORE_DATA);
    EXPECT_STREQ(text, "The opt");
}

TEST_F(OptionTest, SettingsMadeOnOneSideAreDestroyedOnTheOther) {
    auto make = Proc<PFN_OPTION_MAKE_SETTINGS>(module_, "OptionMakeSettings");
    auto take = Proc<PFN_OPTION_TAKE_SETTINGS>(module_, "OptionTakeSettings");
    ASSERT_TRUE(make && take);

    // Made by the option library, read and destroyed here.
    CSettings *made = make(&info_);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->ProductType(), 24);
    EXPECT_STREQ(made->SourcePath(), setupDir_.c_str());
    EXPECT_STREQ(made->LogFile(), logFile_.c_str());
    CSettings copy = *made;  // a copy here outlives the original
    delete made;
    EXPECT_STREQ(copy.BatchFile(), (setupDir_ + "QUILLBAK.ICF").c_str());

    // Made here, destroyed by the option library.
    tagSETUP_INFO other = info_;
    other.lProductType = 31;
    EXPECT_EQ(take(new CSettings(&other, 0)), 31);
    EXPECT_EQ(take(nullptr), 0);
}

TEST_F(OptionTest, StringsCrossInBothDirections) {
    auto add = Proc<PFN_OPTION_ADD_NAMES>(module_, "OptionAddNames");
    ASSERT_NE(add, nullptr);
    CStringArray names;
    names.Add("Quillbak");
    CString prefix("Veltmark");
    EXPECT_EQ(add(&names, &prefix), 4);
    ASSERT_EQ(names.GetSize(), 4);
    EXPECT_STREQ(names.GetAt(0), "Quillbak");
    EXPECT_STREQ(names.GetAt(1), "Veltmark Changer");
    EXPECT_STREQ(names.GetAt(3), "Veltmark RAID");
    // Texts the option made are changed and freed here.
    CString joined;
    for (int i = 0; i < names.GetSize(); ++i) joined += names.GetAt(i) + ";";
    names.RemoveAll();
    EXPECT_STREQ(joined, "Quillbak;Veltmark Changer;Veltmark Image;Veltmark RAID;");
    EXPECT_EQ(add(&names, nullptr), 3);
    EXPECT_STREQ(names.GetAt(2), "Option RAID");

    // The library's plain functions and class-wide names, through the import
    // library.
    CString path("C:\\Quillbak\\\\");
    EXPECT_EQ(AppendBackSlash(path), 12);
    EXPECT_STREQ(path, "C:\\Quillbak\\");
    EXPECT_EQ(TrimTailBackSlash(path), 11);
    EXPECT_STREQ(CSetupIcf::m_sUserInfo, "UserInfo");
    EXPECT_STREQ(CSetupIcf::DefaultICFFileName(), "QUILLBAK.ICF");
}

}  // namespace
