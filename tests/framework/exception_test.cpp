// Run-time class information, the exception classes and string resources:
// ReportError goes through MessageBoxA and CString::LoadString through
// LoadStringA of the module AfxGetResourceHandle() names.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

namespace {

// A product-style class declared with the macros outside the framework.
class CSetupException : public CException {
    DECLARE_DYNAMIC(CSetupException)
public:
    explicit CSetupException(const char *text) : m_text(text) {}
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) override {
        if (pnHelpContext != NULL) *pnHelpContext = 7;
        if (lpszError == NULL || nMaxError == 0) return FALSE;
        lstrcpynA(lpszError, m_text.c_str(), (int)nMaxError);
        return TRUE;
    }

private:
    std::string m_text;
};

IMPLEMENT_DYNAMIC(CSetupException, CException)

// A message that fills the caller's buffer to its last byte, terminator
// included, to show that ReportError never reads past it.
class CFloodException : public CException {
public:
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT) override {
        std::memset(lpszError, 'F', nMaxError);
        return TRUE;
    }
};

const UINT IDS_FW_SHORT = 61001;
const UINT IDS_FW_LONG = 61002;
const UINT IDS_FW_EXACT = 61003;  // exactly as long as LoadString's first buffer
const UINT IDS_FW_MISSING = 61099;

// String resources of a module of the test's own, made the resource module.
class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = AfxGetResourceHandle();
        m_longText = std::string(1500, 'L') + " end";
        m_exactText = std::string(255, 'E');
        HMODULE module = winsim::RegisterBuiltinModule("FWSTRINGS.DLL");
        winsim::RegisterModuleResources(module, "STRINGTABLE\nBEGIN\n"
                                                "    61001 \"Setup cannot continue.\"\n"
                                                "    61002 \"" + m_longText + "\"\n"
                                                "    61003 \"" + m_exactText + "\"\n"
                                                "END\n");
        AfxSetResourceHandle(module);
    }
    void TearDown() override { AfxSetResourceHandle(m_saved); }

    HINSTANCE m_saved = NULL;
    std::string m_longText;
    std::string m_exactText;
};

// ---- run-time classes --------------------------------------------------------------

TEST(RuntimeClass, ChainOfTheFrameworkClasses) {
    const CRuntimeClass *mem = RUNTIME_CLASS(CMemoryException);
    EXPECT_STREQ(mem->m_lpszClassName, "CMemoryException");
    EXPECT_EQ(mem->m_nObjectSize, (int)sizeof(CMemoryException));
    EXPECT_EQ(mem->m_pBaseClass, RUNTIME_CLASS(CException));
    EXPECT_STREQ(RUNTIME_CLASS(CException)->m_lpszClassName, "CException");
    EXPECT_EQ(RUNTIME_CLASS(CException)->m_pBaseClass, RUNTIME_CLASS(CObject));
    EXPECT_STREQ(RUNTIME_CLASS(CObject)->m_lpszClassName, "CObject");
    EXPECT_EQ(RUNTIME_CLASS(CObject)->m_pBaseClass, nullptr);
    EXPECT_STREQ(RUNTIME_CLASS(CSetupException)->m_lpszClassName, "CSetupException");
    EXPECT_EQ(RUNTIME_CLASS(CSetupException)->m_nObjectSize, (int)sizeof(CSetupException));
}

