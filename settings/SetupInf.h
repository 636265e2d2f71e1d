// The setup information file "QLBSETUP.INF" of the setup medium: the edition
// on the medium, its optional parts, the product whose setup follows this
// one, and the ranges of installed builds the medium may update. Read only.
#ifndef QL_SETUPINF_H
#define QL_SETUPINF_H

#include "system/QlApi.h"
#include "afxstr.h"

class QL_API CSetupInf {
public:
    // Section and key names of the file.
    static const char *const m_sQLBSETUP_INF;               // "QLBSETUP.INF"
    static const char *const m_sComponents;                 // "Components"
    static const char *const m_sDataMigration;              // "DataMigration"
    static const char *const m_sPNRFrameWork;               // "PNRFrameWork"
    static const char *const m_sPNRFrameWorkSetupFileName;  // "PNRFrameWorkSetupFileName"
    static const char *const m_sProductInfo;                // "ProductInfo"
    static const char *const m_sProductName;                // "ProductName"
    static const char *const m_sSetupFileName;              // "SetupFileName"
    static const char *const m_sProdSubType;                // "ProdSubType"
    static const char *const m_sProdBuildNoRange;           // "BuildNumber"
    static const char *const m_sSetup;                      // "Setup"
    static const char *const m_sSupport;                    // "Support"

    // Looks for the file beside the running program's executable.
    CSetupInf();
    CSetupInf(const CSetupInf &other);
    CSetupInf &operator=(const CSetupInf &other);
    ~CSetupInf();

    // Binds the object to another file (null or "" means the file beside
    // the running program) and looks for it; the cached values stay, so
    // text read from an earlier file survives a move to a missing one.
    // Changes the process's current directory to the file's folder. Always 1.
    int SetQLBsetupINFName(LPCSTR lpszPath);

    // 1 when the file was found by the last search.
    int Exists() const { return m_bExists; }
    LPCSTR FileName() const { return m_strFileName; }

    // [Components] DataMigration / PNRFrameWork: read afresh while the file
    // exists (default 0), else the value read last.
    int IsHSMAvailable();
    int IsPNRFWAvailable();
    // Text keys: a value of at least one character replaces the cached text;
    // the cached text is returned (an absent key keeps an earlier value).
    LPCSTR GetPNRFWSetupFileName();  // [Components] PNRFrameWorkSetupFileName, 260
    LPCSTR GetSetupProductName();    // [Support] ProductName, 254
    LPCSTR GetSetupFileName();       // [Support] SetupFileName, 260
    // [Setup] ProdSubType when it lies in 0..4; -1 when absent, out of range
    // or when there is no file.
    int GetProductSubType();
    // [BuildNumber] <lpszKey> = "min,max" or a single build. Both outputs
    // are set (0 when nothing is read); 1 when min >= 0 and max >= 1. The
    // value is read even when the file was not found at the last search.
    int GetUpdateBuildNoRange(LPCSTR lpszKey, int *pnMinBuild, int *pnMaxBuild);

private:
    // Completes the path (the default file when it is empty), makes the
    // file's folder the current directory, and tells whether the file exists.
    int FindFile();

    CString m_strFileName;
    int m_bHSMAvailable;
    int m_bPNRFWAvailable;
    CString m_strPNRFWSetupFileName;
    CString m_strSetupProductName;
    CString m_strSetupFileName;
    int m_bExists;
};

#endif
