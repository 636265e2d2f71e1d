// A scratch folder below the temp path for the file and profile conformance
// tests, emptied and removed after each test. Win32 calls only, so the tests
// can run on Windows as well.
#ifndef TESTS_WINSIM_FILES_SCRATCH_H
#define TESTS_WINSIM_FILES_SCRATCH_H

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        DWORD n = GetTempPathA(MAX_PATH, temp);
        ASSERT_GT(n, 0u);
        ASSERT_LT(n, (DWORD)MAX_PATH);
        // A folder of its own per test: on a real machine a handle that a
        // failed test left open keeps its folder, and must not fail the next.
        static unsigned run = 0;
        base_ = std::string(temp) + "wsfiles" + std::to_string(++run);
        RemoveTree(base_);
        ASSERT_TRUE(CreateDirectoryA(base_.c_str(), nullptr)) << GetLastError();
        GetCurrentDirectoryA(MAX_PATH, savedCurrent_);
    }
    void TearDown() override {
        SetCurrentDirectoryA(savedCurrent_);
        RemoveTree(base_);
    }

    // A path inside the scratch folder.
    std::string P(const std::string &rel) const { return base_ + "\\" + rel; }

    static void RemoveTree(const std::string &dir) {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string name = fd.cFileName;
                if (name == "." || name == "..") continue;
                std::string full = dir + "\\" + name;
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(full);
                else
                    DeleteFileA(full.c_str());
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryA(dir.c_str());
    }

    static bool WriteText(const std::string &path, const std::string &text) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD done = 0;
        BOOL ok = text.empty() || WriteFile(h, text.data(), (DWORD)text.size(), &done, nullptr);
        CloseHandle(h);
        return ok && done == text.size();
    }

    // The whole file, or "<missing>" when it cannot be opened.
    static std::string ReadText(const std::string &path) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        std::string out;
        char buf[4096];
        DWORD n = 0;
        while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
        CloseHandle(h);
        return out;
    }

    static bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    // Names FindFirstFile/FindNextFile report, in order.
    static std::vector<std::string> Find(const std::string &pattern, DWORD *error = nullptr) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) {
            if (error) *error = GetLastError();
            return names;
        }
        do names.push_back(fd.cFileName);
        while (FindNextFileA(h, &fd));
        if (error) *error = GetLastError();
        FindClose(h);
        return names;
    }

    std::string base_;
    char savedCurrent_[MAX_PATH] = "";
};

#endif