TEST(RuntimeClass, IsKindOfFollowsTheBaseClasses) {
    CMemoryException mem;
    CException plain;
    CSetupException setup("x");
    CStringArray array;
    CFloodException undeclared;  // no DECLARE_DYNAMIC: reports its base's class
    struct Case {
        const CObject *object;
        const CRuntimeClass *cls;
        BOOL expected;
    };
    const Case cases[] = {
        {&mem, RUNTIME_CLASS(CMemoryException), TRUE}, {&mem, RUNTIME_CLASS(CException), TRUE},
        {&mem, RUNTIME_CLASS(CObject), TRUE},          {&mem, RUNTIME_CLASS(CSetupException), FALSE},
        {&mem, NULL, FALSE},                           {&plain, RUNTIME_CLASS(CMemoryException), FALSE},
        {&plain, RUNTIME_CLASS(CException), TRUE},     {&setup, RUNTIME_CLASS(CException), TRUE},
        {&setup, RUNTIME_CLASS(CMemoryException), FALSE}, {&array, RUNTIME_CLASS(CException), FALSE},
        {&array, RUNTIME_CLASS(CStringArray), TRUE},   {&undeclared, RUNTIME_CLASS(CException), TRUE},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cases[i].object->IsKindOf(cases[i].cls), cases[i].expected);
    }
    const CException *base = &mem;
    EXPECT_EQ(base->GetRuntimeClass(), RUNTIME_CLASS(CMemoryException));
    EXPECT_EQ(undeclared.GetRuntimeClass(), RUNTIME_CLASS(CException));
    EXPECT_FALSE(RUNTIME_CLASS(CObject)->IsDerivedFrom(RUNTIME_CLASS(CException)));
}

// ---- exception objects ---------------------------------------------------------------

TEST(Exceptions, BaseClassHasNoMessage) {
    CException e;
    char buffer[16] = "garbage";
    UINT help = 99;
    EXPECT_FALSE(e.GetErrorMessage(buffer, sizeof buffer, &help));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(help, 0u);
    EXPECT_FALSE(e.GetErrorMessage(NULL, 16));
    buffer[0] = 'x';
    EXPECT_FALSE(e.GetErrorMessage(buffer, 0));
    EXPECT_EQ(buffer[0], 'x');
}

TEST(Exceptions, MemoryExceptionMessageFitsTheBuffer) {
    CMemoryException e;
    char buffer[64];
    EXPECT_TRUE(e.GetErrorMessage(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "Out of memory.");
    char small[4] = "xyz";
    EXPECT_TRUE(e.GetErrorMessage(small, sizeof small));
    EXPECT_STREQ(small, "Out");
    EXPECT_FALSE(e.GetErrorMessage(small, 0));
    EXPECT_FALSE(e.GetErrorMessage(NULL, 10));
}

TEST(Exceptions, AfxThrowMemoryExceptionThrowsAHeapObject) {
    CException *caught = NULL;
    try {
        AfxThrowMemoryException();
    } catch (CException *e) {
        caught = e;
    }
    ASSERT_NE(caught, nullptr);
    EXPECT_TRUE(caught->IsKindOf(RUNTIME_CLASS(CMemoryException)));
    caught->Delete();  // the leak checker of a sanitizer build sees it freed
}

TEST(Exceptions, DeleteLeavesAnObjectThatIsNotAutoDeleted) {
    CMemoryException onStack(FALSE);
    onStack.Delete();
    char buffer[32];
    EXPECT_TRUE(onStack.GetErrorMessage(buffer, sizeof buffer));  // still alive
    EXPECT_STREQ(buffer, "Out of memory.");
}

// ---- ReportError ------------------------------------------------------------------------

TEST_F(ResourceTest, ReportErrorShowsTheExceptionsMessage) {
    CMemoryException *e = new CMemoryException;
    EXPECT_EQ(e->ReportError(), IDOK);
    e->Delete();
    const auto &boxes = winsim::LocalMachine().messageBoxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, (HWND)NULL);
    EXPECT_EQ(boxes[0].caption, "QLSETGUI");
    EXPECT_EQ(boxes[0].text, "Out of memory.");
    EXPECT_EQ(boxes[0].style, (UINT)MB_OK);
    EXPECT_EQ(boxes[0].answer, IDOK);
}

