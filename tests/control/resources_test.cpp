// The resource compiler: string tables with rc's escapes and forms, names
// from the headers, dialog templates, statements it skips, errors with
// their line, and LoadString over the compiled tables.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>

// The library carries its script and headers as text (generated at build time).
extern const char kQlResourceHeaders[];
extern const char kQlResourceScript[];

namespace {

// Module handles of their own, far from the loader's.
const HMODULE kModule = (HMODULE)(uintptr_t)0x7A000000;
const HMODULE kOther = (HMODULE)(uintptr_t)0x7A010000;

std::string Load(HMODULE module, UINT id) {
    char buffer[256];
    int n = LoadStringA(module, id, buffer, sizeof buffer);
    EXPECT_EQ((size_t)n, strlen(buffer)) << id;
    return buffer;
}

TEST(ResourceScript, StringEscapes) {
    winsim::RegisterModuleResources(kModule, R"rc(
STRINGTABLE
BEGIN
    1 "plain text"
    2 "say ""hello"""
    3 "say \"hello\""
    4 "line\nnext\ttab\\back"
    5 "cr\rend"
    6 "octal \101\060"
    7 "hex \x41\x7a!"
    8 "percent %s and 100%%"
    9 "keep \q"
    10 ""
END
)rc");
    const struct {
        UINT id;
        const char *text;
    } cases[] = {
        {1, "plain text"}, {2, "say \"hello\""}, {3, "say \"hello\""}, {4, "line\nnext\ttab\\back"},
        {5, "cr\rend"},    {6, "octal A0"},       {7, "hex Az!"},       {8, "percent %s and 100%%"},
        {9, "keep \\q"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Load(kModule, c.id), c.text) << c.id;
        std::string looked;
        EXPECT_TRUE(winsim::LookupString(kModule, c.id, looked)) << c.id;
        EXPECT_EQ(looked, c.text) << c.id;
    }
    std::string none;
    EXPECT_FALSE(winsim::LookupString(kModule, 10, none));  // an empty string is no string
}

TEST(ResourceScript, FormsOfTheStringTable) {
    winsim::RegisterModuleResources(kModule, R"rc(
#define IDS_BASE 100
#define IDS_TITLE (IDS_BASE + 1)
#define IDS_HEX 0x2000
// A comment, /* and one */ over
/* several
   lines */
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US
#pragma code_page(1252)
STRINGTABLE DISCARDABLE
BEGIN
    IDS_BASE,  "base"          // trailing comment
    IDS_TITLE  "title"
    IDS_HEX, "hex id"
END
STRINGTABLE PRELOAD MOVEABLE
{
    IDS_BASE + 2 "sum"
    0x2001L "suffixed"
}
)rc");
    EXPECT_EQ(Load(kModule, 100), "base");
    EXPECT_EQ(Load(kModule, 101), "title");
    EXPECT_EQ(Load(kModule, 102), "sum");
    EXPECT_EQ(Load(kModule, 0x2000), "hex id");
    EXPECT_EQ(Load(kModule, 0x2001), "suffixed");
}

// A script chooses its numbers: sums, products and quotients past 64 bits
// wrap as two's complement does instead of overflowing, in #if and in ids
// alike (the smallest number divided by -1 is itself).
TEST(ResourceScript, ArithmeticWrapsAt64Bits) {
    winsim::RegisterModuleResources(kModule, R"rc(
#define SMALLEST (0 - 2147483648 * 4294967295 - 2147483648)
#if SMALLEST / -1 < 0 && SMALLEST % -1 == 0 && -SMALLEST == SMALLEST && 4294967295 * 4294967295 * 4294967295 != 0
#define WRAPPED 1
#endif
STRINGTABLE
BEGIN
    4294967295 * 4294967295 + 4294967295 + 4294967295 + 7 "six"
#ifdef WRAPPED
    SMALLEST / -1 + (2147483648 * 4294967295) + 2147483648 + 2 "two"
#endif
END
)rc");
    EXPECT_EQ(Load(kModule, 6), "six");
    EXPECT_EQ(Load(kModule, 2), "two");
}

TEST(ResourceScript, HeadersComeFirstAndConditionalsApply) {
    const std::string headers = R"h(
#ifndef TEST_RESOURCE_H
#define TEST_RESOURCE_H
#define IDS_A 200
#define IDS_B 201
#define IDD_MAIN 300
#endif
)h";
    const std::string script = R"rc(
#include "resource.h"
#include "afxres.h"
#ifdef APSTUDIO_INVOKED
1 TEXTINCLUDE DISCARDABLE
BEGIN
    "resource.h\0"
END
#endif
#if !defined(AFX_RESOURCE_DLL) || defined(AFX_TARG_ENU)
STRINGTABLE
BEGIN
    IDS_A "english"
END
#else
STRINGTABLE
BEGIN
    IDS_A "other"
END
#endif
#if IDS_B > 200 && defined IDS_A
STRINGTABLE
BEGIN
    IDS_B "conditional"
END
#endif
)rc";
    winsim::RegisterModuleResources(kModule, headers, script);
    EXPECT_EQ(Load(kModule, 200), "english");
    EXPECT_EQ(Load(kModule, 201), "conditional");
}

