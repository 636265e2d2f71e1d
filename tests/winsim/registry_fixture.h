// Shared by the registry conformance tests: every test works under its own
// key, emptied before and after with plain Win32 calls, so the tests run the
// same on the simulated machine and on a real Windows one.
#ifndef TESTS_WINSIM_REGISTRY_FIXTURE_H
#define TESTS_WINSIM_REGISTRY_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace regtest {

const char kTestKey[] = "Software\\WinsimRegistryTest";

// Deletes a key and everything below it (RegDeleteKey only removes leaves).
inline LONG DeleteTree(HKEY parent, const char *name) {
    HKEY key;
    LONG e = RegOpenKeyExA(parent, name, 0, KEY_ENUMERATE_SUB_KEYS, &key);
    if (e != ERROR_SUCCESS) return e;
    char sub[256];
    while (RegEnumKeyA(key, 0, sub, sizeof sub) == ERROR_SUCCESS)
        if ((e = DeleteTree(key, sub)) != ERROR_SUCCESS) break;
    RegCloseKey(key);
    return e == ERROR_SUCCESS ? RegDeleteKeyA(parent, name) : e;
}

inline std::vector<BYTE> Bytes(const char *text, size_t size) {
    return std::vector<BYTE>(reinterpret_cast<const BYTE *>(text), reinterpret_cast<const BYTE *>(text) + size);
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteTree(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &root_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (root_) RegCloseKey(root_);
        DeleteTree(HKEY_CURRENT_USER, kTestKey);
    }

    // A key below the test key, created with all access.
    HKEY Create(const char *path) {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root_, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &k,
                                  nullptr),
                  ERROR_SUCCESS)
            << path;
        return k;
    }
    void MakeKey(const char *path) { RegCloseKey(Create(path)); }
    void SetString(HKEY key, const char *name, const std::string &text, DWORD type = REG_SZ) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(text.c_str()),
                                 (DWORD)text.size() + 1),
                  ERROR_SUCCESS);
    }
    void SetDword(HKEY key, const char *name, DWORD value) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value),
                  ERROR_SUCCESS);
    }
    bool Exists(const char *path) {
        HKEY k;
        if (RegOpenKeyExA(root_, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
        RegCloseKey(k);
        return true;
    }
    std::vector<std::string> SubkeyNames(HKEY key) {
        std::vector<std::string> names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD cch = sizeof name;
            LONG e = RegEnumKeyExA(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
            if (e != ERROR_SUCCESS) {
                EXPECT_EQ(e, ERROR_NO_MORE_ITEMS);
                break;
            }
            names.emplace_back(name, cch);
        }
        return names;
    }

    HKEY root_ = nullptr;
};

}  // namespace regtest

#endif