TEST_F(ResourceTest, ReportErrorPassesTheStyleAndReturnsTheAnswer) {
    winsim::LocalMachine().scriptedAnswers.push_back(IDNO);
    CSetupException e("Retry the copy?");
    EXPECT_EQ(e.ReportError(MB_YESNO | MB_ICONQUESTION, IDS_FW_SHORT), IDNO);
    const auto &boxes = winsim::LocalMachine().messageBoxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Retry the copy?");  // its own message wins over the resource
    EXPECT_EQ(boxes[0].style, (UINT)(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(boxes[0].answer, IDNO);
}

TEST_F(ResourceTest, ReportErrorFallsBackToTheResourceThenTheFixedText) {
    struct Case {
        const char *ownMessage;  // NULL: the base class, which has none
        UINT messageId;
        std::string shown;
    };
    const Case cases[] = {
        {NULL, IDS_FW_SHORT, "Setup cannot continue."},
        {"", IDS_FW_SHORT, "Setup cannot continue."},  // an empty message counts as none
        {NULL, IDS_FW_LONG, m_longText},
        {NULL, IDS_FW_MISSING, "No error message is available."},
        {NULL, 0, "No error message is available."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shown);
        winsim::LocalMachine().messageBoxes.clear();
        CException *e = c.ownMessage ? new CSetupException(c.ownMessage) : new CException;
        EXPECT_EQ(e->ReportError(MB_ICONSTOP, c.messageId), IDOK);
        e->Delete();
        const auto &boxes = winsim::LocalMachine().messageBoxes;
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.shown);
        EXPECT_EQ(boxes[0].caption, "QLSETGUI");
        EXPECT_EQ(boxes[0].style, (UINT)MB_ICONSTOP);
    }
}

TEST_F(ResourceTest, ReportErrorCutsAnUnterminatedMessageAtItsBuffer) {
    CFloodException e;
    e.ReportError();
    const auto &boxes = winsim::LocalMachine().messageBoxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, std::string(511, 'F'));
}

// ---- LoadString ----------------------------------------------------------------------------

TEST_F(ResourceTest, LoadStringReadsTheResourceModule) {
    CString s("old");
    EXPECT_TRUE(s.LoadString(IDS_FW_SHORT));
    EXPECT_STREQ((LPCTSTR)s, "Setup cannot continue.");
    EXPECT_STREQ((LPCTSTR)CString(MAKEINTRESOURCE(IDS_FW_SHORT)), "Setup cannot continue.");
}

TEST_F(ResourceTest, LoadStringGrowsItsBufferForLongStrings) {
    CString s;
    EXPECT_TRUE(s.LoadString(IDS_FW_LONG));
    EXPECT_EQ(s.GetLength(), (int)m_longText.size());
    EXPECT_EQ(std::string((LPCTSTR)s), m_longText);
    EXPECT_TRUE(s.LoadString(IDS_FW_EXACT));
    EXPECT_EQ(std::string((LPCTSTR)s), m_exactText);
}

TEST_F(ResourceTest, LoadStringOfAMissingIdReturnsFalseAndEmpties) {
    CString s("old");
    EXPECT_FALSE(s.LoadString(IDS_FW_MISSING));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ((LPCTSTR)CString(MAKEINTRESOURCE(IDS_FW_MISSING)), "");
}

TEST_F(ResourceTest, LoadStringFailureIsAMissingString) {
    winsim::InjectFault("LoadStringA", ERROR_RESOURCE_NAME_NOT_FOUND);
    CString s("old");
    EXPECT_FALSE(s.LoadString(IDS_FW_SHORT));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.LoadString(IDS_FW_SHORT));  // the fault was for one call
}

TEST_F(ResourceTest, LoadStringUsesTheModuleSetAsResourceHandle) {
    AfxSetResourceHandle(m_saved == NULL ? (HINSTANCE)GetModuleHandleA(NULL) : m_saved);
    CString s;
    EXPECT_FALSE(s.LoadString(IDS_FW_SHORT));  // another module has no such string
    EXPECT_EQ(winsim::CallCount("LoadStringA"), 1u);
}

}  // namespace
