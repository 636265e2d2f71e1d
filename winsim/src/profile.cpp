// Profile (INI) files over the machine's files, with the rules Windows
// applies: section and key names compare without case; the first section and
// the first key of a name win; lines starting with ';' are comments; blanks
// around names and values are dropped and one pair of matching quotes around
// a value goes; lines before the first section belong to none. Writes edit
// the file text in place, so lines the functions do not touch stay as they
// were, byte for byte.
#include "files_internal.h"
#include "profile_mapping.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace winsim {
namespace {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\r'; }

enum class LineKind { Blank, Section, Comment, Entry, Text };

struct IniLine {
    size_t start = 0, end = 0, next = 0;  // content [start, end) without the line break; `next` starts the next line
    LineKind kind = LineKind::Blank;
    size_t nameB = 0, nameE = 0;    // section or key name, trimmed
    size_t valueB = 0, valueE = 0;  // value of an entry, trimmed
};

void TrimRange(const std::string &d, size_t &b, size_t &e) {
    while (b < e && IsBlank(d[b])) ++b;
    while (e > b && IsBlank(d[e - 1])) --e;
}

void Classify(const std::string &d, IniLine &l) {
    size_t b = l.start, e = l.end;
    while (b < e && IsBlank(d[b])) ++b;
    if (b == e) {
        l.kind = LineKind::Blank;
        return;
    }
    if (d[b] == '[') {
        // The name ends at the first ']', or at the end of the line without one;
        // anything after the ']' is ignored.
        size_t nb = b + 1, ne = nb;
        while (ne < e && d[ne] != ']') ++ne;
        TrimRange(d, nb, ne);
        l.kind = LineKind::Section;
        l.nameB = nb;
        l.nameE = ne;
        return;
    }
    if (d[b] == ';') {
        l.kind = LineKind::Comment;
        return;
    }
    const void *eq = memchr(d.data() + b, '=', e - b);
    if (!eq) {
        l.kind = LineKind::Text;  // in the section, but not a key
        return;
    }
    size_t q = (size_t)((const char *)eq - d.data());
    size_t kb = b, ke = q, vb = q + 1, ve = e;
    TrimRange(d, kb, ke);
    TrimRange(d, vb, ve);
    l.kind = LineKind::Entry;
    l.nameB = kb;
    l.nameE = ke;
    l.valueB = vb;
    l.valueE = ve;
}

// Finds the line that starts at `pos`: its content without the line break,
// and where the next one starts. CR LF, a lone LF and a lone CR each end a
// line. Classification is left to the caller.
bool NextLine(const std::string &d, size_t &pos, IniLine &l) {
    if (pos >= d.size()) return false;
    l.start = pos;
    size_t end = d.find_first_of("\r\n", pos);
    if (end == std::string::npos) {
        l.end = l.next = d.size();
    } else {
        l.end = end;
        l.next = end + 1;
        if (d[end] == '\r' && l.next < d.size() && d[l.next] == '\n') ++l.next;
    }
    pos = l.next;
    return true;
}

// Cheaper than Classify for lines that only matter when they start a section.
bool IsHeader(const std::string &d, const IniLine &l) {
    size_t b = l.start;
    while (b < l.end && IsBlank(d[b])) ++b;
    return b < l.end && d[b] == '[';
}

std::vector<IniLine> ParseIni(const std::string &d) {
    std::vector<IniLine> lines;
    size_t pos = 0;
    IniLine l;
    while (NextLine(d, pos, l)) {
        Classify(d, l);
        lines.push_back(l);
    }
    return lines;
}

bool NameIs(const std::string &d, size_t b, size_t e, const std::string &name) {
    if (e - b != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::toupper((unsigned char)d[b + i]) != std::toupper((unsigned char)name[i])) return false;
    return true;
}

const size_t npos = (size_t)-1;

size_t FindSection(const std::string &d, const std::vector<IniLine> &lines, const std::string &name) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == LineKind::Section && NameIs(d, lines[i].nameB, lines[i].nameE, name)) return i;
    return npos;
}

// One past the last line of the section whose header is at `header`.
size_t SectionEnd(const std::vector<IniLine> &lines, size_t header) {
    size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != LineKind::Section) ++i;
    return i;
}

