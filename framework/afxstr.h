// CString: a growable string of 8-bit ANSI characters with the MFC interface
// the product is written against. Positions and lengths count bytes; the
// searching, trimming and case functions step over double-byte characters
// whole when the system code page has lead bytes (IsDBCSLeadByte), as the
// MBCS build of MFC does. Allocation failure throws CMemoryException*.
#ifndef QL_AFXSTR_H
#define QL_AFXSTR_H

#include "afxver.h"

// The module whose string table CString::LoadString reads; the library sets
// it to its own instance when it is loaded.
QL_FRAMEWORK_API HINSTANCE AfxGetResourceHandle();
QL_FRAMEWORK_API void AfxSetResourceHandle(HINSTANCE hInstResource);

class QL_FRAMEWORK_API CString {
public:
    CString();
    CString(const CString &stringSrc);
    CString(CString &&stringSrc) noexcept;
    // NULL gives an empty string; MAKEINTRESOURCE(id) loads string resource id.
    CString(LPCTSTR lpsz);
    CString(char ch, int nRepeat = 1);
    // At most nLength characters of lpch (fewer when a NUL comes first).
    CString(LPCTSTR lpch, int nLength);
    ~CString();

    CString &operator=(const CString &stringSrc);
    CString &operator=(CString &&stringSrc) noexcept;
    CString &operator=(LPCTSTR lpsz);
    CString &operator=(char ch);

    int GetLength() const { return m_nDataLength; }
    BOOL IsEmpty() const { return m_nDataLength == 0; }
    void Empty();

    // Out-of-range positions read as '\0' and are not written.
    char GetAt(int nIndex) const;
    char operator[](int nIndex) const { return GetAt(nIndex); }
    void SetAt(int nIndex, char ch);

    // Never NULL: an empty string gives "".
    operator LPCTSTR() const { return m_pchData ? m_pchData : ""; }

    CString &operator+=(const CString &string);
    CString &operator+=(LPCTSTR lpsz);
    CString &operator+=(char ch);

    friend QL_FRAMEWORK_API CString operator+(const CString &string1, const CString &string2);
    friend QL_FRAMEWORK_API CString operator+(const CString &string, LPCTSTR lpsz);
    friend QL_FRAMEWORK_API CString operator+(LPCTSTR lpsz, const CString &string);
    friend QL_FRAMEWORK_API CString operator+(const CString &string, char ch);
    friend QL_FRAMEWORK_API CString operator+(char ch, const CString &string);

    // Byte-wise comparison: negative, 0 or positive (-1, 0, 1).
    int Compare(LPCTSTR lpsz) const;
    // As Compare after folding ASCII letters to lower case (as the C
    // runtime's stricmp does); other bytes compare by value, so "_" sorts
    // before "a". This matches lstrcmpi for ASCII letters, not its
    // locale-aware ordering of punctuation.
    int CompareNoCase(LPCTSTR lpsz) const;

    // printf-style formatting of any length.
    void Format(LPCTSTR lpszFormat, ...) QL_PRINTF_LIKE(2, 3);
    void FormatV(LPCTSTR lpszFormat, va_list argList);

    // Case changes touch ASCII letters only (the C locale's rules).
    CString &MakeUpper();
    CString &MakeLower();
    CString &MakeReverse();

    // Searches return a byte index or -1. A start outside the string finds
    // nothing (for a substring, a start equal to the length is allowed).
    int Find(char ch) const;
    int Find(char ch, int nStart) const;
    int Find(LPCTSTR lpszSub) const;
    int Find(LPCTSTR lpszSub, int nStart) const;
    int ReverseFind(char ch) const;
    int FindOneOf(LPCTSTR lpszCharSet) const;

    // Counts and positions out of range are clamped to the string, as MFC does.
    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Right(int nCount) const;
    CString SpanIncluding(LPCTSTR lpszCharSet) const;
    CString SpanExcluding(LPCTSTR lpszCharSet) const;

    // Without an argument: white space (space, \t, \n, \v, \f, \r).
    CString &TrimLeft();
    CString &TrimLeft(char chTarget);
    CString &TrimLeft(LPCTSTR lpszTargets);
    CString &TrimRight();
    CString &TrimRight(char chTarget);
    CString &TrimRight(LPCTSTR lpszTargets);

    // Each returns the number of replacements or removals.
    int Replace(char chOld, char chNew);
    int Replace(LPCTSTR lpszOld, LPCTSTR lpszNew);
    int Remove(char chRemove);
    // Each returns the new length. An index past the end inserts at the end.
    int Insert(int nIndex, char ch);
    int Insert(int nIndex, LPCTSTR pstr);
    int Delete(int nIndex, int nCount = 1);

    // A writable buffer of at least nMinBufLength characters plus the NUL,
    // holding the current text. Call ReleaseBuffer before any other member.
    LPTSTR GetBuffer(int nMinBufLength);
    LPTSTR GetBufferSetLength(int nNewLength);
    // nNewLength -1: the text ends at the first NUL of the buffer.
    void ReleaseBuffer(int nNewLength = -1);

    // Loads string resource nID from AfxGetResourceHandle(); FALSE (and the
    // string empty) when there is no such string.
    BOOL LoadString(UINT nID);

private:
    char *m_pchData;     // NULL until a buffer is needed
    int m_nDataLength;   // characters before the NUL
    int m_nAllocLength;  // characters the buffer holds besides the NUL

    static CString Concat(const char *p1, int n1, const char *p2, int n2);
    void AssignCopy(const char *p, int n);
    int InsertCopy(int nIndex, const char *p, int n);
    void AppendCopy(const char *p, int n);
    void Reserve(int nMinAlloc, bool bGrowGeometric);
    void SetLengthTo(int n);
    void TakeBuffer(char *p, int nLength, int nAlloc);
    void TrimLeftWhere(bool (*pred)(const char *, int, const void *), const void *ctx);
    void TrimRightWhere(bool (*pred)(const char *, int, const void *), const void *ctx);
};

QL_FRAMEWORK_API bool operator==(const CString &s1, const CString &s2);
QL_FRAMEWORK_API bool operator==(const CString &s1, LPCTSTR s2);
QL_FRAMEWORK_API bool operator==(LPCTSTR s1, const CString &s2);
QL_FRAMEWORK_API bool operator!=(const CString &s1, const CString &s2);
QL_FRAMEWORK_API bool operator!=(const CString &s1, LPCTSTR s2);
QL_FRAMEWORK_API bool operator!=(LPCTSTR s1, const CString &s2);
QL_FRAMEWORK_API bool operator<(const CString &s1, const CString &s2);
QL_FRAMEWORK_API bool operator<(const CString &s1, LPCTSTR s2);
QL_FRAMEWORK_API bool operator<(LPCTSTR s1, const CString &s2);
QL_FRAMEWORK_API bool operator>(const CString &s1, const CString &s2);
QL_FRAMEWORK_API bool operator>(const CString &s1, LPCTSTR s2);
QL_FRAMEWORK_API bool operator>(LPCTSTR s1, const CString &s2);

#endif
