// CStringArray and CMapStringToString over the standard containers. The
// containers report exhaustion with std::bad_alloc (or length_error); both
// become CMemoryException* here, as the product's handlers expect.
#include "afxcoll.h"

#include <climits>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

// Keeps every index an int and every request a size the allocator can be
// asked for without overflow.
const int kMaxItems = INT_MAX / (int)sizeof(CString);

[[noreturn]] void ThrowFromStd() { AfxThrowMemoryException(); }

}  // namespace

// Runs a standard-container operation, turning its allocation failures into
// the framework's exception.
#define QL_STD_CALL(...)                      \
    do {                                      \
        try {                                 \
            __VA_ARGS__;                      \
        } catch (const std::bad_alloc &) {    \
            ThrowFromStd();                   \
        } catch (const std::length_error &) { \
            ThrowFromStd();                   \
        }                                     \
    } while (0)

// ---- CStringArray ------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CStringArray, CObject)

CStringArray::CStringArray() {}

CStringArray::~CStringArray() {}

int CStringArray::GetSize() const { return (int)m_items.size(); }

int CStringArray::GetCount() const { return (int)m_items.size(); }

int CStringArray::GetUpperBound() const { return (int)m_items.size() - 1; }

BOOL CStringArray::IsEmpty() const { return m_items.empty(); }

void CStringArray::SetSize(int nNewSize, int nGrowBy) {
    if (nNewSize < 0) nNewSize = 0;
    if (nNewSize > kMaxItems) AfxThrowMemoryException();
    QL_STD_CALL(m_items.resize((size_t)nNewSize));
}

const CString &CStringArray::GetAt(int nIndex) const {
    static const CString s_empty;
    if (nIndex < 0 || nIndex >= GetSize()) return s_empty;
    return m_items[(size_t)nIndex];
}

void CStringArray::SetAt(int nIndex, LPCTSTR newElement) {
    if (nIndex < 0 || nIndex >= GetSize()) return;
    m_items[(size_t)nIndex] = newElement;
}

CString &CStringArray::ElementAt(int nIndex) {
    if (nIndex < 0 || nIndex >= GetSize()) {
        m_strScratch.Empty();
        return m_strScratch;
    }
    return m_items[(size_t)nIndex];
}

const CString &CStringArray::operator[](int nIndex) const { return GetAt(nIndex); }

CString &CStringArray::operator[](int nIndex) { return ElementAt(nIndex); }

int CStringArray::Add(LPCTSTR newElement) { return Add(CString(newElement)); }

int CStringArray::Add(const CString &newElement) {
    if (GetSize() >= kMaxItems) AfxThrowMemoryException();
    QL_STD_CALL(m_items.push_back(newElement));
    return GetSize() - 1;
}

int CStringArray::Append(const CStringArray &src) {
    int nOldSize = GetSize();
    if ((long long)nOldSize + src.GetSize() > kMaxItems) AfxThrowMemoryException();
    if (&src == this) {
        std::vector<CString> copy;
        QL_STD_CALL(copy = m_items);
        QL_STD_CALL(m_items.insert(m_items.end(), copy.begin(), copy.end()));
    } else {
        QL_STD_CALL(m_items.insert(m_items.end(), src.m_items.begin(), src.m_items.end()));
    }
    return nOldSize;
}

void CStringArray::Copy(const CStringArray &src) {
    if (&src == this) return;
    QL_STD_CALL(m_items = src.m_items);
}

void CStringArray::InsertAt(int nIndex, LPCTSTR newElement, int nCount) {
    if (nCount <= 0) return;
    if (nIndex < 0) nIndex = 0;
    // A copy first: newElement may be the text of one of our own elements.
    CString value(newElement);
    int nSize = GetSize();
    if (nIndex >= nSize) {
        if ((long long)nIndex + nCount > kMaxItems) AfxThrowMemoryException();
        SetSize(nIndex + nCount);
        for (int i = nIndex; i < nIndex + nCount; ++i) m_items[(size_t)i] = value;
        return;
    }
    if ((long long)nSize + nCount > kMaxItems) AfxThrowMemoryException();
    QL_STD_CALL(m_items.insert(m_items.begin() + nIndex, (size_t)nCount, value));
}

