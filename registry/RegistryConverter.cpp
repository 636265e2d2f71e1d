#include "RegistryConverter.h"

#include "BrandKit.h"
#include "HarnRegistry.h"
#include "actions/Frame.h"

#include <cstring>

namespace {

template <class F>
F ProcOf(HMODULE module, LPCSTR name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// The former maker's keys the converter knows by name.
const char kOldSoftware[] = "SOFTWARE";
const char kOldHarnock[] = "Harnock";
const char kOldHarnockKey[] = "SOFTWARE\\Harnock";
const char kOldQuillbak[] = "Quillbak";
const char kOldQuillbakBaseKey[] = "SOFTWARE\\Harnock\\Quillbak\\CurrentVersion";
const char kOldProductsKey[] = "SOFTWARE\\Harnock\\Products";

}  // namespace

CRegistryConverter::CRegistryConverter() : m_hKeyconv(NULL), m_pfnCopy(NULL) { Construct(g_Settings.SourcePath()); }

CRegistryConverter::CRegistryConverter(LPCSTR lpszSourcePath) : m_hKeyconv(NULL), m_pfnCopy(NULL) {
    Construct(lpszSourcePath);
}

void CRegistryConverter::Construct(LPCSTR lpszSourcePath) {
    m_strHarnockKey.Empty();
    m_strQuillbakKey.Empty();
    m_strQuillbakBaseKey.Empty();
    m_strProductsKey.Empty();
    CString library;
    library.Format("%s" BKT_LIBRARY_NAME, lpszSourcePath ? lpszSourcePath : "");
    HMODULE hBrand = LoadLibraryA(library);
    // Without the setup's own branding the target roots are unknown: no
    // conversion at all.
    if (!hBrand) return;
    struct Root {
        LPCSTR lpszExport;
        CString *pRoot;
    } const roots[] = {
        {BKT_GET_BRAND_NAME_STRING, &m_strHarnockKey},
        {BKT_GET_REG_ROOT_STRING, &m_strQuillbakKey},
        {BKT_GET_REG_BASE_STRING, &m_strQuillbakBaseKey},
        {BKT_GET_PRODUCTS_STRING, &m_strProductsKey},
    };
    char buffer[BKT_ROOT_BUFFER_SIZE];
    for (const Root &root : roots) {
        // A missing export leaves its root empty; the copies that need it
        // then do nothing.
        if (PFN_BKT_GET_STRING pfn = ProcOf<PFN_BKT_GET_STRING>(hBrand, root.lpszExport)) {
            memset(buffer, 0, sizeof buffer);
            pfn(buffer, sizeof buffer);
            buffer[sizeof buffer - 1] = '\0';
            *root.pRoot = buffer;
        }
    }
    FreeLibrary(hBrand);
    m_hKeyconv = LoadLibraryA(KEYCONV_LIBRARY_NAME);
    if (m_hKeyconv) m_pfnCopy = ProcOf<PFN_KEYCONV_COPY_REG_SUB_TREE>(m_hKeyconv, KEYCONV_COPY_REG_SUB_TREE);
}

CRegistryConverter::~CRegistryConverter() {
    if (m_hKeyconv) FreeLibrary(m_hKeyconv);
}

int CRegistryConverter::Copy(HKEY hHive, const CString &strSource, const CString &strTarget, int bMove) {
    // An empty root would make the copy read or write the whole hive.
    if (!CHarnRegistry::IsSafeKeyPath(strSource) || !CHarnRegistry::IsSafeKeyPath(strTarget)) return 0;
    m_pfnCopy(hHive, strSource, strTarget, bMove);
    return 1;
}

void CRegistryConverter::DeleteEmptyBrandedRoots(HKEY hHive) {
    CHarnRegistry::DeleteKeyPath(hHive, m_strQuillbakKey);
    CHarnRegistry::DeleteKeyPath(hHive, m_strHarnockKey);
}

int CRegistryConverter::ConvertQuillbakKey(HKEY hHive, int bDeleteOld, int bReverse) {
    if (!m_pfnCopy) return 1;
    if (!bReverse) {
        if (!Copy(hHive, kOldQuillbakBaseKey, m_strQuillbakBaseKey, bDeleteOld)) return 0;
        if (bDeleteOld) {
            CHarnRegistry::DeleteKeyAt(hHive, kOldHarnockKey, kOldQuillbak);
            CHarnRegistry::DeleteKeyAt(hHive, kOldSoftware, kOldHarnock);
        }
        return 1;
    }
    if (!Copy(hHive, m_strQuillbakBaseKey, kOldQuillbakBaseKey, bDeleteOld)) return 0;
    if (bDeleteOld) DeleteEmptyBrandedRoots(hHive);
    return 1;
}

int CRegistryConverter::ConvertVMOldProducts(HKEY hHive, int bDeleteOld, int bReverse) {
    if (!m_pfnCopy) return 1;
    if (!CHarnRegistry::IsSafeKeyPath(m_strQuillbakKey)) return 0;
    const CString saved = m_strQuillbakKey + "\\VMOldProducts";
    if (!(bReverse ? Copy(hHive, saved, m_strProductsKey, bDeleteOld)
                   : Copy(hHive, m_strProductsKey, saved, bDeleteOld)))
        return 0;
    if (bDeleteOld) DeleteEmptyBrandedRoots(hHive);
    return 1;
}

int CRegistryConverter::ConvertOldProducts(HKEY hHive, int bDeleteOld, int bReverse) {
    if (!m_pfnCopy) return 1;
    if (!CHarnRegistry::IsSafeKeyPath(m_strQuillbakKey)) return 0;
    const CString saved = m_strQuillbakKey + "\\OldProducts";
    if (!bReverse) {
        // The former maker's records stay where other products read them.
        if (!Copy(hHive, kOldProductsKey, saved, 0)) return 0;
        if (bDeleteOld) CHarnRegistry::DeleteKeyAt(hHive, kOldSoftware, kOldHarnock);
        return 1;
    }
    if (!Copy(hHive, saved, kOldProductsKey, bDeleteOld)) return 0;
    if (bDeleteOld) DeleteEmptyBrandedRoots(hHive);
    return 1;
}
