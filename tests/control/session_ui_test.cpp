// The simulated user at the machine: message boxes are recorded and
// answered by script or by the default button; the ANSI code page can be
// switched to a double-byte one for DBCS-aware code.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>

namespace {

TEST(MessageBoxes, DefaultButtonOfEachStyle) {
    const struct {
        UINT style;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL, IDYES},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_RETRYCANCEL, IDRETRY},
        {MB_RETRYCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE, IDABORT},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE},
        {MB_YESNO | MB_DEFBUTTON3, IDYES},  // no third button: the first one
        {MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL, IDOK},
    };
    for (const auto &c : cases) EXPECT_EQ(MessageBoxA(nullptr, "text", "Setup", c.style), c.answer) << c.style;
    EXPECT_EQ(winsim::LocalMachine().messageBoxes.size(), sizeof cases / sizeof cases[0]);
}

TEST(MessageBoxes, EveryBoxIsRecorded) {
    HWND owner = GetDesktopWindow();
    EXPECT_EQ(MessageBoxA(owner, "Quillbak is running.", "Quillbak Setup", MB_OKCANCEL | MB_ICONWARNING), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
    const auto &boxes = winsim::LocalMachine().messageBoxes;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].caption, "Quillbak Setup");
    EXPECT_EQ(boxes[0].text, "Quillbak is running.");
    EXPECT_EQ(boxes[0].style, (UINT)(MB_OKCANCEL | MB_ICONWARNING));
    EXPECT_EQ(boxes[0].answer, IDOK);
    // Without a caption Windows titles the box "Error".
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].text, "");
    EXPECT_EQ(boxes[1].owner, nullptr);
}

TEST(MessageBoxes, ScriptedAnswersAreUsedInOrder) {
    winsim::LocalMachine().scriptedAnswers = {IDNO, IDCANCEL};
    EXPECT_EQ(MessageBoxA(nullptr, "first", "t", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "second", "t", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "third", "t", MB_YESNO), IDYES);
    EXPECT_TRUE(winsim::LocalMachine().scriptedAnswers.empty());
    const auto &boxes = winsim::LocalMachine().messageBoxes;
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].answer, IDNO);
    EXPECT_EQ(boxes[1].answer, IDCANCEL);
    EXPECT_EQ(boxes[2].answer, IDYES);
}

TEST(MessageBoxes, InvalidStyleShowsNothingAndKeepsTheScript) {
    winsim::LocalMachine().scriptedAnswers = {IDNO};
    SetLastError(0);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 7), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_MSGBOX_STYLE);
    EXPECT_TRUE(winsim::LocalMachine().messageBoxes.empty());
    EXPECT_EQ(winsim::LocalMachine().scriptedAnswers.size(), 1u);
}

TEST(MessageBoxes, InjectedFailure) {
    winsim::InjectFault("MessageBoxA", ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(0);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(winsim::LocalMachine().messageBoxes.empty());
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), IDOK);
    EXPECT_EQ(winsim::CallCount("MessageBoxA"), 2u);
}

TEST(CodePage, DoubleByteCodePage932) {
    winsim::LocalMachine().codePage = 932;
    const BYTE leads[] = {0x81, 0x9F, 0xE0, 0xFC};
    const BYTE singles[] = {0x00, 0x41, 0x80, 0xA0, 0xDF, 0xFD, 0xFF};
    for (BYTE b : leads) EXPECT_TRUE(IsDBCSLeadByte(b)) << (int)b;
    for (BYTE b : singles) EXPECT_FALSE(IsDBCSLeadByte(b)) << (int)b;

    // "a", a two-byte character whose trail byte is 'a', "b".
    char text[] = "a\x83\x61" "b";
    EXPECT_EQ(CharNextA(text), text + 1);
    EXPECT_EQ(CharNextA(text + 1), text + 3);
    EXPECT_EQ(CharPrevA(text, text + 3), text + 1);
    EXPECT_EQ(CharPrevA(text, text + 4), text + 3);
    EXPECT_EQ(CharUpperA(text), text);
    EXPECT_STREQ(text, "A\x83\x61" "B");  // the trail byte is no letter
    // A lead byte at the end of the string stands alone.
    char cut[] = "\x83";
    EXPECT_EQ(CharNextA(cut), cut + 1);
}

TEST(CodePage, SingleByteByDefault) {
    EXPECT_EQ(winsim::LocalMachine().codePage, 1252u);
    EXPECT_FALSE(IsDBCSLeadByte(0x81));
    char text[] = "\xE9";
    CharUpperA(text);
    EXPECT_EQ((unsigned char)text[0], 0xC9);
    winsim::LocalMachine().codePage = 932;
    char other[] = "\xE9";
    CharUpperA(other);  // not a letter of 932
    EXPECT_EQ((unsigned char)other[0], 0xE9);
}

}  // namespace
