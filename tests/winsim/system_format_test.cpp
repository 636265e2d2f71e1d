// FormatMessageA: system message texts, allocation, sizing, inserts; and
// LocalAlloc/LocalFree which hand the allocated texts out.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/wine.h"

#include <cstring>
#include <string>

namespace {

const DWORD kSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

std::string SystemText(DWORD code) {
    char buffer[512];
    DWORD n = FormatMessageA(kSystem, nullptr, code, 0, buffer, sizeof buffer, nullptr);
    EXPECT_EQ(n, strlen(buffer)) << code;
    return n ? std::string(buffer) : std::string();
}

TEST(SystemMessages, SystemTexts) {
    SKIP_ON_WINE("FormatMessageA has system texts of its own (\"Success.\" for 0, \"Access denied.\" for 5), so lengths and sizing differ");
    const struct {
        DWORD code;
        const char *text;
    } cases[] = {
        {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
        {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
        {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
        {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.\r\n"},
        {ERROR_BAD_EXE_FORMAT, "%1 is not a valid Win32 application.\r\n"},
        {ERROR_SERVICE_DOES_NOT_EXIST, "The specified service does not exist as an installed service.\r\n"},
        {ERROR_LOGON_FAILURE, "Logon failure: unknown user name or bad password.\r\n"},
        {ERROR_UNKNOWN_PRODUCT, "This action is only valid for products that are currently installed.\r\n"},
    };
    for (const auto &c : cases) EXPECT_EQ(SystemText(c.code), c.text) << c.code;
}

TEST(SystemMessages, EveryDeclaredErrorHasAText) {
    const DWORD codes[] = {ERROR_BUFFER_OVERFLOW, ERROR_MR_MID_NOT_FOUND, ERROR_ENVVAR_NOT_FOUND, ERROR_MORE_DATA,
                           ERROR_SEM_TIMEOUT,     ERROR_INSUFFICIENT_BUFFER, ERROR_RESOURCE_NAME_NOT_FOUND,
                           ERROR_INVALID_MSGBOX_STYLE};
    for (DWORD code : codes) {
        std::string text = SystemText(code);
        ASSERT_GT(text.size(), 2u) << code;
        EXPECT_EQ(text.substr(text.size() - 3), ".\r\n") << code;
    }
}

TEST(SystemMessages, UnknownCode) {
    char buffer[64];
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(kSystem, nullptr, 0x0000DEAD, 0, buffer, sizeof buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MR_MID_NOT_FOUND);
}

TEST(SystemMessages, BufferTooSmall) {
    SKIP_ON_WINE("FormatMessageA has system texts of its own (\"Success.\" for 0, \"Access denied.\" for 5), so lengths and sizing differ");
    char buffer[64];
    memset(buffer, '#', sizeof buffer);
    SetLastError(0);
    // "Access is denied.\r\n" needs 20 characters with the NUL.
    EXPECT_EQ(FormatMessageA(kSystem, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 19, nullptr), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(FormatMessageA(kSystem, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 20, nullptr), 19u);
    EXPECT_STREQ(buffer, "Access is denied.\r\n");
}

TEST(SystemMessages, AllocatedBufferIsFreedWithLocalFree) {
    SKIP_ON_WINE("FormatMessageA has system texts of its own (\"Success.\" for 0, \"Access denied.\" for 5), so lengths and sizing differ");
    LPSTR text = nullptr;
    DWORD n = FormatMessageA(kSystem | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_FILE_NOT_FOUND,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, nullptr);
    ASSERT_EQ(n, 44u);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "The system cannot find the file specified.\r\n");
    EXPECT_EQ(LocalFree(text), nullptr);
}

TEST(SystemMessages, StringWithArgumentArray) {
    const DWORD_PTR args[] = {(DWORD_PTR) "QLSERVER", (DWORD_PTR)42, (DWORD_PTR)255};
    const struct {
        const char *source, *expected;
    } cases[] = {
        {"%1 has %2!d! jobs", "QLSERVER has 42 jobs"},
        {"%2!u!/%3!x!/%3!04X!", "42/ff/00FF"},
        {"%1%n%2!d!", "QLSERVER\r\n42"},
        {"100%% done%.%0 and more", "100% done."},
        {"%1!-10s!|", "QLSERVER  |"},
    };
    for (const auto &c : cases) {
        char buffer[128];
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, c.source, 0, 0, buffer,
                                 sizeof buffer, (va_list *)args);
        EXPECT_STREQ(buffer, c.expected) << c.source;
        EXPECT_EQ(n, strlen(c.expected)) << c.source;
    }
}

TEST(SystemMessages, IgnoredInsertsStayAsWritten) {
    char buffer[64];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, "copy %1 to %2!s!", 0, 0,
                             buffer, sizeof buffer, nullptr);
    EXPECT_STREQ(buffer, "copy %1 to %2!s!");
    EXPECT_EQ(n, 16u);
}

TEST(LocalMemory, ZeroInitAndFree) {
    BYTE *p = (BYTE *)LocalAlloc(LPTR, 64);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
    EXPECT_EQ(LocalFree(p), nullptr);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
