// CString. Every buffer holds m_nAllocLength characters plus a NUL and is
// zero-filled when allocated, so text written through GetBuffer is always
// terminated within the buffer. Operations that may read from their own
// buffer (s += s, s.Insert(0, s), ...) build the result before the old
// buffer is freed.
#include "afxstr.h"

#include "afxexcept.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Lengths are ints, as in MFC; one is kept free for the NUL.
const int kMaxLength = INT_MAX - 1;

// A string table entry holds at most 65535 characters, so a larger buffer
// always takes one whole; it bounds the growth loop of LoadString.
const int kMaxResourceBuffer = 65536;

// Output of one formatting call in runtimes that report truncation as -1
// instead of the length needed: stop growing there.
const int kMaxFallbackFormat = 1 << 24;

HINSTANCE g_hResourceHandle = NULL;

char *Allocate(int nAlloc) {
    if (nAlloc < 0 || nAlloc > kMaxLength) AfxThrowMemoryException();
    char *p = new (std::nothrow) char[(size_t)nAlloc + 1]();
    if (p == nullptr) AfxThrowMemoryException();
    return p;
}

int LengthOf(const char *p) {
    if (p == nullptr) return 0;
    size_t n = std::strlen(p);
    if (n > (size_t)kMaxLength) AfxThrowMemoryException();
    return (int)n;
}

// Lead bytes are 0x81 and up in every double-byte code page, so plain ASCII
// text never asks the system.
bool IsLead(unsigned char c) { return c >= 0x80 && IsDBCSLeadByte(c); }

// Bytes of the character at p within [p, end): 2 for a lead byte with its
// trail byte, else 1 (a lead byte at the very end stands alone).
int CharLen(const char *p, const char *end) {
    return (end - p >= 2 && p[1] != '\0' && IsLead((unsigned char)p[0])) ? 2 : 1;
}

// The same for NUL-terminated text.
int CharLenZ(const char *p) { return (p[1] != '\0' && IsLead((unsigned char)p[0])) ? 2 : 1; }

// True when the character p[0..k) is one of the characters of lpszSet.
bool SetHas(const char *p, int k, const void *ctx) {
    const char *set = static_cast<const char *>(ctx);
    if (set == nullptr) return false;
    while (*set != '\0') {
        int n = CharLenZ(set);
        if (n == k && std::memcmp(set, p, (size_t)k) == 0) return true;
        set += n;
    }
    return false;
}

bool IsWhite(const char *p, int k, const void *) {
    return k == 1 && (*p == ' ' || (*p >= '\t' && *p <= '\r'));
}

bool IsChar(const char *p, int k, const void *ctx) { return k == 1 && *p == *static_cast<const char *>(ctx); }

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c + ('a' - 'A')) : c; }

int FormatInto(char *buffer, size_t size, const char *format, va_list args) {
#if defined(__MINGW32__)
    // The ISO printf of the MinGW runtime: returns the length needed, as
    // the compile-time format checking in afxver.h assumes.
    return __mingw_vsnprintf(buffer, size, format, args);
#else
    return std::vsnprintf(buffer, size, format, args);
#endif
}

}  // namespace

HINSTANCE AfxGetResourceHandle() { return g_hResourceHandle; }

void AfxSetResourceHandle(HINSTANCE hInstResource) { g_hResourceHandle = hInstResource; }

// ---- construction and assignment -------------------------------------------

CString::CString() : m_pchData(nullptr), m_nDataLength(0), m_nAllocLength(0) {}

CString::CString(const CString &stringSrc) : CString() { AssignCopy(stringSrc.m_pchData, stringSrc.m_nDataLength); }

CString::CString(CString &&stringSrc) noexcept
    : m_pchData(stringSrc.m_pchData), m_nDataLength(stringSrc.m_nDataLength), m_nAllocLength(stringSrc.m_nAllocLength) {
    stringSrc.m_pchData = nullptr;
    stringSrc.m_nDataLength = 0;
    stringSrc.m_nAllocLength = 0;
}

CString::CString(LPCTSTR lpsz) : CString() {
    if (lpsz == nullptr) return;
    if (IS_INTRESOURCE(lpsz)) {
        LoadString(LOWORD((DWORD_PTR)lpsz));
        return;
    }
    AssignCopy(lpsz, LengthOf(lpsz));
}

