// wsprintfA and wvsprintfA: the formats Windows supports, padding and
// precision, and the 1024-character output limit.
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

TEST(Wsprintf, OutputStopsAt1024Characters) {
    SKIP_ON_WINE("wsprintfA stops at 1023 characters and the terminator, where Windows writes 1024 and the terminator");
    std::string big(2000, 'x');
    static char buffer[2100];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(wsprintfA(buffer, "%s", big.c_str()), 1024);
    EXPECT_EQ(strlen(buffer), 1024u);
    EXPECT_EQ(buffer[1025], '#');

    // The limit counts the literal text as well.
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(wsprintfA(buffer, big.c_str()), 1024);
    EXPECT_EQ(strlen(buffer), 1024u);

    memset(buffer, '#', sizeof buffer);
    std::string exact(1020, 'y');
    EXPECT_EQ(wsprintfA(buffer, "%s%d", exact.c_str(), 123456), 1024);
    EXPECT_EQ(std::string(buffer), exact + "1234");
}

}  // namespace
