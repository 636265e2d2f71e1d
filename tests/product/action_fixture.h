// A custom action's surroundings in the product tests: an installer session
// on the local simulated machine, its properties and log, and the registry
// of an installed product.
#ifndef QL_TESTS_ACTION_FIXTURE_H
#define QL_TESTS_ACTION_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

class ActionTest : public ::testing::Test {
protected:
    static constexpr const char *kBase = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base";

    void SetUp() override {
        m_ = &winsim::LocalMachine();
        session_ = winsim::OpenInstallerSession();
    }
    void TearDown() override { MsiCloseHandle(session_); }

    winsim::Machine &M() { return *m_; }
    void Prop(const char *name, const std::string &value) { m_->installer.properties[name] = value; }
    std::string PropOf(const char *name) {
        auto it = m_->installer.properties.find(name);
        return it == m_->installer.properties.end() ? "<unset>" : it->second;
    }
    // What the installer shows of the messages of one kind (field 0
    // formatted as the installer does).
    std::vector<std::string> Log(DWORD kind = INSTALLMESSAGE_INFO) {
        std::vector<std::string> lines;
        for (auto &e : m_->installer.log)
            if (e.kind == kind) lines.push_back(e.text);
        return lines;
    }
    bool Logged(const std::string &line) {
        for (auto &l : Log())
            if (l == line) return true;
        return false;
    }
    std::string &Env(const char *name) { return m_->environment[name]; }
    // The setup medium: the CD-ROM drive D: with D:\SETUP, which "SETUPDIR" names.
    void SetupMedium() {
        m_->AddDrive('D', DRIVE_CDROM);
        m_->MakeDirs("D:\\SETUP");
        Prop("SETUPDIR", "D:\\SETUP\\");
    }
    // The product as installed: its home directory and components.
    void InstalledProduct(const std::string &home, bool server = true, bool admin = true, bool manager = true) {
        m_->registry.SetString(std::string(kBase) + "\\Path", "HOME", home);
        m_->registry.SetDword(std::string(kBase) + "\\Components", "SERVER", server ? 1 : 0);
        m_->registry.SetDword(std::string(kBase) + "\\Components", "ADMIN", admin ? 1 : 0);
        m_->registry.SetDword(std::string(kBase) + "\\Components", "MANAGER", manager ? 1 : 0);
        m_->MakeDirs(home);
    }
    DWORD Number(const std::string &key, const std::string &value) {
        DWORD n = 0xDEADBEEF;
        m_->registry.GetDword(key, value, n);
        return n;
    }
    std::string Text(const std::string &key, const std::string &value) {
        std::string text;
        return m_->registry.GetString(key, value, text) ? text : "<none>";
    }

    winsim::Machine *m_ = nullptr;
    MSIHANDLE session_ = 0;
};

#endif
