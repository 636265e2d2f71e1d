// The "please wait" window: made from the library's template, its message
// shown, centred on the screen, focused and on top; a click brings it back.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include "afxstr.h"
#include "dialogs/WaitWindow.h"
#include "resource.h"

namespace {

class WaitWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HWND h : winsim::OpenDialogs()) DestroyWindow(h);
    }
    static winsim::DialogView View(HWND h) {
        winsim::DialogView v;
        EXPECT_TRUE(winsim::DescribeDialog(h, v));
        return v;
    }
    static const winsim::DialogControlView *Control(const winsim::DialogView &v, int id) {
        for (const auto &c : v.controls)
            if (c.id == id) return &c;
        return nullptr;
    }
    // The window is 221 x 36 dialog units (332 x 59 pixels) in a 3-pixel
    // frame, centred on the 800 x 600 screen.
    static constexpr LONG kWidth = 338, kHeight = 65;
    static constexpr LONG kLeft = (800 - kWidth) / 2, kTop = (600 - kHeight) / 2;
};

TEST_F(WaitWindowTest, ShowsTheMessageCentredFocusedAndOnTop) {
    HWND other = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "first");
    ASSERT_NE(other, nullptr);
    HWND h = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "Reading Setup information, please wait...");
    ASSERT_NE(h, nullptr);
    winsim::DialogView v = View(h);
    EXPECT_EQ(v.templateId, 138u);
    EXPECT_EQ(v.caption, "");
    EXPECT_TRUE(v.visible);
    EXPECT_FALSE(v.modal);
    EXPECT_NE(v.style & WS_CAPTION, (DWORD)WS_CAPTION);  // no caption
    EXPECT_EQ(v.rect.left, kLeft);
    EXPECT_EQ(v.rect.top, kTop);
    EXPECT_EQ(v.rect.right - v.rect.left, kWidth);
    EXPECT_EQ(v.rect.bottom - v.rect.top, kHeight);
    EXPECT_GE(v.updates, 1u);
    EXPECT_GT(v.z, View(other).z);
    const winsim::DialogControlView *text = Control(v, IDC_WAIT_MESSAGE);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, "Reading Setup information, please wait...");
    EXPECT_TRUE(text->visible);
    EXPECT_TRUE(text->focused);
    EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_WAIT_MESSAGE));
    EXPECT_NE(Control(v, IDC_WAIT_ICON), nullptr);
    // The caller ends it.
    ASSERT_TRUE(DestroyWindow(h));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(winsim::OpenDialogs(), std::vector<HWND>{other});
}

TEST_F(WaitWindowTest, AClickCentresItAgainAndBringsItToTheTop) {
    HWND h = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "Setup is configuring your system, please wait...");
    ASSERT_NE(h, nullptr);
    HWND cover = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "cover");
    ASSERT_NE(cover, nullptr);
    // Moved away, the message hidden, the focus elsewhere, covered by another window.
    SetWindowPos(h, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(GetDlgItem(h, IDC_WAIT_MESSAGE), SW_HIDE);
    EXPECT_GT(View(cover).z, View(h).z);
    unsigned updates = View(h).updates;

    ASSERT_TRUE(winsim::ClickDialog(h));
    winsim::DialogView v = View(h);
    EXPECT_EQ(v.rect.left, kLeft);
    EXPECT_EQ(v.rect.top, kTop);
    EXPECT_GT(v.z, View(cover).z);
    EXPECT_EQ(v.updates, updates + 1);
    EXPECT_TRUE(Control(v, IDC_WAIT_MESSAGE)->visible);
    EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_WAIT_MESSAGE));
}

TEST_F(WaitWindowTest, ItsPositionIsTakenFromAParentWindowsCorner) {
    HWND parent = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "parent");
    ASSERT_NE(parent, nullptr);
    SetWindowPos(parent, nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HWND h = ShowWaitWindow(AfxGetResourceHandle(), parent, "child");
    ASSERT_NE(h, nullptr);
    winsim::DialogView v = View(h);
    EXPECT_EQ(v.rect.left, kLeft - 100);
    EXPECT_EQ(v.rect.top, kTop - 50);
}

TEST_F(WaitWindowTest, OtherMessagesAreLeftToTheDefaultHandling) {
    HWND h = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "x");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitWindowProc(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0), FALSE);
    EXPECT_EQ(WaitWindowProc(h, WM_LBUTTONUP, 0, 0), FALSE);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_TRUE(View(h).visible);
}

TEST_F(WaitWindowTest, ANullTextShowsAnEmptyMessage) {
    HWND h = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Control(View(h), IDC_WAIT_MESSAGE)->text, "");
}

TEST_F(WaitWindowTest, NoWindowWhenItCannotBeMade) {
    winsim::InjectFault("CreateDialogParamA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "x"), nullptr);
    EXPECT_TRUE(winsim::OpenDialogs().empty());
    // Without the library's resources there is no template.
    EXPECT_EQ(ShowWaitWindow(nullptr, GetDesktopWindow(), "x"), nullptr);
    EXPECT_TRUE(winsim::OpenDialogs().empty());
}

TEST_F(WaitWindowTest, TheTemplateIsAPopupWithTheIconAndTheMessage) {
    winsim::DialogTemplate t;
    ASSERT_TRUE(winsim::LookupDialog((HMODULE)AfxGetResourceHandle(), IDD_WAIT, t));
    EXPECT_EQ(t.cx, 221);
    EXPECT_EQ(t.cy, 36);
    EXPECT_EQ(t.caption, "");
    EXPECT_EQ(t.fontName, "MS Sans Serif");
    EXPECT_EQ(t.fontSize, 8);
    ASSERT_EQ(t.controls.size(), 2u);
    EXPECT_EQ(t.controls[0].kind, "ICON");
    EXPECT_EQ(t.controls[0].text, "160");
    EXPECT_EQ(t.controls[1].id, IDC_WAIT_MESSAGE);
    EXPECT_EQ(t.controls[1].cls, "Static");
}

}  // namespace
