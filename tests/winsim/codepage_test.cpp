// ANSI and UTF-16 conversions: sizing, terminators, bounded output.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "support/wine.h"

namespace {

TEST(MultiByteToWideChar, SizingCountsTheNulOfATerminatedInput) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 0), 3);
    WCHAR out[4];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, out, 4), 4);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[3], 0);
}

TEST(MultiByteToWideChar, ATooSmallBufferIsNeverOverrun) {
    WCHAR out[6] = {0x7777, 0x7777, 0x7777, 0x7777, 0x7777, 0x7777};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, out, 3), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(out[3], 0x7777);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, out, 3), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST(MultiByteToWideChar, Windows1252HighCharacters) {
    WCHAR out[3];
    ASSERT_EQ(MultiByteToWideChar(1252, 0, "\x80\xE9", 2, out, 3), 2);
    EXPECT_EQ(out[0], 0x20AC);
    EXPECT_EQ(out[1], 0x00E9);
}

TEST(WideCharToMultiByte, RoundTripAndDefaultCharacter) {
    const WCHAR text[] = {'Q', 0x20AC, 0x00E9, 0};
    char out[8];
    ASSERT_EQ(WideCharToMultiByte(1252, 0, text, -1, out, sizeof out, nullptr, nullptr), 4);
    EXPECT_STREQ(out, "Q\x80\xE9");
    // Without WC_NO_BEST_FIT_CHARS Windows would write a look-alike ('O' for
    // the omega): the flag asks for the default character instead.
    const WCHAR greek[] = {0x03A9, 'x', 0};
    BOOL usedDefault = FALSE;
    ASSERT_EQ(WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, greek, -1, out, sizeof out, nullptr, &usedDefault), 3);
    EXPECT_STREQ(out, "?x");
    EXPECT_TRUE(usedDefault);
    // An ideograph has no look-alike in the code page.
    const WCHAR ideograph[] = {0x4E00, 'x', 0};
    usedDefault = FALSE;
    ASSERT_EQ(WideCharToMultiByte(1252, 0, ideograph, -1, out, sizeof out, nullptr, &usedDefault), 3);
    EXPECT_STREQ(out, "?x");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr), 4);
    char small[2] = {'#', '#'};
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, small, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(ComboBox, KeepsItsStringsInOrder) {
    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, nullptr, nullptr,
                              nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_TLW_WITH_WSCHILD) << "a child window without a parent";
    HWND box = CreateWindowExA(0, "COMBOBOX", "", CBS_DROPDOWNLIST, 0, 0, 100, 100, HWND_MESSAGE, nullptr, nullptr,
                               nullptr);
    if (!box && RunningOnWine())
        GTEST_SKIP() << "Wine: CreateWindowExA refuses a message-only combo box (error " << GetLastError() << ")";
    ASSERT_NE(box, nullptr) << GetLastError();
    EXPECT_EQ(SendMessageA(box, CB_ADDSTRING, 0, (LPARAM) "QLSERVER"), 0);
    EXPECT_EQ(SendMessageA(box, CB_ADDSTRING, 0, (LPARAM) "CORP"), 1);
    EXPECT_EQ(SendMessageA(box, CB_GETCOUNT, 0, 0), 2);
    char text[32];
    EXPECT_EQ(SendMessageA(box, CB_GETLBTEXTLEN, 1, 0), 4);
    EXPECT_EQ(SendMessageA(box, CB_GETLBTEXT, 1, (LPARAM)text), 4);
    EXPECT_STREQ(text, "CORP");
    EXPECT_EQ(SendMessageA(box, CB_GETLBTEXT, 2, (LPARAM)text), CB_ERR);
    EXPECT_EQ(SendMessageA(box, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM) "corp"), 1);
    SendMessageA(box, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageA(box, CB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(DestroyWindow(box));
}

}  // namespace
