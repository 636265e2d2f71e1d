#include "ProductReport.h"

#include "registry/HarnRegistry.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Reads as the product's own classes do, and names the keys it reads.
class BranchReader : public CHarnRegistry {
public:
    BranchReader() : CHarnRegistry(1, NULL) {}
    static std::string ProductsKey() { return (LPCSTR)m_sProductsKey; }
    static std::string BaseKey() { return (LPCSTR)m_sQuillbakBaseKey; }
    static std::string OldProductsKey() { return (LPCSTR)m_sOldProductsKey; }
    static std::string RootOldProductsKey() { return std::string((LPCSTR)m_sQuillbakKey) + "\\" + (LPCSTR)m_sOldProducts; }
    static std::string DSAgentProductsKey() { return (LPCSTR)m_sOldDSAgentProductsKey; }
};

std::string Line(const std::string &label, const std::string &value) {
    return "  " + label + ": " + (value.empty() ? "(none)" : value) + "\n";
}

std::string Format(const char *format, unsigned long a, unsigned long b = 0, unsigned long c = 0) {
    char text[64];
    snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// One record, field by field; `size` is how many bytes were stored.
std::string DescribeRecord(const tagProductStruct &r, size_t size) {
    std::string s;
    s += "      product code " + Format("%lu", r.dwProductCode) + ", components " + Format("%lu", r.dwComponents) +
         ", version " + Format("%lu.%lu build %lu", (r.dwVersion >> 8) & 0xFF, r.dwVersion & 0xFF, r.dwVersion >> 16) +
         "\n";
    char serial[sizeof r.szSerial + 1];
    memcpy(serial, r.szSerial, sizeof r.szSerial);
    serial[sizeof r.szSerial] = '\0';
    const DWORD crc = CHarnRegistry::ProductRecordCrc(&r);
    s += "      subtype " + Format("%lu", r.bySubType) + ", user level " + Format("%lu", r.dwUserLevel) + ", serial \"" +
         serial + "\", CRC " + Format("%08lX", r.dwCrc) + (r.dwCrc == crc ? " (matches)" : " (computed " + Format("%08lX", crc) + ")");
    if (size < sizeof r) s += ", " + Format("%lu", (unsigned long)size) + " of 49 bytes stored";
    return s + "\n";
}

// Every record value of one products key.
std::string DescribeKey(const std::string &keyPath) {
    std::string s = "  " + keyPath + ":";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return s + " (no key)\n";
    std::string body;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        LONG rc = RegEnumValueA(key, i, name, &nameSize, NULL, NULL, NULL, NULL);
        if (rc != ERROR_SUCCESS) break;
        tagProductStruct r;
        memset(&r, 0, sizeof r);
        DWORD size = sizeof r;
        rc = RegQueryValueExA(key, name, NULL, NULL, (LPBYTE)&r, &size);
        if (rc == ERROR_MORE_DATA)
            body += "    " + std::string(name) + ": longer than a record\n";
        else if (rc == ERROR_SUCCESS)
            body += "    " + std::string(name) + ":\n" + DescribeRecord(r, size);
    }
    RegCloseKey(key);
    return s + (body.empty() ? " (no records)\n" : "\n" + body);
}

}  // namespace

std::string DescribeProductBranch() {
    BranchReader reader;
    std::string s = "Product registry\n";
    s += Line("product root", CHarnRegistry::GetQuillbakKey());
    s += Line("base key", BranchReader::BaseKey());
    s += Line("registered owner", reader.GetRegisteredOwner());
    s += Line("registered organization", reader.GetRegisteredOrganization());
    s += Line("home", reader.GetQuillbakHomeDir());
    s += Line("database", reader.GetQuillbakDBDir());
    s += Line("log", reader.GetQuillbakLogDir());
    s += Line("temp", reader.GetQuillbakTempDir());
    s += Line("product user", reader.GetQuillbakUserName());
    s += Line("product organization", reader.GetQuillbakOrganization());
    s += Line("alert home", reader.GetAlertHomeDir());
    WORD alertBuild = 0;
    s += Line("alert build", CHarnRegistry::GetAlertBuildNumber(&alertBuild, NULL) ? Format("%lu", alertBuild) : "");
    s += Line("client agent home", reader.GetClientAgentHomeDir());

    tagProductStruct own;
    memset(&own, 0, sizeof own);
    if (CHarnRegistry::GetQuillbakProductInfo(&own, NULL)) {
        s += "  this product's record:\n" + DescribeRecord(own, sizeof own);
    } else {
        s += Line("this product's record", "");
    }
    s += "Product records\n";
    for (const std::string &key : {BranchReader::ProductsKey(), BranchReader::OldProductsKey(),
                                   BranchReader::RootOldProductsKey(), BranchReader::DSAgentProductsKey()})
        s += DescribeKey(key);
    return s;
}