size_t FindKey(const std::string &d, const std::vector<IniLine> &lines, size_t header, const std::string &key) {
    // A key name starting with ';' is a comment and never found.
    if (!key.empty() && key[0] == ';') return npos;
    size_t end = SectionEnd(lines, header);
    for (size_t i = header + 1; i < end; ++i)
        if (lines[i].kind == LineKind::Entry && NameIs(d, lines[i].nameB, lines[i].nameE, key)) return i;
    return npos;
}

// Section and key names given to the functions lose leading and trailing spaces.
std::string TrimSpaces(const char *s) {
    std::string t = s;
    size_t b = t.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    size_t e = t.find_last_not_of(' ');
    return t.substr(b, e - b + 1);
}

// A name without a path is in the Windows directory; no name means WIN.INI.
std::string ProfilePath(const Machine &m, const char *file) {
    if (!file) return m.windowsDir + "\\win.ini";
    if (!strpbrk(file, "\\/:")) return m.windowsDir + "\\" + file;
    return file;
}

// Windows reads the file whatever sharing other handles allow short of
// exclusive use: a file another program keeps open (even one to be deleted
// when closed) still reads.
bool LoadProfile(Machine &m, const std::string &path, std::string &data, DWORD &error) {
    auto f = OpenFileObject(m, path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            OPEN_EXISTING, 0, error);
    return f && ReadWholeFile(*f, data, error);
}

// One string: truncated to nSize-1 characters plus the NUL.
DWORD CopyValue(const std::string &text, char *out, DWORD size, DWORD errorWhenWhole) {
    if (size == 0) return Fail(0u, ERROR_MORE_DATA);
    if (!out) return Fail(0u, ERROR_NOACCESS);
    size_t n = std::min<size_t>(text.size(), size - 1);
    memcpy(out, text.data(), n);
    out[n] = '\0';
    SetLastError(n < text.size() ? ERROR_MORE_DATA : errorWhenWhole);
    return (DWORD)n;
}

// A list of names, each ending in a NUL, with one more NUL after the last.
// Windows wants room for one character more than the list before it hands
// over the whole list; short of that the last name is cut and two NULs end
// the buffer, and nSize-2 comes back.
DWORD CopyList(const std::string &list, char *out, DWORD size) {
    if (size == 0) return Fail(0u, list.empty() ? NO_ERROR : ERROR_MORE_DATA);
    if (!out) return Fail(0u, ERROR_NOACCESS);
    if (list.empty()) {
        out[0] = '\0';
        SetLastError(NO_ERROR);
        return 0;
    }
    if (list.size() + 2 <= size) {
        memcpy(out, list.data(), list.size());
        out[list.size()] = '\0';
        SetLastError(NO_ERROR);
        return (DWORD)list.size();
    }
    SetLastError(ERROR_MORE_DATA);
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    memcpy(out, list.data(), size - 2);
    out[size - 2] = '\0';
    out[size - 1] = '\0';
    return size - 2;
}

