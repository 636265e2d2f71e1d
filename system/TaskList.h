// The list of running processes from the Windows NT performance data, and
// the means to end one: the uninstall check and the pre-install stage end
// the product's background programs with them.
#ifndef QL_TASKLIST_H
#define QL_TASKLIST_H

#include <windows.h>

#include <stddef.h>

// Largest number of processes the stages list at once (an array of one more).
#define QL_MAX_TASKS 256
// The id the list gives the idle process (and the summary instance), which
// is never a target.
#define QL_IDLE_TASK_ID 0xFFFFFFFE

typedef struct tagTASK_LIST {
    DWORD dwProcessId;
    DWORD dwInheritedFromProcessId;  // not filled in by the list
    int flags;                       // 0 from the list; callers mark records to end
    HWND hwnd;                       // main window, set by callers (0 from the list)
    char ProcessName[MAX_PATH];      // instance name followed by ".exe"
    char WindowTitle[64];            // not filled in by the list
} TASK_LIST, *PTASK_LIST;

#if defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 4
static_assert(sizeof(TASK_LIST) == 340, "task record is 340 bytes");
static_assert(offsetof(TASK_LIST, hwnd) == 12, "window at 12");
static_assert(offsetof(TASK_LIST, ProcessName) == 16, "process name at 16");
static_assert(offsetof(TASK_LIST, WindowTitle) == 276, "window title at 276");
#endif

// Fills at most dwCapacity - 1 records; the number filled, 0 on any failure
// (missing or malformed performance data).
DWORD GetTaskList(PTASK_LIST pTasks, DWORD dwCapacity);
// Enables SeDebugPrivilege for this process, so that services' processes
// can be opened; prints why it could not.
int EnableDebugPrivilege();
// Without force a record with a window is asked to close; otherwise the
// process is terminated with exit code 1.
int KillProcess(PTASK_LIST pTask, BOOL bForce);

#endif