TEST(ResourceScript, OtherResourceTypesAreSkipped) {
    winsim::RegisterModuleResources(kModule, R"rc(
#define IDI_APP 1
IDI_APP ICON DISCARDABLE "res\\app.ico"
2 BITMAP res\logo.bmp
1 VERSIONINFO
 FILEVERSION 7,0,0,1
 PRODUCTVERSION 7,0,0,1
 FILEFLAGSMASK 0x3fL
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904b0"
        BEGIN
            VALUE "CompanyName", "Quillbak\0"
        END
    END
END
IDR_MENU MENU DISCARDABLE
BEGIN
    POPUP "&File"
    BEGIN
        MENUITEM "E&xit", 1
    END
END
STRINGTABLE
BEGIN
    5 "after"
END
)rc");
    EXPECT_EQ(Load(kModule, 5), "after");
}

TEST(ResourceScript, Dialogs) {
    winsim::RegisterModuleResources(kModule, R"rc(
#define IDD_WAIT 400
#define IDC_TEXT 1001
#define IDC_CHECK 1002
#define IDC_EDIT 1003
IDD_WAIT DIALOG DISCARDABLE  0, 0, 186, 52
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Quillbak Setup"
FONT 8, "MS Sans Serif"
BEGIN
    LTEXT           "Please wait ...",IDC_TEXT,7,7,172,18
    DEFPUSHBUTTON   "OK",IDOK,129,31,50,14
    PUSHBUTTON      "Cancel",IDCANCEL,72,31,50,14,NOT WS_TABSTOP
    EDITTEXT        IDC_EDIT,7,31,60,14,ES_AUTOHSCROLL
    ICON            1,IDC_STATIC,7,40
END
401 DIALOGEX 0, 0, 200, 80, 0
STYLE DS_SETFONT | WS_CHILD
EXSTYLE WS_EX_CONTROLPARENT
FONT 8, "MS Shell Dlg", 0, 0, 0x1
BEGIN
    CONTROL "Start the engine",IDC_CHECK,"Button",BS_AUTOCHECKBOX | WS_TABSTOP,7,7,120,10
    CONTROL "",-1,STATIC,SS_ETCHEDHORZ,7,20,186,1,WS_EX_STATICEDGE
END
)rc");
    winsim::DialogTemplate wait;
    ASSERT_TRUE(winsim::LookupDialog(kModule, 400, wait));
    EXPECT_EQ(wait.caption, "Quillbak Setup");
    EXPECT_EQ(wait.style, "DS_MODALFRAME | WS_POPUP | WS_CAPTION");
    EXPECT_EQ(wait.fontName, "MS Sans Serif");
    EXPECT_EQ(wait.fontSize, 8);
    EXPECT_FALSE(wait.extended);
    EXPECT_EQ(wait.cx, 186);
    EXPECT_EQ(wait.cy, 52);
    const struct {
        int id;
        const char *cls, *text, *style;
        int x, y, cx, cy;
    } controls[] = {
        {1001, "Static", "Please wait ...", "", 7, 7, 172, 18},
        {IDOK, "Button", "OK", "", 129, 31, 50, 14},
        {IDCANCEL, "Button", "Cancel", "NOT WS_TABSTOP", 72, 31, 50, 14},
        {1003, "Edit", "", "ES_AUTOHSCROLL", 7, 31, 60, 14},
        {-1, "Static", "1", "", 7, 40, 0, 0},
    };
    ASSERT_EQ(wait.controls.size(), sizeof controls / sizeof controls[0]);
    for (size_t i = 0; i < wait.controls.size(); ++i) {
        const auto &c = wait.controls[i];
        EXPECT_EQ(c.id, controls[i].id) << i;
        EXPECT_EQ(c.cls, controls[i].cls) << i;
        EXPECT_EQ(c.text, controls[i].text) << i;
        EXPECT_EQ(c.style, controls[i].style) << i;
        EXPECT_EQ(c.x, controls[i].x) << i;
        EXPECT_EQ(c.y, controls[i].y) << i;
        EXPECT_EQ(c.cx, controls[i].cx) << i;
        EXPECT_EQ(c.cy, controls[i].cy) << i;
    }

    winsim::DialogTemplate ex;
    ASSERT_TRUE(winsim::LookupDialog(kModule, 401, ex));
    EXPECT_TRUE(ex.extended);
    EXPECT_EQ(ex.caption, "");
    ASSERT_EQ(ex.controls.size(), 2u);
    EXPECT_EQ(ex.controls[0].id, 1002);
    EXPECT_EQ(ex.controls[0].cls, "Button");
    EXPECT_EQ(ex.controls[0].text, "Start the engine");
    EXPECT_EQ(ex.controls[0].style, "BS_AUTOCHECKBOX | WS_TABSTOP");
    EXPECT_EQ(ex.controls[1].cls, "Static");
    EXPECT_EQ(ex.controls[1].id, -1);

    EXPECT_FALSE(winsim::LookupDialog(kModule, 402, ex));
    EXPECT_FALSE(winsim::LookupDialog(kOther, 400, ex));
}

