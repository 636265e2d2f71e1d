// Collections of CString: an array and a string-to-string map, with the MFC
// interface. Indexes are ints. Allocation failure throws CMemoryException*.
#ifndef QL_AFXCOLL_H
#define QL_AFXCOLL_H

#include "afxexcept.h"
#include "afxstr.h"

#include <map>
#include <vector>

// An iteration cursor of a collection; NULL when there is nothing more.
struct QL_POSITION_TAG;
typedef QL_POSITION_TAG *POSITION;

class QL_FRAMEWORK_API CStringArray : public CObject {
    DECLARE_DYNAMIC(CStringArray)
public:
    CStringArray();
    ~CStringArray() override;

    int GetSize() const;
    int GetCount() const;
    int GetUpperBound() const;  // GetSize() - 1
    BOOL IsEmpty() const;
    // Grows with empty strings or cuts from the end; nGrowBy is accepted for
    // MFC compatibility and not needed (the storage grows geometrically).
    void SetSize(int nNewSize, int nGrowBy = -1);

    // An index outside the array reads as an empty string; SetAt ignores it,
    // and ElementAt and operator[] then give a scratch string whose changes
    // are dropped (MFC asserts; this never writes outside the array).
    const CString &GetAt(int nIndex) const;
    void SetAt(int nIndex, LPCTSTR newElement);
    CString &ElementAt(int nIndex);
    const CString &operator[](int nIndex) const;
    CString &operator[](int nIndex);

    int Add(LPCTSTR newElement);  // the new element's index
    int Add(const CString &newElement);
    int Append(const CStringArray &src);  // the index of the first appended
    void Copy(const CStringArray &src);
    // Inserts nCount copies before nIndex; an index past the end first pads
    // the array with empty strings, as MFC does.
    void InsertAt(int nIndex, LPCTSTR newElement, int nCount = 1);
    // The part of [nIndex, nIndex + nCount) inside the array is removed.
    void RemoveAt(int nIndex, int nCount = 1);
    void RemoveAll();

private:
    std::vector<CString> m_items;
    CString m_strScratch;
};

// Keys compare case-sensitively. GetNextAssoc visits the keys in ascending
// byte order (strcmp order). A POSITION names the association visited next,
// so the one just returned may be removed while iterating; a POSITION whose
// association has been removed ends the iteration.
class QL_FRAMEWORK_API CMapStringToString : public CObject {
    DECLARE_DYNAMIC(CMapStringToString)
public:
    // nBlockSize is kept for MFC compatibility; the map allocates per entry.
    explicit CMapStringToString(int nBlockSize = 10);
    ~CMapStringToString() override;

    int GetCount() const;
    int GetSize() const;
    BOOL IsEmpty() const;
    int GetBlockSize() const { return m_nBlockSize; }

    BOOL Lookup(LPCTSTR key, CString &rValue) const;  // rValue unchanged when absent
    CString &operator[](LPCTSTR key);                 // adds an empty value when absent
    void SetAt(LPCTSTR key, LPCTSTR newValue);        // adds or replaces
    BOOL RemoveKey(LPCTSTR key);
    void RemoveAll();

    POSITION GetStartPosition() const;
    // Returns the association at rNextPosition and moves it on (NULL after
    // the last). A NULL or stale position returns empty strings and NULL.
    void GetNextAssoc(POSITION &rNextPosition, CString &rKey, CString &rValue) const;

private:
    // Transparent, so that lookups by a char pointer make no CString.
    struct KeyLess {
        typedef void is_transparent;
        bool operator()(const CString &a, const CString &b) const { return a.Compare(b) < 0; }
        bool operator()(const CString &a, LPCTSTR b) const { return a.Compare(b) < 0; }
        bool operator()(LPCTSTR a, const CString &b) const { return b.Compare(a) > 0; }
    };
    struct Entry {
        CString value;
        UINT_PTR serial;  // what a POSITION holds: never 0, not reused
    };
    typedef std::map<CString, Entry, KeyLess> Table;

    Table::iterator Insert(LPCTSTR key);

    int m_nBlockSize;
    UINT_PTR m_nNextSerial;
    Table m_table;
    std::map<UINT_PTR, Table::iterator> m_bySerial;
};

#endif
