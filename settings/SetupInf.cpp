#include "SetupInf.h"

#include "system/SetupPaths.h"
#include "system/Computer.h"

#include <climits>
#include <cstring>

const char *const CSetupInf::m_sQLBSETUP_INF = "QLBSETUP.INF";
const char *const CSetupInf::m_sComponents = "Components";
const char *const CSetupInf::m_sDataMigration = "DataMigration";
const char *const CSetupInf::m_sPNRFrameWork = "PNRFrameWork";
const char *const CSetupInf::m_sPNRFrameWorkSetupFileName = "PNRFrameWorkSetupFileName";
const char *const CSetupInf::m_sProductInfo = "ProductInfo";
const char *const CSetupInf::m_sProductName = "ProductName";
const char *const CSetupInf::m_sSetupFileName = "SetupFileName";
const char *const CSetupInf::m_sProdSubType = "ProdSubType";
const char *const CSetupInf::m_sProdBuildNoRange = "BuildNumber";
const char *const CSetupInf::m_sSetup = "Setup";
const char *const CSetupInf::m_sSupport = "Support";

namespace {

// A range is two builds and a comma, with blanks and signs around them:
// read with room to spare, and treat a text that still does not fit as no
// range, since the part that was cut off could change either number.
const DWORD kBuildRangeChars = 1023;

// The number a text begins with: blanks, an optional sign, then decimal
// digits; no digits give 0. Out-of-range values stop at the int limits, as
// the C runtime's conversion does, instead of overflowing.
int LeadingNumber(const char *p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > (long long)INT_MAX + 1) value = (long long)INT_MAX + 1;
    }
    if (negative) return value > (long long)INT_MAX ? INT_MIN : -(int)value;
    return value > INT_MAX ? INT_MAX : (int)value;
}

// Reads a text key; the cache takes the value only when it has characters.
void ReadCachedText(CString &cache, LPCSTR section, LPCSTR key, DWORD capacity, LPCSTR file) {
    CString value;
    LPSTR buffer = value.GetBuffer((int)capacity);
    buffer[0] = '\0';
    DWORD n = GetPrivateProfileStringA(section, key, "", buffer, capacity + 1, file);
    buffer[capacity] = '\0';
    value.ReleaseBuffer();
    if (n > 0 && !value.IsEmpty()) cache = value;
}

}  // namespace

CSetupInf::CSetupInf()
    : m_bHSMAvailable(0), m_bPNRFWAvailable(0), m_bExists(0) {
    m_bExists = FindFile();
}

CSetupInf::CSetupInf(const CSetupInf &other)
    : m_strFileName(other.m_strFileName),
      m_bHSMAvailable(other.m_bHSMAvailable),
      m_bPNRFWAvailable(other.m_bPNRFWAvailable),
      m_strPNRFWSetupFileName(other.m_strPNRFWSetupFileName),
      m_strSetupProductName(other.m_strSetupProductName),
      m_strSetupFileName(other.m_strSetupFileName),
      m_bExists(other.m_bExists) {}

CSetupInf &CSetupInf::operator=(const CSetupInf &other) {
    if (this != &other) {
        m_strFileName = other.m_strFileName;
        m_bHSMAvailable = other.m_bHSMAvailable;
        m_bPNRFWAvailable = other.m_bPNRFWAvailable;
        m_strPNRFWSetupFileName = other.m_strPNRFWSetupFileName;
        m_strSetupProductName = other.m_strSetupProductName;
        m_strSetupFileName = other.m_strSetupFileName;
        m_bExists = other.m_bExists;
    }
    return *this;
}

CSetupInf::~CSetupInf() {}

int CSetupInf::SetQLBsetupINFName(LPCSTR lpszPath) {
    m_strFileName = lpszPath ? lpszPath : "";
    m_bExists = FindFile();
    return 1;
}

int CSetupInf::FindFile() {
    CString folder;
    if (m_strFileName.IsEmpty()) {
        folder = RunningProgramFolder();
        m_strFileName = folder + m_sQLBSETUP_INF;
    } else {
        folder = DriveAndDirectory(m_strFileName);
    }
    // Relative paths read from the file (the anti-virus setup folders, for
    // one) resolve against the file's own folder.
    if (!folder.IsEmpty()) SetCurrentDirectoryA(folder);
    return CComputer::PathExists(m_strFileName) ? 1 : 0;
}

int CSetupInf::IsHSMAvailable() {
    if (m_bExists) m_bHSMAvailable = (int)GetPrivateProfileIntA(m_sComponents, m_sDataMigration, 0, m_strFileName);
    return m_bHSMAvailable;
}

int CSetupInf::IsPNRFWAvailable() {
    if (m_bExists) m_bPNRFWAvailable = (int)GetPrivateProfileIntA(m_sComponents, m_sPNRFrameWork, 0, m_strFileName);
    return m_bPNRFWAvailable;
}

LPCSTR CSetupInf::GetPNRFWSetupFileName() {
    if (m_bExists) ReadCachedText(m_strPNRFWSetupFileName, m_sComponents, m_sPNRFrameWorkSetupFileName, 260, m_strFileName);
    return m_strPNRFWSetupFileName;
}

LPCSTR CSetupInf::GetSetupProductName() {
    if (m_bExists) ReadCachedText(m_strSetupProductName, m_sSupport, m_sProductName, 254, m_strFileName);
    return m_strSetupProductName;
}

LPCSTR CSetupInf::GetSetupFileName() {
    if (m_bExists) ReadCachedText(m_strSetupFileName, m_sSupport, m_sSetupFileName, 260, m_strFileName);
    return m_strSetupFileName;
}

int CSetupInf::GetProductSubType() {
    if (!m_bExists) return -1;
    int subType = (int)GetPrivateProfileIntA(m_sSetup, m_sProdSubType, -1, m_strFileName);
    return subType >= 0 && subType <= 4 ? subType : -1;
}

int CSetupInf::GetUpdateBuildNoRange(LPCSTR lpszKey, int *pnMinBuild, int *pnMaxBuild) {
    int minBuild = 0, maxBuild = 0;
    if (pnMinBuild) *pnMinBuild = 0;
    if (pnMaxBuild) *pnMaxBuild = 0;
    // Without a key the profile function would list the section's key names.
    if (!lpszKey) return 0;

    char text[kBuildRangeChars + 2];
    text[0] = '\0';
    DWORD n = GetPrivateProfileStringA(m_sProdBuildNoRange, lpszKey, "", text, sizeof text, m_strFileName);
    text[sizeof text - 1] = '\0';
    if (n == 0 || text[0] == '\0') return 0;
    if (n > kBuildRangeChars) return 0;  // cut by the read

    const char *comma = strchr(text, ',');
    if (!comma) {
        minBuild = maxBuild = LeadingNumber(text);
    } else {
        // The conversion stops at the comma, so the text before it is read
        // in place; a leading comma gives no digits and so 0.
        minBuild = comma == text ? 0 : LeadingNumber(text);
        maxBuild = LeadingNumber(comma + 1);
    }
    if (pnMinBuild) *pnMinBuild = minBuild;
    if (pnMaxBuild) *pnMaxBuild = maxBuild;
    return minBuild >= 0 && maxBuild >= 1 ? 1 : 0;
}