CString::CString(char ch, int nRepeat) : CString() {
    if (nRepeat <= 0) return;
    char *p = Allocate(nRepeat);
    std::memset(p, (unsigned char)ch, (size_t)nRepeat);
    TakeBuffer(p, nRepeat, nRepeat);
}

CString::CString(LPCTSTR lpch, int nLength) : CString() {
    if (lpch == nullptr || nLength <= 0) return;
    int n = 0;
    while (n < nLength && lpch[n] != '\0') ++n;
    AssignCopy(lpch, n);
}

CString::~CString() { delete[] m_pchData; }

CString &CString::operator=(const CString &stringSrc) {
    if (this != &stringSrc) AssignCopy(stringSrc.m_pchData, stringSrc.m_nDataLength);
    return *this;
}

CString &CString::operator=(CString &&stringSrc) noexcept {
    if (this != &stringSrc) {
        delete[] m_pchData;
        m_pchData = stringSrc.m_pchData;
        m_nDataLength = stringSrc.m_nDataLength;
        m_nAllocLength = stringSrc.m_nAllocLength;
        stringSrc.m_pchData = nullptr;
        stringSrc.m_nDataLength = 0;
        stringSrc.m_nAllocLength = 0;
    }
    return *this;
}

CString &CString::operator=(LPCTSTR lpsz) {
    AssignCopy(lpsz, LengthOf(lpsz));
    return *this;
}

CString &CString::operator=(char ch) {
    AssignCopy(&ch, 1);
    return *this;
}

void CString::Empty() {
    delete[] m_pchData;
    m_pchData = nullptr;
    m_nDataLength = 0;
    m_nAllocLength = 0;
}

// ---- buffer management ------------------------------------------------------

void CString::TakeBuffer(char *p, int nLength, int nAlloc) {
    delete[] m_pchData;
    m_pchData = p;
    m_nAllocLength = nAlloc;
    SetLengthTo(nLength);
}

void CString::SetLengthTo(int n) {
    m_nDataLength = n;
    if (m_pchData != nullptr) m_pchData[n] = '\0';
}

void CString::Reserve(int nMinAlloc, bool bGrowGeometric) {
    if (m_pchData != nullptr && nMinAlloc <= m_nAllocLength) return;
    int nAlloc = nMinAlloc;
    if (bGrowGeometric) {
        // Half again as much, so that appending in a loop stays linear.
        long long grown = (long long)m_nAllocLength + m_nAllocLength / 2;
        if (grown > kMaxLength) grown = kMaxLength;
        if (grown > nAlloc) nAlloc = (int)grown;
    }
    char *p = Allocate(nAlloc);
    if (m_nDataLength > 0) std::memcpy(p, m_pchData, (size_t)m_nDataLength);
    TakeBuffer(p, m_nDataLength, nAlloc);
}

void CString::AssignCopy(const char *p, int n) {
    if (n <= 0 || p == nullptr) {
        SetLengthTo(0);
        return;
    }
    if (m_pchData != nullptr && n <= m_nAllocLength) {
        std::memmove(m_pchData, p, (size_t)n);  // p may lie in this buffer
        SetLengthTo(n);
        return;
    }
    char *q = Allocate(n);
    std::memcpy(q, p, (size_t)n);
    TakeBuffer(q, n, n);
}

void CString::AppendCopy(const char *p, int n) {
    if (n <= 0 || p == nullptr) return;
    if (n > kMaxLength - m_nDataLength) AfxThrowMemoryException();
    int nNewLength = m_nDataLength + n;
    if (m_pchData != nullptr && nNewLength <= m_nAllocLength) {
        std::memmove(m_pchData + m_nDataLength, p, (size_t)n);
        SetLengthTo(nNewLength);
        return;
    }
    long long grown = (long long)m_nAllocLength + m_nAllocLength / 2;
    int nAlloc = grown > nNewLength ? (grown > kMaxLength ? kMaxLength : (int)grown) : nNewLength;
    char *q = Allocate(nAlloc);
    if (m_nDataLength > 0) std::memcpy(q, m_pchData, (size_t)m_nDataLength);
    std::memcpy(q + m_nDataLength, p, (size_t)n);  // before the old buffer goes
    TakeBuffer(q, nNewLength, nAlloc);
}

LPTSTR CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength < m_nDataLength) nMinBufLength = m_nDataLength;
    Reserve(nMinBufLength, false);
    return m_pchData;
}

