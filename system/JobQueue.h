// The product's job queue, reached through the core library "QLCORE.DLL" in
// the product's home directory. The library is loaded for one call only.
#ifndef QL_JOBQUEUE_H
#define QL_JOBQUEUE_H

#include "QlApi.h"
#include "QueueRecords.h"
#include "afxstr.h"

// The state query's answer when the core library cannot be used.
#define QL_JOB_STATUS_UNAVAILABLE 2

class QL_API CJobQueue {
public:
    // Records whether the queue directory is there now.
    CJobQueue();
    CJobQueue(const CJobQueue &other);
    CJobQueue &operator=(const CJobQueue &other);

    int Exists() const { return m_bExists; }

    // TRUE when the queue directory can be enumerated.
    static int QueueExists();
    // "<home>\00000001.QSD"; empty when no home directory is registered.
    static CString GetPath();
    // lpszDirectory holds the core library and ends in a backslash. TRUE when
    // the queue was created or was there already.
    static int CreateQueue(LPCSTR lpszDirectory);
    static int DeleteQueue();
    static int GetQueueJobs(LPCSTR lpszQueue, DWORD dwQueue, tagQJOBITEM *pItems, DWORD dwItemsSize,
                            DWORD *pdwCount, tagQUEUEINFO *pInfo);
    static DWORD GetQueueJobStatus(DWORD dwValue1, DWORD dwValue2);
    static int AddQueueJob(LPCSTR lpszQueue, LPCSTR lpszJob, WORD wFlags, LPCSTR lpszRecord, DWORD dwRecordSize,
                           DWORD *pdwJobId);
    static int DeleteQueueJob(LPCSTR lpszQueue, DWORD dwQueue, DWORD dwJob);
    static int GetDefaultQueue(LPSTR lpszQueue, LPSTR lpszSecond, DWORD *pdwQueue);

private:
    int m_bExists;
};

#endif