TEST(ResourceScript, ErrorsNameTheScriptAndLine) {
    const struct {
        const char *script;
        int line;
        const char *what;
    } cases[] = {
        {"STRINGTABLE\nBEGIN\n  1 \"open\nEND\n", 3, "not closed"},
        {"STRINGTABLE\nBEGIN\n  IDS_NOWHERE \"x\"\nEND\n", 3, "IDS_NOWHERE"},
        {"STRINGTABLE\nBEGIN\n  1 \"one\" \"two\"\nEND\n", 3, "two literals"},
        {"STRINGTABLE\nBEGIN\n  1 \"one\"\n  1 \"again\"\nEND\n", 4, "twice"},
        {"STRINGTABLE\nBEGIN\n  1 \"one\"\n", 3, "END"},
        {"\n#frobnicate\n", 2, "#frobnicate"},
        {"#if 1\nSTRINGTABLE BEGIN 1 \"x\" END\n", 1, "#endif"},
        {"#endif\n", 1, "#endif"},
        {"\n/* never closed\nSTRINGTABLE\n", 2, "comment"},
        {"STRINGTABLE\nBEGIN\n  70000 \"big\"\nEND\n", 3, "65535"},
        {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  FROB \"x\", 1, 0, 0, 1, 1\nEND\n", 3, "FROB"},
        {"#define F(x) x\nSTRINGTABLE\nBEGIN\n  F(1) \"x\"\nEND\n", 4, "function-like"},
    };
    for (const auto &c : cases) {
        try {
            winsim::RegisterModuleResources(kOther, c.script);
            ADD_FAILURE() << "accepted: " << c.script;
        } catch (const winsim::ImageError &e) {
            EXPECT_EQ(e.file, "QLSETGUI.rc") << c.script;
            EXPECT_EQ(e.line, c.line) << c.script << " -> " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << c.script << " -> " << e.what();
        }
    }
}

TEST(ResourceScript, HeaderErrorsNameTheHeaders) {
    try {
        winsim::RegisterModuleResources(kOther, "#define OK 1\n#define 9BAD 2\n", "STRINGTABLE BEGIN 1 \"x\" END\n");
        ADD_FAILURE() << "accepted";
    } catch (const winsim::ImageError &e) {
        EXPECT_EQ(e.file, "resource.h");
        EXPECT_EQ(e.line, 2);
    }
    try {
        winsim::RegisterModuleResources(kOther, "#define A 1\n#define B 2\n#define C 3\n", "\n\nSTRINGTABLE BEGIN X \"x\" END\n",
                                        "Other.rc");
        ADD_FAILURE() << "accepted";
    } catch (const winsim::ImageError &e) {
        EXPECT_EQ(e.file, "Other.rc");
        EXPECT_EQ(e.line, 3);
    }
}