LPTSTR CString::GetBufferSetLength(int nNewLength) {
    if (nNewLength < 0) nNewLength = 0;
    Reserve(nNewLength, false);
    SetLengthTo(nNewLength);
    return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength) {
    if (m_pchData == nullptr) {
        m_nDataLength = 0;
        return;
    }
    if (nNewLength < 0) {
        // The buffer's last byte is always a NUL, so this stops inside it.
        nNewLength = (int)std::strlen(m_pchData);
    }
    if (nNewLength > m_nAllocLength) nNewLength = m_nAllocLength;
    SetLengthTo(nNewLength);
}

// ---- element access ----------------------------------------------------------

char CString::GetAt(int nIndex) const {
    return (nIndex >= 0 && nIndex < m_nDataLength) ? m_pchData[nIndex] : '\0';
}

void CString::SetAt(int nIndex, char ch) {
    if (nIndex >= 0 && nIndex < m_nDataLength) m_pchData[nIndex] = ch;
}

// ---- concatenation -------------------------------------------------------------

CString CString::Concat(const char *p1, int n1, const char *p2, int n2) {
    CString result;
    if (n1 > kMaxLength - n2) AfxThrowMemoryException();
    if (n1 + n2 == 0) return result;
    result.Reserve(n1 + n2, false);
    result.AppendCopy(p1, n1);
    result.AppendCopy(p2, n2);
    return result;
}

CString &CString::operator+=(const CString &string) {
    AppendCopy(string.m_pchData, string.m_nDataLength);
    return *this;
}

CString &CString::operator+=(LPCTSTR lpsz) {
    AppendCopy(lpsz, LengthOf(lpsz));
    return *this;
}

CString &CString::operator+=(char ch) {
    AppendCopy(&ch, 1);
    return *this;
}

CString operator+(const CString &string1, const CString &string2) {
    return CString::Concat(string1.m_pchData, string1.m_nDataLength, string2.m_pchData, string2.m_nDataLength);
}

CString operator+(const CString &string, LPCTSTR lpsz) {
    return CString::Concat(string.m_pchData, string.m_nDataLength, lpsz, LengthOf(lpsz));
}

CString operator+(LPCTSTR lpsz, const CString &string) {
    return CString::Concat(lpsz, LengthOf(lpsz), string.m_pchData, string.m_nDataLength);
}

CString operator+(const CString &string, char ch) {
    return CString::Concat(string.m_pchData, string.m_nDataLength, &ch, 1);
}

CString operator+(char ch, const CString &string) {
    return CString::Concat(&ch, 1, string.m_pchData, string.m_nDataLength);
}

// ---- comparison ------------------------------------------------------------------

int CString::Compare(LPCTSTR lpsz) const {
    return Sign(std::strcmp(*this, lpsz != nullptr ? lpsz : ""));
}

int CString::CompareNoCase(LPCTSTR lpsz) const {
    const unsigned char *a = reinterpret_cast<const unsigned char *>((LPCTSTR) * this);
    const unsigned char *b = reinterpret_cast<const unsigned char *>(lpsz != nullptr ? lpsz : "");
    for (;; ++a, ++b) {
        unsigned char ca = (unsigned char)AsciiLower((char)*a);
        unsigned char cb = (unsigned char)AsciiLower((char)*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == '\0') return 0;
    }
}

bool operator==(const CString &s1, const CString &s2) { return s1.Compare(s2) == 0; }
bool operator==(const CString &s1, LPCTSTR s2) { return s1.Compare(s2) == 0; }
bool operator==(LPCTSTR s1, const CString &s2) { return s2.Compare(s1) == 0; }
bool operator!=(const CString &s1, const CString &s2) { return s1.Compare(s2) != 0; }
bool operator!=(const CString &s1, LPCTSTR s2) { return s1.Compare(s2) != 0; }
bool operator!=(LPCTSTR s1, const CString &s2) { return s2.Compare(s1) != 0; }
bool operator<(const CString &s1, const CString &s2) { return s1.Compare(s2) < 0; }
bool operator<(const CString &s1, LPCTSTR s2) { return s1.Compare(s2) < 0; }
bool operator<(LPCTSTR s1, const CString &s2) { return s2.Compare(s1) > 0; }
bool operator>(const CString &s1, const CString &s2) { return s1.Compare(s2) > 0; }
bool operator>(const CString &s1, LPCTSTR s2) { return s1.Compare(s2) > 0; }
bool operator>(LPCTSTR s1, const CString &s2) { return s2.Compare(s1) < 0; }

