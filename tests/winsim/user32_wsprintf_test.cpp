// wsprintfA and wvsprintfA: the formats Windows supports, padding and
// precision, size prefixes, and the 1024-byte output limit.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/wine.h"

#include <cstdarg>
#include <cstring>
#include <string>

namespace {

std::string Format(const char *format, ...) {
    char buffer[1100];
    va_list ap;
    va_start(ap, format);
    int n = wvsprintfA(buffer, format, ap);
    va_end(ap);
    EXPECT_EQ((size_t)n, strlen(buffer)) << format;
    return buffer;
}

TEST(Wsprintf, Integers) {
    SKIP_ON_WINE("wsprintfA ignores the h size prefix (%hd of 70000 gives 70000)");
    const struct {
        const char *format;
        int value;
        const char *expected;
    } cases[] = {
        {"%d", 42, "42"},
        {"%d", -42, "-42"},
        {"%i", 12, "12"},
        {"%5d", 42, "   42"},
        {"%-5d|", 42, "42   |"},
        {"%05d", -42, "-0042"},
        {"%.4d", 7, "0007"},
        {"%u", -1, "4294967295"},
        {"%x", 255, "ff"},
        {"%X", 255, "FF"},
        {"%#x", 255, "0xff"},
        {"%#X", 48879, "0XBEEF"},
        {"%08X", 0xBEEF, "0000BEEF"},
        {"%ld", -5, "-5"},
        {"%lu", (int)3000000000u, "3000000000"},
        {"%lx", 0xABCDEF, "abcdef"},
        {"%hd", 70000, "4464"},
        {"%hu", -1, "65535"},
        {"%c", 'Q', "Q"},
        {"%3c", 'Q', "  Q"},
        {"%-3c|", 'Q', "Q  |"},
    };
    for (const auto &c : cases) EXPECT_EQ(Format(c.format, c.value), c.expected) << c.format;
}

TEST(Wsprintf, Strings) {
    SKIP_ON_WINE("wsprintfA takes a precision of 0 for %s as no precision");
    const struct {
        const char *format;
        const char *value;
        const char *expected;
    } cases[] = {
        {"%s", "abc", "abc"},     {"%.2s", "abc", "ab"},      {"%5s", "abc", "  abc"},
        {"%-5s|", "abc", "abc  |"}, {"%.0s|", "abc", "|"},    {"%hs", "narrow", "narrow"},
        {"[%s]", "", "[]"},       {"%s", nullptr, "(null)"},
    };
    for (const auto &c : cases) EXPECT_EQ(Format(c.format, c.value), c.expected) << c.format;
}

TEST(Wsprintf, WideArguments) {
    const WCHAR wide[] = {'W', 'i', 'd', 'e', 0};
    EXPECT_EQ(Format("%S", wide), "Wide");
    EXPECT_EQ(Format("%ls", wide), "Wide");
    EXPECT_EQ(Format("%C", (int)'W'), "W");
}

TEST(Wsprintf, MixedArgumentsAndPercent) {
    char buffer[128];
    int n = wsprintfA(buffer, "%s=%d (%s) 100%%", "count", 3, "ok");
    EXPECT_STREQ(buffer, "count=3 (ok) 100%");
    EXPECT_EQ(n, 17);
    EXPECT_EQ(wsprintfA(buffer, "plain"), 5);
    EXPECT_STREQ(buffer, "plain");
}

// The buffer receives at most 1024 bytes, the NUL included: 1023 characters
// at most, and the return value counts the characters stored.
TEST(Wsprintf, OutputFitsIn1024Bytes) {
    SKIP_ON_WINE("wsprintfA stores and counts 1024 characters before its NUL where Windows keeps the whole output within 1024 bytes");
    std::string big(2000, 'x');
    static char buffer[2100];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(wsprintfA(buffer, "%s", big.c_str()), 1023);
    EXPECT_EQ(strlen(buffer), 1023u);
    EXPECT_EQ(buffer[1024], '#');

    // The limit counts the literal text as well.
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(wsprintfA(buffer, big.c_str()), 1023);
    EXPECT_EQ(strlen(buffer), 1023u);
    EXPECT_EQ(buffer[1024], '#');

    memset(buffer, '#', sizeof buffer);
    std::string exact(1020, 'y');
    EXPECT_EQ(wsprintfA(buffer, "%s%d", exact.c_str(), 123456), 1023);
    EXPECT_EQ(std::string(buffer), exact + "123");
    EXPECT_EQ(buffer[1024], '#');

    // wvsprintfA has the same limit.
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(Format("%s", big.c_str()).size(), 1023u);
}

// Windows 2000's formatter takes I64 (64-bit), I32 (32-bit) and a bare I
// (pointer-sized) before an integer type.
TEST(Wsprintf, IntegerSizePrefixes) {
    char buffer[64];
    EXPECT_EQ(wsprintfA(buffer, "%I32X|%I32x", 0x67890A, -0x12345), 15);
    EXPECT_STREQ(buffer, "67890A|fffedcbb");
    EXPECT_EQ(wsprintfA(buffer, "%I32d %I32u", -12345, 7), 8);
    EXPECT_STREQ(buffer, "-12345 7");
    EXPECT_EQ(wsprintfA(buffer, "%I64X", ((ULONGLONG)0x12345 << 32) | 0x67890a), 13);
    EXPECT_STREQ(buffer, "123450067890A");
    EXPECT_EQ(wsprintfA(buffer, "%I64u", (ULONGLONG)(LONGLONG)-123), 20);
    EXPECT_STREQ(buffer, "18446744073709551493");
    // A bare I reads an argument the size of a pointer.
    wsprintfA(buffer, "%Id|%Iu|%s", (INT_PTR)-12345, (UINT_PTR)42, "next");
    EXPECT_STREQ(buffer, "-12345|42|next");
    wsprintfA(buffer, "%Ix", (UINT_PTR)0xFEDCBA98);
    EXPECT_STREQ(buffer, "fedcba98");
    // The I32 argument is 32 bits wide: the next argument follows it.
    EXPECT_EQ(Format("%08I32X,%s", 0xBEEF, "ok"), "0000BEEF,ok");
}

}  // namespace