TEST(ResourceScript, FailedScriptKeepsTheOldTables) {
    winsim::RegisterModuleResources(kModule, "STRINGTABLE BEGIN 1 \"kept\" END\n");
    EXPECT_THROW(winsim::RegisterModuleResources(kModule, "STRINGTABLE BEGIN 1 \"x\" \n"), winsim::ImageError);
    EXPECT_EQ(Load(kModule, 1), "kept");
}

TEST(ResourceScript, ResourcesSurviveResetWorld) {
    winsim::RegisterModuleResources(kModule, "STRINGTABLE BEGIN 42 \"still here\" END\n");
    winsim::ResetWorld();
    winsim::CreateDefaultMachine();
    EXPECT_EQ(Load(kModule, 42), "still here");
}

TEST(LoadStringRules, SizingAndMissingStrings) {
    winsim::RegisterModuleResources(kModule, "STRINGTABLE BEGIN 16 \"Quillbak\" 40 \"other\" END\n");
    const struct {
        int size;
        int result;
        const char *text;
    } cases[] = {{1, 0, ""}, {2, 1, "Q"}, {8, 7, "Quillba"}, {9, 8, "Quillbak"}, {50, 8, "Quillbak"}};
    for (const auto &c : cases) {
        char buffer[64];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(LoadStringA(kModule, 16, buffer, c.size), c.result) << c.size;
        EXPECT_STREQ(buffer, c.text) << c.size;
        EXPECT_EQ(buffer[strlen(c.text) + 1], '#') << c.size;
    }

    char buffer[16];
    // Strings live in blocks of 16: a free slot of an existing block is an
    // empty string, a missing block is an error.
    SetLastError(0x1234);
    EXPECT_EQ(LoadStringA(kModule, 17, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetLastError(), 0x1234u);
    const struct {
        HMODULE module;
        UINT id;
        DWORD error;
    } failures[] = {
        {kModule, 15, ERROR_RESOURCE_NAME_NOT_FOUND},
        {kModule, 48, ERROR_RESOURCE_NAME_NOT_FOUND},
        {(HMODULE)(uintptr_t)0x7A020000, 16, ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const auto &f : failures) {
        SetLastError(0);
        EXPECT_EQ(LoadStringA(f.module, f.id, buffer, sizeof buffer), 0) << f.id;
        EXPECT_EQ(GetLastError(), f.error) << f.id;
    }
    winsim::RegisterModuleResources(kOther, "1 DIALOG 0, 0, 10, 10\nBEGIN\nEND\n");
    SetLastError(0);
    EXPECT_EQ(LoadStringA(kOther, 16, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);

    // The ANSI form cannot hand out a pointer to the resource.
    SetLastError(0);
    EXPECT_EQ(LoadStringA(kModule, 16, buffer, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST(LoadStringRules, InjectedFailure) {
    winsim::RegisterModuleResources(kModule, "STRINGTABLE BEGIN 16 \"Quillbak\" END\n");
    winsim::InjectFault("LoadStringA", ERROR_NOT_ENOUGH_MEMORY);
    char buffer[16];
    SetLastError(0);
    EXPECT_EQ(LoadStringA(kModule, 16, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(LoadStringA(kModule, 16, buffer, sizeof buffer), 8);
}

TEST(LibraryScript, CompilesAndIsTheLibraryModuleTable) {
    ASSERT_NO_THROW(winsim::RegisterModuleResources(kModule, kQlResourceHeaders, kQlResourceScript));
    HMODULE library = GetModuleHandleA("QLSETGUI.dll");
    ASSERT_NE(library, nullptr);
    // Every string the library registered for itself is the one compiled here.
    unsigned found = 0;
    for (UINT id = 0; id < 0x10000; ++id) {
        std::string mine, theirs;
        bool a = winsim::LookupString(kModule, id, mine), b = winsim::LookupString(library, id, theirs);
        EXPECT_EQ(a, b) << id;
        EXPECT_EQ(mine, theirs) << id;
        found += a;
    }
    EXPECT_GE(found, 5u);
}

}  // namespace