DWORD GetProfileStringCore(const char *app, const char *key, const char *def, char *out, DWORD size,
                           const char *file) {
    Machine &m = LocalMachine();
    std::string fallback = def ? def : "";
    // The default loses trailing blanks (spaces only).
    while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();

    const std::string path = ProfilePath(m, file);
    const std::string section = app ? TrimSpaces(app) : std::string();
    const std::string wanted = key ? TrimSpaces(key) : std::string();
    std::string list;
    std::vector<std::string> mapped;  // sections a registry mapping names come first
    if (app) {
        ProfileMapping map = MapProfileSection(m, path, section, key ? wanted.c_str() : nullptr);
        if (map.kind == ProfileMapping::Unsupported) {
            CopyValue(std::string(), out, size, NO_ERROR);
            return Fail(0u, ERROR_CALL_NOT_IMPLEMENTED);
        }
        if (map.kind == ProfileMapping::Registry) {
            for (const auto &e : MappedEntries(m, map.keyPath)) {
                if (!key) {
                    list += e.first;
                    list += '\0';
                } else if (EqualNoCase(e.first, wanted)) {
                    return CopyValue(e.second, out, size, NO_ERROR);
                }
            }
            return key ? CopyValue(fallback, out, size, ERROR_FILE_NOT_FOUND) : CopyList(list, out, size);
        }
    } else if (MappedSectionNames(m, path, mapped)) {
        for (const auto &name : mapped) {
            list += name;
            list += '\0';
        }
    }

    // One buffer per thread spares an allocation per call.
    static thread_local std::string data;
    DWORD error = 0;
    if (!LoadProfile(m, path, data, error)) {
        if (!app && !list.empty()) return CopyList(list, out, size);
        return CopyValue(fallback, out, size, error);
    }

    // One pass over the lines; only the first section of the name counts.
    bool inSection = false, seen = false;
    size_t pos = 0;
    IniLine l;
    while (NextLine(data, pos, l)) {
        if (IsHeader(data, l)) {
            if (inSection) break;
            Classify(data, l);
            if (!app) {
                std::string name = data.substr(l.nameB, l.nameE - l.nameB);
                bool listed = false;
                for (const auto &n : mapped) listed = listed || EqualNoCase(n, name);
                if (!listed) {
                    list += name;
                    list += '\0';
                }
            } else if (!seen && NameIs(data, l.nameB, l.nameE, section)) {
                inSection = seen = true;
            }
            continue;
        }
        if (!inSection) continue;
        Classify(data, l);
        if (l.kind != LineKind::Entry) continue;
        if (!key) {
            list.append(data, l.nameB, l.nameE - l.nameB);
            list += '\0';
        } else if ((wanted.empty() || wanted[0] != ';') &&  // a ';' key is a comment, never found
                   NameIs(data, l.nameB, l.nameE, wanted)) {
            // A NUL in the file ends the value, as it ends any string.
            std::string value = data.substr(l.valueB, l.valueE - l.valueB);
            value.resize(strnlen(value.c_str(), value.size()));
            if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
                value = value.substr(1, value.size() - 2);
            return CopyValue(value, out, size, NO_ERROR);
        }
    }
    if (!app || !key) return CopyList(list, out, size);
    return CopyValue(fallback, out, size, ERROR_FILE_NOT_FOUND);
}

// The text of the file with the given lines left out.
std::string Without(const std::string &d, const std::vector<IniLine> &lines, const std::vector<bool> &drop) {
    std::string r;
    r.reserve(d.size());
    for (size_t i = 0; i < lines.size(); ++i)
        if (!drop[i]) r.append(d, lines[i].start, lines[i].next - lines[i].start);
    return r;
}

bool EndsWithBreak(const IniLine &l) { return l.next > l.end; }

}  // namespace
}  // namespace winsim

using namespace winsim;

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                                 LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    WINSIM_FAULT_RETURN("GetPrivateProfileStringA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return GetProfileStringCore(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize, lpFileName);
}

extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
    WINSIM_FAULT_RETURN("GetPrivateProfileIntA", (UINT)nDefault);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    char text[64];
    if (GetProfileStringCore(lpAppName, lpKeyName, "", text, sizeof text, lpFileName) == 0) return (UINT)nDefault;
    // Decimal with an optional sign; reading stops at the first non-digit
    // ("12abc" is 12) and the value wraps at 32 bits, as RtlCharToInteger does.
    const char *p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + (uint32_t)(*p - '0');
    return negative ? 0u - value : value;
}

