// Shared by the service conformance tests: every test installs its own
// services ("WinsimSvc..."), removed again before and after with plain Win32
// calls, so the tests run the same on the simulated machine and on Windows.
#ifndef TESTS_WINSIM_SERVICES_FIXTURE_H
#define TESTS_WINSIM_SERVICES_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/services.h"
#include "support/wine.h"

namespace svctest {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";

inline std::string ImagePath(const char *name) { return std::string("C:\\WinsimSvc\\") + name + ".exe"; }

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        scm_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(scm_, nullptr) << GetLastError();
    }
    void TearDown() override {
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) Remove(it->c_str());
        if (scm_) CloseServiceHandle(scm_);
    }

    // Installs a demand-start service of its own process; `dependencies` is
    // a double-NUL list or null.
    SC_HANDLE Install(const char *name, const char *display = nullptr, const char *dependencies = nullptr,
                      DWORD start = SERVICE_DEMAND_START) {
        Remove(name);
        SC_HANDLE h = CreateServiceA(scm_, name, display, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, start,
                                     SERVICE_ERROR_NORMAL, ImagePath(name).c_str(), nullptr, nullptr, dependencies,
                                     nullptr, nullptr);
        EXPECT_NE(h, nullptr) << name << ": " << GetLastError();
        if (h) created_.push_back(name);
        return h;
    }
    void InstallClosed(const char *name, const char *dependencies = nullptr) {
        SC_HANDLE h = Install(name, nullptr, dependencies);
        if (h) CloseServiceHandle(h);
    }

    // Stops (waiting on the clock) and deletes a service, if it is there.
    void Remove(const char *name) {
        SC_HANDLE h = OpenServiceA(scm_, name, SERVICE_ALL_ACCESS);
        if (!h) return;
        SERVICE_STATUS st{};
        ControlService(h, SERVICE_CONTROL_STOP, &st);
        for (int i = 0; i < 100 && QueryServiceStatus(h, &st) && st.dwCurrentState != SERVICE_STOPPED; ++i)
            Sleep(st.dwWaitHint ? st.dwWaitHint : 1000);
        DeleteService(h);
        CloseServiceHandle(h);
    }

    SC_HANDLE Open(const char *name, DWORD access = SERVICE_ALL_ACCESS) { return OpenServiceA(scm_, name, access); }

    SERVICE_STATUS Status(SC_HANDLE h) {
        SERVICE_STATUS st{};
        EXPECT_TRUE(QueryServiceStatus(h, &st)) << GetLastError();
        return st;
    }
    DWORD State(const char *name) {
        SC_HANDLE h = Open(name, SERVICE_QUERY_STATUS);
        if (!h) return 0;
        DWORD s = Status(h).dwCurrentState;
        CloseServiceHandle(h);
        return s;
    }

    bool KeyExists(const char *name) {
        HKEY k;
        std::string path = std::string(kServicesKey) + "\\" + name;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
        RegCloseKey(k);
        return true;
    }
    std::string KeyString(const char *name, const char *value, DWORD *type = nullptr) {
        HKEY k;
        std::string path = std::string(kServicesKey) + "\\" + name;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
        char buf[512] = {};
        DWORD cb = sizeof buf - 2, t = 0;
        LONG e = RegQueryValueExA(k, value, nullptr, &t, reinterpret_cast<BYTE *>(buf), &cb);
        RegCloseKey(k);
        if (e != ERROR_SUCCESS) return "<none>";
        if (type) *type = t;
        // Multi-strings come back with their NULs as '|'.
        std::string s(buf, cb);
        while (!s.empty() && s.back() == '\0') s.pop_back();
        for (char &c : s)
            if (c == '\0') c = '|';
        return s;
    }
    DWORD KeyDword(const char *name, const char *value) {
        HKEY k;
        std::string path = std::string(kServicesKey) + "\\" + name;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return 0xDEAD;
        DWORD d = 0xDEAD, cb = sizeof d;
        RegQueryValueExA(k, value, nullptr, nullptr, reinterpret_cast<BYTE *>(&d), &cb);
        RegCloseKey(k);
        return d;
    }

    SC_HANDLE scm_ = nullptr;
    std::vector<std::string> created_;
};

}  // namespace svctest

#endif
