#include "JobQueue.h"

#include "Computer.h"
#include "registry/HarnRegistry.h"
#include "settings/Settings.h"

#include <windows.h>

namespace {

const char kQueueDirectory[] = "00000001.QSD";

// The registered home directory without its trailing backslashes; empty
// when none is registered.
CString HomeDirectory() {
    CHarnRegistry registry(1, NULL);  // takes the branded roots the home is kept under
    char home[MAX_PATH] = "";
    DWORD size = sizeof home;
    if (!CHarnRegistry::GetQuillbakHomeDir(home, &size)) return CString();
    home[sizeof home - 1] = '\0';
    CString dir(home);
    TrimTailBackSlash(dir);
    return dir;
}

// The core library of the registered home, loaded so that its own
// dependencies are found beside it; NULL without a home or a library.
HMODULE LoadCoreLibrary() {
    CString home = HomeDirectory();
    if (home.IsEmpty()) return NULL;
    CString path;
    path.Format("%s\\QLCORE.DLL", (LPCSTR)home);
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <class Fn>
Fn CoreExport(HMODULE module, const char *name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name))) : NULL;
}

}  // namespace

CJobQueue::CJobQueue() : m_bExists(QueueExists()) {}

CJobQueue::CJobQueue(const CJobQueue &other) : m_bExists(other.m_bExists) {}

CJobQueue &CJobQueue::operator=(const CJobQueue &other) {
    m_bExists = other.m_bExists;
    return *this;
}

CString CJobQueue::GetPath() {
    CString home = HomeDirectory();
    if (home.IsEmpty()) return CString();  // never the root of the current drive
    CString path;
    path.Format("%s\\%s", (LPCSTR)home, kQueueDirectory);
    return path;
}

int CJobQueue::QueueExists() {
    CString path = GetPath();
    return !path.IsEmpty() && CComputer::DirectoryExists(path);
}

int CJobQueue::CreateQueue(LPCSTR lpszDirectory) {
    if (!lpszDirectory) return FALSE;
    CString path;
    path.Format("%sQLCORE.DLL", lpszDirectory);
    HMODULE core = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    PFN_QSICREATEQUEUE create = CoreExport<PFN_QSICREATEQUEUE>(core, "QSICreateQueue");
    if (!create) {
        if (core) FreeLibrary(core);
        return FALSE;
    }
    DWORD queue = 0;
    DWORD result = create(0, "AQ_HARN", 0, lpszDirectory, &queue);
    FreeLibrary(core);
    // The library answers 0xFFFFFFFF when the queue is there already.
    return result == 0 || result == 0xFFFFFFFF;
}

int CJobQueue::DeleteQueue() {
    CString path = GetPath();
    if (path.IsEmpty()) return FALSE;
    return CComputer::DeleteTree(path);
}

int CJobQueue::GetQueueJobs(LPCSTR lpszQueue, DWORD dwQueue, tagQJOBITEM *pItems, DWORD dwItemsSize,
                            DWORD *pdwCount, tagQUEUEINFO *pInfo) {
    HMODULE core = LoadCoreLibrary();
    PFN_QSIGETQJOBITEMLIST list = CoreExport<PFN_QSIGETQJOBITEMLIST>(core, "QSIGetQJobItemList");
    if (!list) {
        if (core) FreeLibrary(core);
        return FALSE;
    }
    DWORD result = list(lpszQueue, dwQueue, pItems, dwItemsSize, pdwCount, pInfo);
    FreeLibrary(core);
    return result == 0;
}

DWORD CJobQueue::GetQueueJobStatus(DWORD dwValue1, DWORD dwValue2) {
    HMODULE core = LoadCoreLibrary();
    PFN_QSIMAPJOBSTATUS map = CoreExport<PFN_QSIMAPJOBSTATUS>(core, "QSIMapJobStatus");
    if (!map) {
        if (core) FreeLibrary(core);
        return QL_JOB_STATUS_UNAVAILABLE;
    }
    DWORD state = map(dwValue1, dwValue2);
    FreeLibrary(core);
    return state;
}

int CJobQueue::AddQueueJob(LPCSTR lpszQueue, LPCSTR lpszJob, WORD wFlags, LPCSTR lpszRecord, DWORD dwRecordSize,
                           DWORD *pdwJobId) {
    HMODULE core = LoadCoreLibrary();
    PFN_QLADDQUEUEJOB add = CoreExport<PFN_QLADDQUEUEJOB>(core, "QLAddQueueJob");
    if (!add) {
        if (core) FreeLibrary(core);
        return FALSE;
    }
    DWORD result = add(lpszQueue, lpszJob, wFlags, lpszRecord, dwRecordSize, pdwJobId);
    FreeLibrary(core);
    return result == 0;
}

int CJobQueue::DeleteQueueJob(LPCSTR lpszQueue, DWORD dwQueue, DWORD dwJob) {
    HMODULE core = LoadCoreLibrary();
    PFN_QSIDELETEJOB remove = CoreExport<PFN_QSIDELETEJOB>(core, "QSIDeleteJob");
    if (!remove) {
        if (core) FreeLibrary(core);
        return FALSE;
    }
    DWORD result = remove(lpszQueue, dwQueue, dwJob);
    FreeLibrary(core);
    return result == 0;
}

int CJobQueue::GetDefaultQueue(LPSTR lpszQueue, LPSTR lpszSecond, DWORD *pdwQueue) {
    HMODULE core = LoadCoreLibrary();
    PFN_QLGETDEFAULTQUEUE get = CoreExport<PFN_QLGETDEFAULTQUEUE>(core, "QLGetDefaultQueue");
    if (!get) {
        if (core) FreeLibrary(core);
        return FALSE;
    }
    DWORD result = get(lpszQueue, lpszSecond, pdwQueue);
    FreeLibrary(core);
    return result == 0;
}