// ---- formatting ------------------------------------------------------------------

void CString::Format(LPCTSTR lpszFormat, ...) {
    va_list args;
    va_start(args, lpszFormat);
    try {
        FormatV(lpszFormat, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

void CString::FormatV(LPCTSTR lpszFormat, va_list argList) {
    if (lpszFormat == nullptr) {
        Empty();
        return;
    }
    va_list probe;
    va_copy(probe, argList);
    int nNeeded = FormatInto(nullptr, 0, lpszFormat, probe);
    va_end(probe);
    if (nNeeded >= 0) {
        char *p = Allocate(nNeeded);
        va_list out;
        va_copy(out, argList);
        FormatInto(p, (size_t)nNeeded + 1, lpszFormat, out);
        va_end(out);
        TakeBuffer(p, nNeeded, nNeeded);
        return;
    }
    // A runtime that only says "did not fit": grow until the output does.
    for (int nAlloc = 255; nAlloc <= kMaxFallbackFormat; nAlloc = nAlloc * 2 + 1) {
        char *p = Allocate(nAlloc);
        va_list out;
        va_copy(out, argList);
        int n = FormatInto(p, (size_t)nAlloc + 1, lpszFormat, out);
        va_end(out);
        if (n >= 0 && n <= nAlloc) {
            TakeBuffer(p, n, nAlloc);
            return;
        }
        delete[] p;
    }
    Empty();  // the format itself is bad
}

// ---- case and order ----------------------------------------------------------------

CString &CString::MakeUpper() {
    const char *end = m_pchData + m_nDataLength;
    for (char *p = m_pchData; p < end;) {
        int k = CharLen(p, end);
        if (k == 1 && *p >= 'a' && *p <= 'z') *p = (char)(*p - ('a' - 'A'));
        p += k;
    }
    return *this;
}

CString &CString::MakeLower() {
    const char *end = m_pchData + m_nDataLength;
    for (char *p = m_pchData; p < end;) {
        int k = CharLen(p, end);
        if (k == 1) *p = AsciiLower(*p);
        p += k;
    }
    return *this;
}

CString &CString::MakeReverse() {
    if (m_nDataLength < 2) return *this;
    // Characters change places; the bytes of a double-byte one stay in order.
    char *q = Allocate(m_nDataLength);
    const char *end = m_pchData + m_nDataLength;
    int nOut = m_nDataLength;
    for (const char *p = m_pchData; p < end;) {
        int k = CharLen(p, end);
        nOut -= k;
        std::memcpy(q + nOut, p, (size_t)k);
        p += k;
    }
    TakeBuffer(q, m_nDataLength, m_nDataLength);
    return *this;
}

// ---- searching ----------------------------------------------------------------------

int CString::Find(char ch) const { return Find(ch, 0); }

int CString::Find(char ch, int nStart) const {
    if (ch == '\0' || nStart < 0 || nStart >= m_nDataLength) return -1;
    const char *end = m_pchData + m_nDataLength;
    for (const char *p = m_pchData + nStart; p < end;) {
        int k = CharLen(p, end);
        if (k == 1 && *p == ch) return (int)(p - m_pchData);
        p += k;
    }
    return -1;
}

int CString::Find(LPCTSTR lpszSub) const { return Find(lpszSub, 0); }

int CString::Find(LPCTSTR lpszSub, int nStart) const {
    if (lpszSub == nullptr || nStart < 0 || nStart > m_nDataLength) return -1;
    int nSub = LengthOf(lpszSub);
    if (nSub == 0) return nStart;
    const char *end = m_pchData + m_nDataLength;
    for (const char *p = m_pchData + nStart; end - p >= nSub;) {
        if (std::memcmp(p, lpszSub, (size_t)nSub) == 0) return (int)(p - m_pchData);
        p += CharLen(p, end);
    }
    return -1;
}

int CString::ReverseFind(char ch) const {
    if (ch == '\0') return -1;
    int nFound = -1;
    const char *end = m_pchData + m_nDataLength;
    for (const char *p = m_pchData; p < end;) {
        int k = CharLen(p, end);
        if (k == 1 && *p == ch) nFound = (int)(p - m_pchData);
        p += k;
    }
    return nFound;
}

int CString::FindOneOf(LPCTSTR lpszCharSet) const {
    const char *end = m_pchData + m_nDataLength;
    for (const char *p = m_pchData; p < end;) {
        int k = CharLen(p, end);
        if (SetHas(p, k, lpszCharSet)) return (int)(p - m_pchData);
        p += k;
    }
    return -1;
}

// ---- extraction -------------------------------------------------------------------------

CString CString::Left(int nCount) const {
    if (nCount >= m_nDataLength) return *this;
    CString result;
    if (nCount > 0) result.AssignCopy(m_pchData, nCount);
    return result;
}

CString CString::Mid(int nFirst) const {
    if (nFirst <= 0) return *this;
    return Mid(nFirst, m_nDataLength - nFirst);
}

CString CString::Mid(int nFirst, int nCount) const {
    if (nFirst < 0) nFirst = 0;
    if (nCount < 0) nCount = 0;
    if (nFirst >= m_nDataLength) return CString();
    if ((long long)nFirst + nCount > m_nDataLength) nCount = m_nDataLength - nFirst;
    if (nFirst == 0 && nCount == m_nDataLength) return *this;
    CString result;
    result.AssignCopy(m_pchData + nFirst, nCount);
    return result;
}

CString CString::Right(int nCount) const {
    if (nCount >= m_nDataLength) return *this;
    CString result;
    if (nCount > 0) result.AssignCopy(m_pchData + m_nDataLength - nCount, nCount);
    return result;
}

CString CString::SpanIncluding(LPCTSTR lpszCharSet) const {
    const char *end = m_pchData + m_nDataLength;
    const char *p = m_pchData;
    while (p < end) {
        int k = CharLen(p, end);
        if (!SetHas(p, k, lpszCharSet)) break;
        p += k;
    }
    return Left((int)(p - m_pchData));
}

CString CString::SpanExcluding(LPCTSTR lpszCharSet) const {
    const char *end = m_pchData + m_nDataLength;
    const char *p = m_pchData;
    while (p < end) {
        int k = CharLen(p, end);
        if (SetHas(p, k, lpszCharSet)) break;
        p += k;
    }
    return Left((int)(p - m_pchData));
}

// ---- trimming ---------------------------------------------------------------------------

void CString::TrimLeftWhere(bool (*pred)(const char *, int, const void *), const void *ctx) {
    const char *end = m_pchData + m_nDataLength;
    const char *p = m_pchData;
    while (p < end) {
        int k = CharLen(p, end);
        if (!pred(p, k, ctx)) break;
        p += k;
    }
    Delete(0, (int)(p - m_pchData));
}

void CString::TrimRightWhere(bool (*pred)(const char *, int, const void *), const void *ctx) {
    // Walked from the front: only there are character boundaries certain.
    const char *end = m_pchData + m_nDataLength;
    const char *keepEnd = m_pchData;
    for (const char *p = m_pchData; p < end;) {
        int k = CharLen(p, end);
        if (!pred(p, k, ctx)) keepEnd = p + k;
        p += k;
    }
    if (m_pchData != nullptr) SetLengthTo((int)(keepEnd - m_pchData));
}

CString &CString::TrimLeft() {
    TrimLeftWhere(IsWhite, nullptr);
    return *this;
}

CString &CString::TrimLeft(char chTarget) {
    TrimLeftWhere(IsChar, &chTarget);
    return *this;
}

CString &CString::TrimLeft(LPCTSTR lpszTargets) {
    TrimLeftWhere(SetHas, lpszTargets);
    return *this;
}

CString &CString::TrimRight() {
    TrimRightWhere(IsWhite, nullptr);
    return *this;
}

CString &CString::TrimRight(char chTarget) {
    TrimRightWhere(IsChar, &chTarget);
    return *this;
}

CString &CString::TrimRight(LPCTSTR lpszTargets) {
    TrimRightWhere(SetHas, lpszTargets);
    return *this;
}

// ---- editing ------------------------------------------------------------------------------

int CString::Replace(char chOld, char chNew) {
    if (chOld == chNew) return 0;
    int nCount = 0;
    const char *end = m_pchData + m_nDataLength;
    for (char *p = m_pchData; p < end;) {
        int k = CharLen(p, end);
        if (k == 1 && *p == chOld) {
            *p = chNew;
            ++nCount;
        }
        p += k;
    }
    return nCount;
}

int CString::Replace(LPCTSTR lpszOld, LPCTSTR lpszNew) {
    int nOld = LengthOf(lpszOld);
    if (nOld == 0) return 0;
    int nNew = LengthOf(lpszNew);
    const char *end = m_pchData + m_nDataLength;

    int nCount = 0;
    for (const char *p = m_pchData; end - p >= nOld;) {
        if (std::memcmp(p, lpszOld, (size_t)nOld) == 0) {
            ++nCount;
            p += nOld;
        } else {
            p += CharLen(p, end);
        }
    }
    if (nCount == 0) return 0;

    long long nResult = (long long)m_nDataLength + (long long)nCount * (nNew - nOld);
    if (nResult > kMaxLength) AfxThrowMemoryException();
    char *q = Allocate((int)nResult);
    char *out = q;
    for (const char *p = m_pchData; p < end;) {
        if (end - p >= nOld && std::memcmp(p, lpszOld, (size_t)nOld) == 0) {
            if (nNew > 0) std::memcpy(out, lpszNew, (size_t)nNew);
            out += nNew;
            p += nOld;
        } else {
            int k = CharLen(p, end);
            std::memcpy(out, p, (size_t)k);
            out += k;
            p += k;
        }
    }
    TakeBuffer(q, (int)nResult, (int)nResult);
    return nCount;
}

int CString::Remove(char chRemove) {
    int nRemoved = 0;
    const char *end = m_pchData + m_nDataLength;
    char *out = m_pchData;
    for (const char *p = m_pchData; p < end;) {
        int k = CharLen(p, end);
        if (k == 1 && *p == chRemove) {
            ++nRemoved;
        } else {
            std::memmove(out, p, (size_t)k);
            out += k;
        }
        p += k;
    }
    if (nRemoved > 0) SetLengthTo(m_nDataLength - nRemoved);
    return nRemoved;
}

int CString::InsertCopy(int nIndex, const char *p, int n) {
    if (n <= 0) return m_nDataLength;
    if (nIndex < 0) nIndex = 0;
    if (nIndex > m_nDataLength) nIndex = m_nDataLength;
    if (n > kMaxLength - m_nDataLength) AfxThrowMemoryException();
    int nNewLength = m_nDataLength + n;
    char *q = Allocate(nNewLength);
    if (nIndex > 0) std::memcpy(q, m_pchData, (size_t)nIndex);
    std::memcpy(q + nIndex, p, (size_t)n);
    if (m_nDataLength > nIndex) std::memcpy(q + nIndex + n, m_pchData + nIndex, (size_t)(m_nDataLength - nIndex));
    TakeBuffer(q, nNewLength, nNewLength);
    return m_nDataLength;
}

int CString::Insert(int nIndex, char ch) { return InsertCopy(nIndex, &ch, 1); }

int CString::Insert(int nIndex, LPCTSTR pstr) { return InsertCopy(nIndex, pstr, LengthOf(pstr)); }

int CString::Delete(int nIndex, int nCount) {
    if (nIndex < 0) nIndex = 0;
    if (nCount <= 0 || nIndex >= m_nDataLength) return m_nDataLength;
    if (nCount > m_nDataLength - nIndex) nCount = m_nDataLength - nIndex;
    std::memmove(m_pchData + nIndex, m_pchData + nIndex + nCount, (size_t)(m_nDataLength - nIndex - nCount));
    SetLengthTo(m_nDataLength - nCount);
    return m_nDataLength;
}

// ---- resources ------------------------------------------------------------------------------

BOOL CString::LoadString(UINT nID) {
    HINSTANCE hInstance = AfxGetResourceHandle();
    // LoadString truncates to the buffer without saying so: a result that
    // fills the buffer may have been cut, so try again with a larger one.
    for (int nAlloc = 255;; nAlloc = nAlloc * 2 + 1) {
        char *p = Allocate(nAlloc);
        int n = ::LoadStringA(hInstance, nID, p, nAlloc + 1);
        if (n < 0) n = 0;
        if (n > nAlloc) n = nAlloc;
        if (n < nAlloc || nAlloc >= kMaxResourceBuffer) {
            if (n == 0) {
                delete[] p;
                Empty();
                return FALSE;
            }
            TakeBuffer(p, n, nAlloc);
            return TRUE;
        }
        delete[] p;
    }
}
