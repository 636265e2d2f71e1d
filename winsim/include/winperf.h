/* Performance data as HKEY_PERFORMANCE_DATA returns it: a data block, its
   object types, their counter definitions and instances. Layouts follow the
   SDK (the title pointers are DWORDs in 64-bit builds, as there). */
#ifndef WINSIM_WINPERF_H
#define WINSIM_WINPERF_H

#include "winsim_types.h"

#if defined(_WIN64) || (defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 8)
#define WINSIM_PERF_TITLE DWORD
#else
#define WINSIM_PERF_TITLE LPWSTR
#endif

#define PERF_DATA_VERSION 1
#define PERF_DATA_REVISION 1
#define PERF_NO_INSTANCES -1
#define PERF_NO_UNIQUE_ID -1

#define PERF_DETAIL_NOVICE 100
#define PERF_DETAIL_ADVANCED 200
#define PERF_DETAIL_EXPERT 300
#define PERF_DETAIL_WIZARD 400

#define PERF_SIZE_DWORD 0x00000000
#define PERF_SIZE_LARGE 0x00000100
#define PERF_TYPE_NUMBER 0x00000000
#define PERF_TYPE_COUNTER 0x00000400
#define PERF_NUMBER_DECIMAL 0x00000000
#define PERF_COUNTER_RAWCOUNT (PERF_SIZE_DWORD | PERF_TYPE_NUMBER | PERF_NUMBER_DECIMAL | 0x00010000)
#define PERF_100NSEC_TIMER 0x20510500
#define PERF_ELAPSED_TIME 0x30240500

typedef struct _PERF_DATA_BLOCK {
    WCHAR Signature[4];
    DWORD LittleEndian;
    DWORD Version;
    DWORD Revision;
    DWORD TotalByteLength;
    DWORD HeaderLength;
    DWORD NumObjectTypes;
    LONG DefaultObject;
    SYSTEMTIME SystemTime;
    LARGE_INTEGER PerfTime;
    LARGE_INTEGER PerfFreq;
    LARGE_INTEGER PerfTime100nSec;
    DWORD SystemNameLength;
    DWORD SystemNameOffset;
} PERF_DATA_BLOCK, *PPERF_DATA_BLOCK;

typedef struct _PERF_OBJECT_TYPE {
    DWORD TotalByteLength;
    DWORD DefinitionLength;
    DWORD HeaderLength;
    DWORD ObjectNameTitleIndex;
    WINSIM_PERF_TITLE ObjectNameTitle;
    DWORD ObjectHelpTitleIndex;
    WINSIM_PERF_TITLE ObjectHelpTitle;
    DWORD DetailLevel;
    DWORD NumCounters;
    LONG DefaultCounter;
    LONG NumInstances;
    DWORD CodePage;
    LARGE_INTEGER PerfTime;
    LARGE_INTEGER PerfFreq;
} PERF_OBJECT_TYPE, *PPERF_OBJECT_TYPE;

typedef struct _PERF_COUNTER_DEFINITION {
    DWORD ByteLength;
    DWORD CounterNameTitleIndex;
    WINSIM_PERF_TITLE CounterNameTitle;
    DWORD CounterHelpTitleIndex;
    WINSIM_PERF_TITLE CounterHelpTitle;
    LONG DefaultScale;
    DWORD DetailLevel;
    DWORD CounterType;
    DWORD CounterSize;
    DWORD CounterOffset;
} PERF_COUNTER_DEFINITION, *PPERF_COUNTER_DEFINITION;

typedef struct _PERF_INSTANCE_DEFINITION {
    DWORD ByteLength;
    DWORD ParentObjectTitleIndex;
    DWORD ParentObjectInstance;
    LONG UniqueID;
    DWORD NameOffset;
    DWORD NameLength;
} PERF_INSTANCE_DEFINITION, *PPERF_INSTANCE_DEFINITION;

typedef struct _PERF_COUNTER_BLOCK {
    DWORD ByteLength;
} PERF_COUNTER_BLOCK, *PPERF_COUNTER_BLOCK;

#ifdef __cplusplus
static_assert(sizeof(PERF_DATA_BLOCK) == 88, "PERF_DATA_BLOCK");
static_assert(sizeof(PERF_OBJECT_TYPE) == 64, "PERF_OBJECT_TYPE");
static_assert(sizeof(PERF_COUNTER_DEFINITION) == 40, "PERF_COUNTER_DEFINITION");
static_assert(sizeof(PERF_INSTANCE_DEFINITION) == 24, "PERF_INSTANCE_DEFINITION");
#endif

#endif
