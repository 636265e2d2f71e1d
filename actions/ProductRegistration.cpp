// Registration of the installed product: its record for the discovery
// service, its event source, and the backup job queue with its maintenance job.
#include "Auxiliary.h"
#include "Frame.h"
#include "Checks.h"

#include "registry/HarnRegistry.h"
#include "resource.h"
#include "system/JobQueue.h"

#include <cstdlib>
#include <cstring>

extern "C" UINT WINAPI InstallDiscoveryService(MSIHANDLE hInstall) {
    tagProductStruct record;
    memset(&record, 0, sizeof record);
    record.dwProductCode = 24;
    record.dwComponents = g_Settings.InstallServer() ? 15 : 5;
    record.dwVersion = GetQuillbakVersion(hInstall);
    int subType = g_Settings.ProductSubType();
    // A repair keeps the edition the installation was made with.
    if (MsiGetMode(hInstall, MSIRUNMODE_MAINTENANCE)) subType = atoi(GetProperty(hInstall, "PRODSUBTYPE", 20));
    record.bySubType = (BYTE)subType;
    record.dwUserLevel = 5;
    memcpy(record.szSerial, "00000001", 9);
    record.dwCrc = CHarnRegistry::ProductRecordCrc(&record);

    LogLine(hInstall, "InstallDiscoveryService() - ProdSubType = %ld", (long)subType);
    if (!CHarnRegistry::RegisterProduct("Quillbak", &record)) {
        CString text;
        text.Format("CHarnRegistry::RegisterProduct() Failed (%s)", g_Settings.Product());
        LogLine(hInstall, " - %s", text);
    }
    return QL_SUCCESS;
}

DWORD RegisterEventSource() {
    HKEY key;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuillbakIT",
                              0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key, &disposition);
    if (rc != ERROR_SUCCESS) return (DWORD)rc;
    CString file = CString(g_Settings.QuillbakPath()) + "QLLOG.DLL";
    DWORD types = 7, categories = 100;
    rc = RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ, (const BYTE *)(LPCSTR)file, file.GetLength() + 1);
    if (rc == ERROR_SUCCESS) rc = RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, (const BYTE *)&types, sizeof types);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExA(key, "CategoryMessageFile", 0, REG_EXPAND_SZ, (const BYTE *)(LPCSTR)file,
                            file.GetLength() + 1);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExA(key, "CategoryCount", 0, REG_DWORD, (const BYTE *)&categories, sizeof categories);
    RegCloseKey(key);
    return (DWORD)rc;
}

