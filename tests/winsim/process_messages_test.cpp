// The thread message queue, and waiting for a program while dispatching the
// messages that arrive meanwhile.
#include "process_fixture.h"
#include "support/wine.h"

namespace proctest {
namespace {

const UINT kPing = WM_USER + 1;
const UINT kPong = WM_USER + 2;
const UINT kApp = WM_APP + 7;

// Empties the calling thread's queue (nothing should be queued between tests,
// but a real thread may have picked up something).
void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

class ProcessMessages : public ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        Drain();
    }
    void TearDown() override {
        Drain();
        ProcessTest::TearDown();
    }
};

TEST_F(ProcessMessages, PostedMessagesComeBackInOrder) {
    // A message carries the time it was posted: on the simulated clock the
    // very tick, on a real one a tick between these two readings.
    DWORD before = GetTickCount();
    ASSERT_TRUE(PostMessageA(nullptr, kPing, 1, 10));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), kPong, 2, 20));
    ASSERT_TRUE(PostMessageA(nullptr, kPing, 3, 30));
    DWORD now = GetTickCount();

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, kPing);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));  // still there
    EXPECT_EQ(msg.wParam, 1u);

    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } expected[] = {{kPing, 1, 10}, {kPong, 2, 20}, {kPing, 3, 30}};
    for (auto &e : expected) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.hwnd, nullptr);
        EXPECT_EQ(msg.message, e.message);
        EXPECT_EQ(msg.wParam, e.wParam);
        EXPECT_EQ(msg.lParam, e.lParam);
        EXPECT_GE(msg.time, before);
        EXPECT_LE(msg.time, now);
    }
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(ProcessMessages, FilterRangesPickMessages) {
    SKIP_ON_WINE("PeekMessageA with a reversed filter range finds nothing, where Windows takes the messages outside it");
    struct Case {
        const char *what;
        UINT first, last;
        UINT expected;  // 0: nothing
    } cases[] = {
        {"everything", 0, 0, WM_TIMER},
        {"one message", kPong, kPong, kPong},
        {"a range", WM_USER, WM_USER + 100, kPing},
        {"a range above all", WM_APP + 8, 0xFFFF, 0},
        {"a reversed range selects the outside", WM_USER + 100, WM_TIMER, WM_TIMER},
        {"a reversed range skipping the low end", WM_USER + 2, WM_KEYDOWN, kPong},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Drain();
        PostMessageA(nullptr, WM_TIMER, 0, 0);
        PostMessageA(nullptr, kPing, 0, 0);
        PostMessageA(nullptr, kPong, 0, 0);
        PostMessageA(nullptr, kApp, 0, 0);
        MSG msg{};
        BOOL got = PeekMessageA(&msg, nullptr, c.first, c.last, PM_REMOVE);
        EXPECT_EQ(got != FALSE, c.expected != 0);
        if (got) {
            EXPECT_EQ(msg.message, c.expected);
        }
    }
}

TEST_F(ProcessMessages, QuitComesAfterPostedMessagesAndThroughAnyFilter) {
    PostQuitMessage(5);
    PostMessageA(nullptr, kPing, 0, 0);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, kPing);
    // Filtered on something else entirely: WM_QUIT still comes.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, kApp, kApp, PM_NOREMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(GetMessageA(&msg, nullptr, kApp, kApp), 0);
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(ProcessMessages, PostingNeedsAThreadWithAQueue) {
    SKIP_ON_WINE("PostThreadMessageA to an unknown thread fails with ERROR_INVALID_PARAMETER, not ERROR_INVALID_THREAD_ID");
    PROCESS_INFORMATION pi{};
    MakeProgram(base_ + "\\console.exe", 0, 100);
    ASSERT_TRUE(Start(base_ + "\\console.exe", pi));
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageA(0x7FFFFFFC, kPing, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_THREAD_ID);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    CloseProcess(pi);
    // A thread that ended takes no more messages.
    EXPECT_FALSE(PostThreadMessageA(pi.dwThreadId, kPing, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_THREAD_ID);
}

TEST_F(ProcessMessages, TranslateLeavesOtherMessagesAlone) {
    MSG msg{};
    msg.message = kPing;
    EXPECT_FALSE(TranslateMessage(&msg));
    msg.message = WM_TIMER;
    EXPECT_FALSE(TranslateMessage(&msg));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));  // nothing generated
    EXPECT_EQ(DispatchMessageA(&msg), 0);
}