void CStringArray::RemoveAt(int nIndex, int nCount) {
    long long first = nIndex < 0 ? 0 : nIndex;
    long long last = (long long)nIndex + nCount;
    if (last > GetSize()) last = GetSize();
    if (nCount <= 0 || first >= last) return;
    m_items.erase(m_items.begin() + first, m_items.begin() + last);
}

void CStringArray::RemoveAll() { m_items.clear(); }

// ---- CMapStringToString ---------------------------------------------------------------

IMPLEMENT_DYNAMIC(CMapStringToString, CObject)

CMapStringToString::CMapStringToString(int nBlockSize) : m_nBlockSize(nBlockSize), m_nNextSerial(1) {}

CMapStringToString::~CMapStringToString() {}

int CMapStringToString::GetCount() const { return (int)m_table.size(); }

int CMapStringToString::GetSize() const { return (int)m_table.size(); }

BOOL CMapStringToString::IsEmpty() const { return m_table.empty(); }

BOOL CMapStringToString::Lookup(LPCTSTR key, CString &rValue) const {
    Table::const_iterator it = m_table.find(key != NULL ? key : "");
    if (it == m_table.end()) return FALSE;
    rValue = it->second.value;
    return TRUE;
}

CMapStringToString::Table::iterator CMapStringToString::Insert(LPCTSTR key) {
    if (key == NULL) key = "";
    Table::iterator it = m_table.find(key);
    if (it != m_table.end()) return it;
    if (m_table.size() >= (size_t)INT_MAX) AfxThrowMemoryException();
    CString strKey(key);
    QL_STD_CALL(it = m_table.emplace(std::move(strKey), Entry{CString(), m_nNextSerial}).first);
    try {
        m_bySerial.emplace(m_nNextSerial, it);
    } catch (const std::bad_alloc &) {
        m_table.erase(it);
        ThrowFromStd();
    }
    // A 32-bit count wraps only after four billion insertions; 0 stays NULL.
    if (++m_nNextSerial == 0) m_nNextSerial = 1;
    return it;
}

CString &CMapStringToString::operator[](LPCTSTR key) { return Insert(key)->second.value; }

void CMapStringToString::SetAt(LPCTSTR key, LPCTSTR newValue) {
    // The value first: newValue may be the text of the entry being replaced.
    CString value(newValue);
    Insert(key)->second.value = std::move(value);
}

BOOL CMapStringToString::RemoveKey(LPCTSTR key) {
    Table::iterator it = m_table.find(key != NULL ? key : "");
    if (it == m_table.end()) return FALSE;
    m_bySerial.erase(it->second.serial);
    m_table.erase(it);
    return TRUE;
}

void CMapStringToString::RemoveAll() {
    m_bySerial.clear();
    m_table.clear();
}

POSITION CMapStringToString::GetStartPosition() const {
    if (m_table.empty()) return NULL;
    return reinterpret_cast<POSITION>(m_table.begin()->second.serial);
}

void CMapStringToString::GetNextAssoc(POSITION &rNextPosition, CString &rKey, CString &rValue) const {
    std::map<UINT_PTR, Table::iterator>::const_iterator found =
        m_bySerial.find(reinterpret_cast<UINT_PTR>(rNextPosition));
    if (rNextPosition == NULL || found == m_bySerial.end()) {
        rNextPosition = NULL;
        rKey.Empty();
        rValue.Empty();
        return;
    }
    Table::iterator it = found->second;
    rKey = it->first;
    rValue = it->second.value;
    ++it;
    rNextPosition = it == m_table.end() ? NULL : reinterpret_cast<POSITION>(it->second.serial);
}
