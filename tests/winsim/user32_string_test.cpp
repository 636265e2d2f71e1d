// lstr functions and the character functions on the single-byte code page
// 1252; string resources of the library's own script.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "resource.h"
#include "support/wine.h"

namespace {

TEST(Lstr, LengthAndNull) {
    EXPECT_EQ(lstrlenA("Quillbak"), 8);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA(nullptr), 0);
}

TEST(Lstr, CopyNCountsTheNul) {
    const struct {
        int max;
        const char *expected;  // nullptr: the buffer is untouched
    } cases[] = {{0, nullptr}, {1, ""}, {5, "Quil"}, {8, "Quillba"}, {9, "Quillbak"}, {20, "Quillbak"}};
    for (const auto &c : cases) {
        char buffer[32];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(lstrcpynA(buffer, "Quillbak", c.max), buffer) << c.max;
        if (c.expected) {
            EXPECT_STREQ(buffer, c.expected) << c.max;
            EXPECT_EQ(buffer[strlen(c.expected) + 1], '#') << c.max;
        } else {
            EXPECT_EQ(buffer[0], '#');
        }
    }
}

TEST(Lstr, CopyAndConcatenate) {
    char buffer[32];
    EXPECT_EQ(lstrcpyA(buffer, "C:\\Quillbak"), buffer);
    EXPECT_EQ(lstrcatA(buffer, "\\bin"), buffer);
    EXPECT_STREQ(buffer, "C:\\Quillbak\\bin");
    EXPECT_EQ(lstrcpyA(nullptr, "x"), nullptr);
    EXPECT_EQ(lstrcatA(buffer, nullptr), nullptr);
}

TEST(Lstr, CompareOrdersLikeTheWordSort) {
    const struct {
        const char *a, *b;
        int cmp, cmpi;
    } cases[] = {
        {"abc", "abc", 0, 0},   {"abc", "abd", -1, -1}, {"a", "B", -1, -1},   {"B", "a", 1, 1},
        {"a", "A", -1, 0},      {"A", "a", 1, 0},       {"ab", "abc", -1, -1}, {"1", "a", -1, -1},
        {"Quillbak", "QUILLBAK", -1, 0}, {"", "", 0, 0}, {"", "a", -1, -1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(lstrcmpA(c.a, c.b), c.cmp) << c.a << " vs " << c.b;
        EXPECT_EQ(lstrcmpiA(c.a, c.b), c.cmpi) << c.a << " vs " << c.b;
    }
}

TEST(CharFunctions, CaseOnCodePage1252) {
    char text[] = "Quillbak \xE9t\xE9 \xFF \xDF 123";
    EXPECT_EQ(CharUpperA(text), text);
    EXPECT_STREQ(text, "QUILLBAK \xC9T\xC9 \x9F \xDF 123");
    EXPECT_EQ(CharLowerA(text), text);
    EXPECT_STREQ(text, "quillbak \xE9t\xE9 \xFF \xDF 123");
    // A pointer with a zero high word carries a single character.
    EXPECT_EQ((ULONG_PTR)CharUpperA((LPSTR)(ULONG_PTR)'q'), (ULONG_PTR)'Q');
    EXPECT_EQ((ULONG_PTR)CharLowerA((LPSTR)(ULONG_PTR)0xC0), (ULONG_PTR)0xE0);
}

TEST(CharFunctions, NextAndPreviousAreSingleBytes) {
    const char text[] = "a\x81\x40z";
    EXPECT_EQ(CharNextA(text), text + 1);
    EXPECT_EQ(CharNextA(text + 1), text + 2);
    EXPECT_EQ(CharNextA(text + 4), text + 4);  // stays on the NUL
    EXPECT_EQ(CharPrevA(text, text + 3), text + 2);
    EXPECT_EQ(CharPrevA(text, text), text);
    for (int c = 0; c < 256; ++c) EXPECT_FALSE(IsDBCSLeadByte((BYTE)c)) << c;
}

TEST(StringResources, LibraryStringTable) {
    HMODULE module = LoadLibraryA("QLSETGUI.dll");
    ASSERT_NE(module, nullptr);
    char full[256];
    int n = LoadStringA(module, IDS_PLEASE_WAIT_CONFIGURING, full, sizeof full);
    ASSERT_GT(n, 10);
    EXPECT_EQ((size_t)n, strlen(full));
    // A short buffer gets the start of the text, terminated.
    const int sizes[] = {1, 2, 8, n, n + 1};
    for (int size : sizes) {
        char buffer[256];
        memset(buffer, '#', sizeof buffer);
        int m = LoadStringA(module, IDS_PLEASE_WAIT_CONFIGURING, buffer, size);
        int expected = size - 1 < n ? size - 1 : n;
        EXPECT_EQ(m, expected) << size;
        EXPECT_EQ(std::string(buffer), std::string(full, (size_t)expected)) << size;
        EXPECT_EQ(buffer[expected + 1], '#') << size;
    }
    FreeLibrary(module);
}

TEST(StringResources, MissingStringBlock) {
    HMODULE module = LoadLibraryA("QLSETGUI.dll");
    ASSERT_NE(module, nullptr);
    char buffer[16] = "garbage";
    SetLastError(0);
    EXPECT_EQ(LoadStringA(module, 7, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    FreeLibrary(module);
}

// The id is a WORD: LoadString looks up the low word and ignores the rest.
TEST(StringResources, OnlyTheLowWordOfTheIdCounts) {
    HMODULE module = LoadLibraryA("QLSETGUI.dll");
    ASSERT_NE(module, nullptr);
    char plain[256], high[256];
    int n = LoadStringA(module, IDS_PLEASE_WAIT_CONFIGURING, plain, sizeof plain);
    ASSERT_GT(n, 0);
    EXPECT_EQ(LoadStringA(module, 0x12340000u | IDS_PLEASE_WAIT_CONFIGURING, high, sizeof high), n);
    EXPECT_STREQ(high, plain);
    EXPECT_EQ(LoadStringA(module, 0xFFFF0000u | IDS_PLEASE_WAIT_CONFIGURING, high, sizeof high), n);
    EXPECT_STREQ(high, plain);
    FreeLibrary(module);
}

TEST(MessageBoxStyle, StyleWithoutButtonsFails) {
    SKIP_ON_WINE("MessageBoxA with an invalid button style returns -1 and does not set ERROR_INVALID_MSGBOX_STYLE");
    SetLastError(0);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", 0x0000000F), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_MSGBOX_STYLE);
}

TEST(DesktopWindow, IsFixedAndNotNull) {
    HWND desktop = GetDesktopWindow();
    EXPECT_NE(desktop, nullptr);
    EXPECT_EQ(GetDesktopWindow(), desktop);
}

}  // namespace
