// Profile files as Windows reads them: the line breaks it knows, a NUL
// inside a value, and files that another program holds open.
#include "files_scratch.h"

#include <cstring>

namespace {

class IniLines : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        file_ = P("lines.ini");
    }
    std::string Get(const char *section, const char *key, DWORD *count = nullptr) {
        char buf[64];
        memset(buf, 'z', sizeof buf);
        DWORD n = GetPrivateProfileStringA(section, key, "def", buf, sizeof buf, file_.c_str());
        if (count) *count = n;
        return std::string(buf, n);
    }
    std::string file_;
};

// A lone CR ends a line, as CR LF and a lone LF do.
TEST_F(IniLines, LoneCarriageReturnIsALineBreak) {
    ASSERT_TRUE(WriteText(file_, "[mac]\rone=1\rtwo=2\r\r[unix]\nthree=3\n[dos]\r\nfour=4\r\n[mixed]\r\rfive=5\n\rsix=6"));
    EXPECT_EQ(Get("mac", "one"), "1");
    EXPECT_EQ(Get("mac", "two"), "2");
    EXPECT_EQ(Get("unix", "three"), "3");
    EXPECT_EQ(Get("dos", "four"), "4");
    EXPECT_EQ(Get("mixed", "five"), "5");
    EXPECT_EQ(Get("mixed", "six"), "6");
    EXPECT_EQ(Get("mac", "three"), "def");
    EXPECT_EQ(GetPrivateProfileIntA("mac", "two", 0, file_.c_str()), 2u);

    char names[64];
    DWORD n = GetPrivateProfileStringA("mac", nullptr, "", names, sizeof names, file_.c_str());
    EXPECT_EQ(std::string(names, n), std::string("one\0two\0", 8));
}

// Writing into a file with CR-only lines keeps its lines apart.
TEST_F(IniLines, WritesIntoCarriageReturnLines) {
    ASSERT_TRUE(WriteText(file_, "[mac]\rone=1\r"));
    ASSERT_TRUE(WritePrivateProfileStringA("mac", "two", "2", file_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("mac", "one", "uno", file_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("other", "k", "v", file_.c_str()));
    EXPECT_EQ(Get("mac", "one"), "uno");
    EXPECT_EQ(Get("mac", "two"), "2");
    EXPECT_EQ(Get("other", "k"), "v");
}

// A NUL inside a value ends it: the count and the text agree.
TEST_F(IniLines, NulEndsAValue) {
    const char text[] = "[s]\r\nk=ab\0cd\r\nq=\"x\0y\"\r\nnext=ok\r\n";
    ASSERT_TRUE(WriteText(file_, std::string(text, sizeof text - 1)));
    DWORD n = 0;
    std::string v = Get("s", "k", &n);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(v, "ab");
    EXPECT_EQ(Get("s", "q"), "\"x");  // the quotes no longer pair up
    EXPECT_EQ(Get("s", "next"), "ok");
}

// A file another program holds open, to be deleted when it closes it and
// shared for everything, reads as usual.
TEST_F(IniLines, FileHeldOpenForDeleteOnCloseReads) {
    const char contents[] = "[Test]\r\nProfileInt=123\r\n";
    HANDLE h = CreateFileA(file_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, contents, sizeof contents - 1, &done, nullptr));
    EXPECT_EQ(GetPrivateProfileIntA("Test", "ProfileInt", 0, file_.c_str()), 123u);
    EXPECT_EQ(Get("Test", "ProfileInt"), "123");
    CloseHandle(h);
    EXPECT_FALSE(Exists(file_));
    EXPECT_EQ(GetPrivateProfileIntA("Test", "ProfileInt", 421, file_.c_str()), 421u);
}

// The same with a writer that shares reading only.
TEST_F(IniLines, FileHeldOpenForDeleteOnCloseByAWriterSharingReads) {
    const char contents[] = "[Test]\nProfileInt=124\n";
    HANDLE h = CreateFileA(file_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, contents, sizeof contents - 1, &done, nullptr));
    EXPECT_EQ(GetPrivateProfileIntA("Test", "ProfileInt", 0, file_.c_str()), 124u);
    CloseHandle(h);
}

}  // namespace