namespace {

// The maintenance job as the core library keeps a job (292 bytes; only the
// fields below are set).
const DWORD kJobRecordSize = 292;
const DWORD kMaintenanceJobType = 18;
const DWORD kJobStateKept = 2;
// Room for the jobs of one queue, as the core library lists them.
const DWORD kJobItemsSize = 45496;

const unsigned long long kTicksPerSecond = 10000000ULL;
const unsigned long long kTicks1970 = 116444736000000000ULL;  // 1970-01-01 as a FILETIME

DWORD SecondsSince1970(const FILETIME &ft) {
    unsigned long long ticks = ((unsigned long long)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
    return ticks < kTicks1970 ? 0 : (DWORD)((ticks - kTicks1970) / kTicksPerSecond);
}

// The current time as time() gives it, and the start of tomorrow in local
// time as mktime() gives it for today's date with the day advanced by one.
// FALSE when either cannot be had.
BOOL JobTimes(DWORD &now, DWORD &tomorrow) {
    SYSTEMTIME st;
    FILETIME ft;
    now = tomorrow = 0;
    GetSystemTime(&st);
    if (!SystemTimeToFileTime(&st, &ft)) return FALSE;
    now = SecondsSince1970(ft);
    GetLocalTime(&st);
    st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
    st.wDayOfWeek = 0;
    FILETIME local, utc;
    if (!SystemTimeToFileTime(&st, &local)) return FALSE;
    unsigned long long ticks = ((unsigned long long)local.dwHighDateTime << 32) | local.dwLowDateTime;
    ticks += 86400ULL * kTicksPerSecond;
    local.dwLowDateTime = (DWORD)ticks;
    local.dwHighDateTime = (DWORD)(ticks >> 32);
    if (!LocalFileTimeToFileTime(&local, &utc)) return FALSE;
    tomorrow = SecondsSince1970(utc);
    return TRUE;
}

void Put16(BYTE *record, size_t offset, WORD value) { memcpy(record + offset, &value, sizeof value); }
void Put32(BYTE *record, size_t offset, DWORD value) { memcpy(record + offset, &value, sizeof value); }

}  // namespace

extern "C" UINT WINAPI CreateJobQueue(MSIHANDLE hInstall) {
    if (g_Settings.InstallServer()) {
        CString directory(g_Settings.QuillbakPath());
        if (!CJobQueue::CreateQueue(directory)) {
            CString text = LoadMessage(IDS_CREATE_QUEUE_FAILED);
            ShowInstallerError(hInstall, text);
            LogLine(hInstall, "%s", text);
            return QL_FAILURE;
        }
        // A new or replaced database starts with the product's tuning values.
        if (!g_Settings.QuillbakExists() || lstrcmpiA(g_Settings.CurrentQuillbakPath(), g_Settings.QuillbakPath()) != 0 ||
            !g_Settings.DBExists() || g_Settings.OverwriteDB()) {
            CHarnRegistry::SetBackupDaemonBufferSize(1024);
            CHarnRegistry::SetDatabasePruning(1);
            CHarnRegistry::SetPruningDays(30);
            CHarnRegistry::SetPruningTime(0);
            CHarnRegistry::SetDelayPruning(0);
        }
    }

    char queue[MAX_PATH + 1];
    memset(queue, 0, sizeof queue);
    DWORD queueNumber = 0;
    if (!CJobQueue::GetDefaultQueue(queue, NULL, &queueNumber)) return QL_SUCCESS;
    queue[MAX_PATH] = '\0';

    tagQJOBITEM *items = (tagQJOBITEM *)calloc(1, kJobItemsSize);
    if (!items) return QL_SUCCESS;
    DWORD count = 0;
    tagQUEUEINFO info;
    memset(&info, 0, sizeof info);
    if (!CJobQueue::GetQueueJobs(queue, queueNumber, items, kJobItemsSize, &count, &info)) {
        free(items);
        return QL_SUCCESS;
    }
    // A job dated 1970 would run at once: without its times the queue is
    // left as it is, its maintenance job included.
    DWORD now = 0, tomorrow = 0;
    if (!JobTimes(now, tomorrow)) {
        free(items);
        return QL_SUCCESS;
    }
    // The queue holds at most one maintenance job: one that is kept stays,
    // any other is replaced.
    const DWORD room = kJobItemsSize / sizeof(tagQJOBITEM);
    for (DWORD i = 0; i < count && i < room; ++i) {
        if (items[i].dwJobType != kMaintenanceJobType) continue;
        if (CJobQueue::GetQueueJobStatus(items[i].dwStateValue2, items[i].dwStateValue1) == kJobStateKept) {
            free(items);
            return QL_SUCCESS;
        }
        CJobQueue::DeleteQueueJob(queue, queueNumber, items[i].dwJobNumber);
        break;
    }
    free(items);

    BYTE job[kJobRecordSize];
    memset(job, 0, sizeof job);
    Put16(job, 4, (WORD)kMaintenanceJobType);
    Put16(job, 8, 0);
    Put32(job, 56, now);
    Put32(job, 60, tomorrow);
    Put16(job, 64, 2);
    Put16(job, 66, 1);
    Put16(job, 88, 1);
    DWORD jobNumber = 0;
    CJobQueue::AddQueueJob(queue, NULL, 0, (LPCSTR)job, sizeof job, &jobNumber);
    return QL_SUCCESS;
}