namespace winsim {
namespace {

// Drops every value of a mapped section's registry key.
void ClearMappedSection(Machine &m, const std::string &keyPath) {
    if (RegKey *k = m.registry.Find(keyPath))
        while (!k->values.empty()) k->DeleteValue(k->values.front().name);
}

BOOL WriteProfileStringCore(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
    if (!lpAppName) {
        // All three NULL flushes the profile cache, and that reports FALSE.
        if (!lpKeyName && !lpString) return FALSE;
        return Fail(FALSE, ERROR_FILE_NOT_FOUND);
    }
    Machine &m = LocalMachine();
    std::string path = ProfilePath(m, lpFileName);
    {
        const std::string key = lpKeyName ? TrimSpaces(lpKeyName) : std::string();
        ProfileMapping map = MapProfileSection(m, path, TrimSpaces(lpAppName), lpKeyName ? key.c_str() : nullptr);
        if (map.kind == ProfileMapping::Unsupported) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
        if (map.kind == ProfileMapping::Registry) {
            if (!lpKeyName) {
                ClearMappedSection(m, map.keyPath);
            } else if (!lpString) {
                if (RegKey *k = m.registry.Find(map.keyPath)) k->DeleteValue(key);
            } else {
                m.registry.SetString(map.keyPath, key, lpString);
            }
            if (!map.alsoFile) {
                SetLastError(NO_ERROR);
                return TRUE;
            }
        }
    }
    DWORD error = 0;
    bool existed = false;
    auto f = OpenFileObject(m, path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, error, &existed);
    if (!f) return Fail(FALSE, error);
    std::string data;
    if (!ReadWholeFile(*f, data, error)) return Fail(FALSE, error);
    std::vector<IniLine> lines = ParseIni(data);
    const std::string section = TrimSpaces(lpAppName);
    size_t header = FindSection(data, lines, section);
    std::string updated;
    bool changed = false;

    if (!lpKeyName) {
        // The section goes: its header and its entries; comments and blank
        // lines stay where they are.
        if (header != npos) {
            std::vector<bool> drop(lines.size(), false);
            size_t end = SectionEnd(lines, header);
            drop[header] = true;
            for (size_t i = header + 1; i < end; ++i)
                drop[i] = lines[i].kind == LineKind::Entry || lines[i].kind == LineKind::Text;
            updated = Without(data, lines, drop);
            changed = true;
        }
    } else {
        const std::string key = TrimSpaces(lpKeyName);
        size_t at = header == npos ? npos : FindKey(data, lines, header, key);
        if (!lpString) {
            if (at != npos) {
                std::vector<bool> drop(lines.size(), false);
                drop[at] = true;
                updated = Without(data, lines, drop);
                changed = true;
            }
        } else if (at != npos) {
            // The key keeps its name as the file spells it.
            const IniLine &l = lines[at];
            updated = data.substr(0, l.start) + data.substr(l.nameB, l.nameE - l.nameB) + "=" + lpString +
                      data.substr(l.end);
            changed = true;
        } else if (header != npos) {
            // A new key follows the last entry of its section (comments after
            // it stay below), or the header when there is none.
            size_t after = header;
            size_t end = SectionEnd(lines, header);
            for (size_t i = header + 1; i < end; ++i)
                if (lines[i].kind == LineKind::Entry || lines[i].kind == LineKind::Text) after = i;
            const IniLine &l = lines[after];
            std::string insert = key + "=" + lpString + "\r\n";
            if (!EndsWithBreak(l)) insert = "\r\n" + insert;
            updated = data.substr(0, l.next) + insert + data.substr(l.next);
            changed = true;
        } else {
            updated = data;
            if (!updated.empty() && updated.back() != '\n' && updated.back() != '\r') updated += "\r\n";
            updated += "[" + section + "]\r\n" + key + "=" + lpString + "\r\n";
            changed = true;
        }
    }
    if (changed && !ReplaceWholeFile(*f, updated, error)) return Fail(FALSE, error);
    // Windows reports the file it did not find, even after creating it.
    SetLastError(existed ? NO_ERROR : ERROR_FILE_NOT_FOUND);
    return TRUE;
}

// The lines of a section as GetPrivateProfileSection lists them: entries as
// "name=value" (blanks around both dropped, quotes kept), other text lines as
// they stand; comments and blank lines left out.
std::string SectionList(const std::string &d, const std::vector<IniLine> &lines, size_t header) {
    std::string list;
    size_t end = SectionEnd(lines, header);
    for (size_t i = header + 1; i < end; ++i) {
        const IniLine &l = lines[i];
        std::string item;
        if (l.kind == LineKind::Entry) {
            item = d.substr(l.nameB, l.nameE - l.nameB) + "=" + d.substr(l.valueB, l.valueE - l.valueB);
        } else if (l.kind == LineKind::Text) {
            size_t b = l.start, e = l.end;
            TrimRange(d, b, e);
            item = d.substr(b, e - b);
        } else {
            continue;
        }
        item.resize(strnlen(item.c_str(), item.size()));  // a NUL ends the line's text
        list += item;
        list += '\0';
    }
    return list;
}

// Replaces the entries of a section with `entries` (each "key=value"), or
// drops the section when `entries` is null. Comments and blank lines of the
// section stay.
BOOL WriteSectionCore(const char *app, const char *entries, const char *file) {
    Machine &m = LocalMachine();
    std::string path = ProfilePath(m, file);
    ProfileMapping map = MapProfileSection(m, path, TrimSpaces(app), nullptr);
    if (map.kind == ProfileMapping::Unsupported) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    if (map.kind == ProfileMapping::Registry) {
        // In the registry the entries are added to the section's values;
        // only a NULL string clears it.
        if (!entries) ClearMappedSection(m, map.keyPath);
        for (const char *p = entries; p && *p; p += strlen(p) + 1) {
            const char *eq = strchr(p, '=');
            if (!eq) continue;
            std::string name(p, (size_t)(eq - p));
            size_t b = name.find_first_not_of(" \t"), e = name.find_last_not_of(" \t");
            name = b == std::string::npos ? std::string() : name.substr(b, e - b + 1);
            m.registry.SetString(map.keyPath, name, eq + 1);
        }
        if (!map.alsoFile) {
            SetLastError(NO_ERROR);
            return TRUE;
        }
    }
    DWORD error = 0;
    bool existed = false;
    auto f = OpenFileObject(m, path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, error, &existed);
    if (!f) return Fail(FALSE, error);
    std::string data;
    if (!ReadWholeFile(*f, data, error)) return Fail(FALSE, error);
    std::vector<IniLine> lines = ParseIni(data);
    const std::string section = TrimSpaces(app);
    std::string text;
    for (const char *p = entries; p && *p; p += strlen(p) + 1) text += std::string(p) + "\r\n";
    size_t header = FindSection(data, lines, section);
    std::string updated;
    if (header == npos) {
        if (!entries) return TRUE;
        updated = data;
        if (!updated.empty() && updated.back() != '\n' && updated.back() != '\r') updated += "\r\n";
        updated += "[" + section + "]\r\n" + text;
    } else {
        size_t end = SectionEnd(lines, header);
        for (size_t i = 0; i < lines.size(); ++i) {
            const IniLine &l = lines[i];
            if (i == header) {
                if (!entries) continue;
                updated.append(data, l.start, l.next - l.start);
                if (!EndsWithBreak(l)) updated += "\r\n";
                updated += text;
                continue;
            }
            if (i > header && i < end && (l.kind == LineKind::Entry || l.kind == LineKind::Text)) continue;
            updated.append(data, l.start, l.next - l.start);
        }
    }
    if (!ReplaceWholeFile(*f, updated, error)) return Fail(FALSE, error);
    SetLastError(existed ? NO_ERROR : ERROR_FILE_NOT_FOUND);
    return TRUE;
}

const char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace
}  // namespace winsim

extern "C" BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                                  LPCSTR lpFileName) {
    WINSIM_FAULT_RETURN("WritePrivateProfileStringA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return WriteProfileStringCore(lpAppName, lpKeyName, lpString, lpFileName);
}

// The section's lines, each ending in a NUL, and one more NUL; a buffer too
// small gets what fits, two NULs, and nSize-2 back.
extern "C" DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                                  LPCSTR lpFileName) {
    WINSIM_FAULT_RETURN("GetPrivateProfileSectionA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpAppName || !lpReturnedString) return Fail(0u, ERROR_INVALID_PARAMETER);
    Machine &m = LocalMachine();
    ProfileMapping map = MapProfileSection(m, ProfilePath(m, lpFileName), TrimSpaces(lpAppName), nullptr);
    if (map.kind == ProfileMapping::Unsupported) {
        CopyList(std::string(), lpReturnedString, nSize);
        return Fail(0u, ERROR_CALL_NOT_IMPLEMENTED);
    }
    if (map.kind == ProfileMapping::Registry) {
        std::string list;
        for (const auto &e : MappedEntries(m, map.keyPath)) {
            list += e.first + "=" + e.second;
            list += '\0';
        }
        return CopyList(list, lpReturnedString, nSize);
    }
    std::string data;
    DWORD error = 0;
    if (!LoadProfile(m, ProfilePath(m, lpFileName), data, error)) {
        CopyList(std::string(), lpReturnedString, nSize);
        return Fail(0u, error);
    }
    std::vector<IniLine> lines = ParseIni(data);
    size_t header = FindSection(data, lines, TrimSpaces(lpAppName));
    return CopyList(header == npos ? std::string() : SectionList(data, lines, header), lpReturnedString, nSize);
}

// The names of all sections, as GetPrivateProfileString lists them for a
// NULL section name.
extern "C" DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
    WINSIM_FAULT_RETURN("GetPrivateProfileSectionNamesA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpszReturnBuffer || !nSize) return 0;
    return GetProfileStringCore(nullptr, nullptr, "", lpszReturnBuffer, nSize, lpFileName);
}

// lpString holds "key=value" strings, each ending in a NUL, and a final NUL;
// they replace the section's entries. A NULL lpString deletes the section.
extern "C" BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
    WINSIM_FAULT_RETURN("WritePrivateProfileSectionA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpAppName) {
        // Both NULL flushes the profile cache, and that reports FALSE.
        if (!lpString) return FALSE;
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    }
    return WriteSectionCore(lpAppName, lpString, lpFileName);
}

