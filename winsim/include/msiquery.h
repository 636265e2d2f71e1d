/* Windows Installer: the session and record part of the SDK's msiquery.h
   that the simulated machine serves. Names and values follow the SDK. */
#ifndef WINSIM_MSIQUERY_H
#define WINSIM_MSIQUERY_H

#include "msi.h"

#define MSI_NULL_INTEGER 0x80000000

typedef enum tagMSIRUNMODE {
    MSIRUNMODE_ADMIN = 0,
    MSIRUNMODE_ADVERTISE = 1,
    MSIRUNMODE_MAINTENANCE = 2,
    MSIRUNMODE_ROLLBACKENABLED = 3,
    MSIRUNMODE_LOGENABLED = 4,
    MSIRUNMODE_OPERATIONS = 5,
    MSIRUNMODE_REBOOTATEND = 6,
    MSIRUNMODE_REBOOTNOW = 7,
    MSIRUNMODE_CABINET = 8,
    MSIRUNMODE_SOURCESHORTNAMES = 9,
    MSIRUNMODE_TARGETSHORTNAMES = 10,
    MSIRUNMODE_RESERVED11 = 11,
    MSIRUNMODE_WINDOWS9X = 12,
    MSIRUNMODE_ZAWENABLED = 13,
    MSIRUNMODE_RESERVED14 = 14,
    MSIRUNMODE_RESERVED15 = 15,
    MSIRUNMODE_SCHEDULED = 16,
    MSIRUNMODE_ROLLBACK = 17,
    MSIRUNMODE_COMMIT = 18
} MSIRUNMODE;

WINSIM_BEGIN_DECLS
WINMSIAPI UINT WINAPI MsiGetPropertyA(MSIHANDLE hInstall, LPCSTR szName, LPSTR szValueBuf, LPDWORD pcchValueBuf);
WINMSIAPI UINT WINAPI MsiSetPropertyA(MSIHANDLE hInstall, LPCSTR szName, LPCSTR szValue);
WINMSIAPI BOOL WINAPI MsiGetMode(MSIHANDLE hInstall, MSIRUNMODE eRunMode);
WINMSIAPI UINT WINAPI MsiSetMode(MSIHANDLE hInstall, MSIRUNMODE eRunMode, BOOL fState);
WINMSIAPI UINT WINAPI MsiSetInstallLevel(MSIHANDLE hInstall, int iInstallLevel);
WINMSIAPI UINT WINAPI MsiGetFeatureStateA(MSIHANDLE hInstall, LPCSTR szFeature, INSTALLSTATE *piInstalled,
                                          INSTALLSTATE *piAction);
WINMSIAPI UINT WINAPI MsiSetFeatureStateA(MSIHANDLE hInstall, LPCSTR szFeature, INSTALLSTATE iState);
WINMSIAPI MSIHANDLE WINAPI MsiCreateRecord(UINT cParams);
WINMSIAPI UINT WINAPI MsiRecordGetFieldCount(MSIHANDLE hRecord);
WINMSIAPI BOOL WINAPI MsiRecordIsNull(MSIHANDLE hRecord, UINT iField);
WINMSIAPI UINT WINAPI MsiRecordSetStringA(MSIHANDLE hRecord, UINT iField, LPCSTR szValue);
WINMSIAPI UINT WINAPI MsiRecordGetStringA(MSIHANDLE hRecord, UINT iField, LPSTR szValueBuf, LPDWORD pcchValueBuf);
WINMSIAPI UINT WINAPI MsiRecordSetInteger(MSIHANDLE hRecord, UINT iField, int iValue);
WINMSIAPI int WINAPI MsiRecordGetInteger(MSIHANDLE hRecord, UINT iField);
WINMSIAPI UINT WINAPI MsiFormatRecordA(MSIHANDLE hInstall, MSIHANDLE hRecord, LPSTR szResultBuf,
                                       LPDWORD pcchResultBuf);
WINMSIAPI int WINAPI MsiProcessMessage(MSIHANDLE hInstall, INSTALLMESSAGE eMessageType, MSIHANDLE hRecord);
WINSIM_END_DECLS

#define MsiGetProperty MsiGetPropertyA
#define MsiSetProperty MsiSetPropertyA
#define MsiGetFeatureState MsiGetFeatureStateA
#define MsiSetFeatureState MsiSetFeatureStateA
#define MsiRecordSetString MsiRecordSetStringA
#define MsiRecordGetString MsiRecordGetStringA
#define MsiFormatRecord MsiFormatRecordA

#endif