TEST_F(ProcessMessages, MsgWaitReturnsForNewInputOnly) {
    SKIP_ON_WINE("MsgWaitForMultipleObjects returns for messages already queued, not only for new input");
    const HANDLE none[1] = {nullptr};
    DWORD t0 = GetTickCount();
    EXPECT_EQ(MsgWaitForMultipleObjects(0, none, FALSE, 100, QS_ALLINPUT), (DWORD)WAIT_TIMEOUT);
    EXPECT_ELAPSED(t0, 100u);
    PostMessageA(nullptr, kPing, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, none, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0);
    EXPECT_ELAPSED(t0, 100u);
    // The wait has seen the message: though still queued, it is not new.
    EXPECT_EQ(MsgWaitForMultipleObjects(0, none, FALSE, 100, QS_ALLINPUT), (DWORD)WAIT_TIMEOUT);
    EXPECT_ELAPSED(t0, 200u);
    // Nor is a message the thread has peeked at and left there.
    PostMessageA(nullptr, kPong, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(MsgWaitForMultipleObjects(0, none, FALSE, 100, QS_ALLINPUT), (DWORD)WAIT_TIMEOUT);
    EXPECT_ELAPSED(t0, 300u);
    // Unless the caller asks for queued input too.
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, none, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE), WAIT_OBJECT_0);
    EXPECT_ELAPSED(t0, 300u);
    // Queued, and nothing new since the last look.
    EXPECT_EQ(GetQueueStatus(QS_POSTMESSAGE), (DWORD)(QS_POSTMESSAGE << 16));
}

// The loop the product uses to wait for a program it started: wait for the
// process or input; on input, dispatch everything queued; once the process
// has ended, read its exit code.
struct LoopResult {
    DWORD exitCode = 0;
    DWORD wakes = 0;  // returns of the wait because of input
    std::vector<UINT> dispatched;
    std::vector<DWORD> times;  // message times, relative to the start
};

LoopResult WaitDispatching(HANDLE process, DWORD start) {
    LoopResult r;
    for (;;) {
        DWORD w = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
        if (w == WAIT_OBJECT_0) break;
        EXPECT_EQ(w, WAIT_OBJECT_0 + 1);
        if (w != WAIT_OBJECT_0 + 1) break;
        ++r.wakes;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            r.dispatched.push_back(msg.message);
            r.times.push_back(msg.time - start);
        }
    }
    EXPECT_TRUE(GetExitCodeProcess(process, &r.exitCode));
    return r;
}

TEST_F(ProcessMessages, WaitingForAProgramDispatchesWhatArrives) {
    MakeProgram(base_ + "\\chatty.exe", 17, 3000, {{500, kPing}, {500, kPong}, {2000, kApp}});
    PostMessageA(nullptr, WM_TIMER, 0, 0);  // queued before the wait
    DWORD start = GetTickCount();
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(Start(base_ + "\\chatty.exe", pi));
    LoopResult r = WaitDispatching(pi.hProcess, start);
    EXPECT_EQ(r.exitCode, 17u);
    EXPECT_ELAPSED(start, 3000u);
    EXPECT_EQ(r.dispatched, (std::vector<UINT>{WM_TIMER, kPing, kPong, kApp}));
    if (!RunningOnRealClock()) {
        // Wakes and message times are exact on the simulated clock only.
        EXPECT_EQ(r.wakes, 3u);  // at once, at 500 ms, at 2000 ms
        EXPECT_EQ(r.times, (std::vector<DWORD>{0, 500, 500, 2000}));
    }
    EXPECT_EQ(RunLog(), base_ + "\\chatty.exe\r\n");
    CloseProcess(pi);
}

TEST_F(ProcessMessages, MsgWaitStopsAtTheFirstArrival) {
    MakeProgram(base_ + "\\chatty.exe", 0, 3000, {{1200, kPing}});
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(Start(base_ + "\\chatty.exe", pi));
    DWORD t0 = GetTickCount();
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 1000, QS_ALLINPUT), (DWORD)WAIT_TIMEOUT);
    EXPECT_ELAPSED(t0, 1000u);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    EXPECT_ELAPSED(t0, 1200u);
    // A wait without input in its mask sleeps through to the end.
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_KEY), WAIT_OBJECT_0);
    EXPECT_ELAPSED(t0, 3000u);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, kPing);
    CloseProcess(pi);
}

TEST_F(ProcessMessages, BadMessageCallsFail) {
    PROCESS_INFORMATION pi{};
    MakeProgram(base_ + "\\console.exe", 0, 100);
    ASSERT_TRUE(Start(base_ + "\\console.exe", pi));
    CloseProcess(pi);
    const HANDLE bad[1] = {pi.hProcess};
    SetLastError(0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, bad, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS, GetCurrentProcess());
    EXPECT_EQ(MsgWaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many.data(), FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace proctest
