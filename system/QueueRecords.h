// Records of the product's job queue, owned by the core library "QLCORE.DLL":
// setup passes them through and reads only the fields named here.
#ifndef QL_QUEUERECORDS_H
#define QL_QUEUERECORDS_H

#include <windows.h>

#include <stddef.h>

#pragma pack(push, 4)
// One job of a queue, as the core library lists them (44 bytes).
typedef struct tagQJOBITEM {
    DWORD dwJobNumber;      // 0
    DWORD dwJobType;        // 4
    DWORD dwReserved[3];    // 8
    DWORD dwStateValue1;    // 20: second value of the state query
    DWORD dwStateValue2;    // 24: first value of the state query
    BYTE abReserved[16];    // 28
} QJOBITEM;

// What the core library says of a queue besides its jobs (404 bytes).
typedef struct tagQUEUEINFO {
    DWORD dwQueueNumber;    // 0
    DWORD dwJobCount;       // 4
    char szQueueName[260];  // 8
    BYTE abReserved[136];   // 268
} QUEUEINFO;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(tagQJOBITEM) == 44, "job item is 44 bytes");
static_assert(offsetof(tagQJOBITEM, dwJobNumber) == 0, "job number at 0");
static_assert(offsetof(tagQJOBITEM, dwJobType) == 4, "job type at 4");
static_assert(offsetof(tagQJOBITEM, dwStateValue1) == 20, "state value at 20");
static_assert(offsetof(tagQJOBITEM, dwStateValue2) == 24, "state value at 24");
static_assert(sizeof(tagQUEUEINFO) == 404, "queue information is 404 bytes");
static_assert(offsetof(tagQUEUEINFO, szQueueName) == 8, "queue name at 8");
#endif

// Exports of the core library; caller-cleans calls, 0 is success.
typedef DWORD(__cdecl *PFN_QSICREATEQUEUE)(DWORD, LPCSTR, DWORD, LPCSTR, DWORD *);
typedef DWORD(__cdecl *PFN_QSIGETQJOBITEMLIST)(LPCSTR, DWORD, tagQJOBITEM *, DWORD, DWORD *, tagQUEUEINFO *);
typedef DWORD(__cdecl *PFN_QSIMAPJOBSTATUS)(DWORD, DWORD);
typedef DWORD(__cdecl *PFN_QLADDQUEUEJOB)(LPCSTR, LPCSTR, WORD, LPCSTR, DWORD, DWORD *);
typedef DWORD(__cdecl *PFN_QSIDELETEJOB)(LPCSTR, DWORD, DWORD);
typedef DWORD(__cdecl *PFN_QLGETDEFAULTQUEUE)(LPSTR, LPSTR, DWORD *);

#endif