// A structure is stored as two upper-case hex digits per byte followed by a
// checksum byte: the sum of the bytes modulo 256.
extern "C" BOOL WINAPI WritePrivateProfileStructA(LPCSTR lpszSection, LPCSTR lpszKey, LPVOID lpStruct,
                                                  UINT uSizeStruct, LPCSTR szFile) {
    WINSIM_FAULT_RETURN("WritePrivateProfileStructA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpStruct) return WriteProfileStringCore(lpszSection, lpszKey, nullptr, szFile);
    const BYTE *bytes = static_cast<const BYTE *>(lpStruct);
    std::string hex;
    hex.reserve((size_t)uSizeStruct * 2 + 2);
    unsigned sum = 0;
    for (UINT i = 0; i < uSizeStruct; ++i) {
        hex += kHexDigits[bytes[i] >> 4];
        hex += kHexDigits[bytes[i] & 0xF];
        sum += bytes[i];
    }
    hex += kHexDigits[(sum >> 4) & 0xF];
    hex += kHexDigits[sum & 0xF];
    return WriteProfileStringCore(lpszSection, lpszKey, hex.c_str(), szFile);
}

// Reads what WritePrivateProfileStruct wrote: the value must hold exactly
// uSizeStruct bytes and the checksum (else ERROR_BAD_LENGTH), in hex digits
// of either case with a matching checksum (else ERROR_INVALID_DATA). The
// caller's buffer changes only on success.
extern "C" BOOL WINAPI GetPrivateProfileStructA(LPCSTR lpszSection, LPCSTR lpszKey, LPVOID lpStruct,
                                                UINT uSizeStruct, LPCSTR szFile) {
    WINSIM_FAULT_RETURN("GetPrivateProfileStructA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpszSection || !lpszKey || !lpStruct) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    size_t want = (size_t)uSizeStruct * 2 + 2;
    if (want + 2 > 0xFFFFFFFFu) return Fail(FALSE, ERROR_BAD_LENGTH);
    std::vector<char> text(want + 2);
    DWORD n = GetProfileStringCore(lpszSection, lpszKey, "", text.data(), (DWORD)text.size(), szFile);
    if (n != want) return Fail(FALSE, ERROR_BAD_LENGTH);
    std::vector<BYTE> bytes(uSizeStruct);
    unsigned sum = 0;
    for (size_t i = 0; i <= uSizeStruct; ++i) {
        int hi = HexValue(text[2 * i]), lo = HexValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return Fail(FALSE, ERROR_INVALID_DATA);
        BYTE b = (BYTE)(hi * 16 + lo);
        if (i == uSizeStruct) {
            if (b != (BYTE)sum) return Fail(FALSE, ERROR_INVALID_DATA);
        } else {
            bytes[i] = b;
            sum += b;
        }
    }
    if (uSizeStruct) memcpy(lpStruct, bytes.data(), uSizeStruct);
    return TRUE;
}
