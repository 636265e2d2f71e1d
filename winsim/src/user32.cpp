// user32 and the string helpers of kernel32: string resources, message
// boxes (answered by script or by the default button), wsprintf, character
// and lstr functions on the machine's ANSI code page.
#include "sim_helpers.h"
#include "windows_internal.h"

#include <cctype>
#include <cstring>

namespace winsim {

namespace {

// Windows 2000's desktop window handle is fixed for the session.
const uintptr_t kDesktopWindow = 0x00010014;
// GetModuleHandle(NULL): the running program.
const uintptr_t kProgramModule = 0x00400000;

// The buttons of each MB_ type, left to right.
struct ButtonSet {
    int count;
    int ids[3];
};
const ButtonSet kButtonSets[] = {
    {1, {IDOK, 0, 0}},                         // MB_OK
    {2, {IDOK, IDCANCEL, 0}},                  // MB_OKCANCEL
    {3, {IDABORT, IDRETRY, IDIGNORE}},         // MB_ABORTRETRYIGNORE
    {3, {IDYES, IDNO, IDCANCEL}},              // MB_YESNOCANCEL
    {2, {IDYES, IDNO, 0}},                     // MB_YESNO
    {2, {IDRETRY, IDCANCEL, 0}},               // MB_RETRYCANCEL
    {3, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}},   // MB_CANCELTRYCONTINUE
};

// Code page 1252 letters beyond ASCII: the accented ranges and the few
// pairs in 0x80-0x9F (S/Z caron, OE, Y diaeresis).
unsigned char Upper1252(unsigned char c) {
    if (c >= 'a' && c <= 'z') return (unsigned char)(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return (unsigned char)(c - 32);
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
    }
}

unsigned char Lower1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return (unsigned char)(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return (unsigned char)(c + 32);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

// Only ASCII letters change case on a DBCS code page's single bytes.
unsigned char UpperOf(unsigned cp, unsigned char c) {
    if (cp == 1252) return Upper1252(c);
    return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 32) : c;
}

unsigned char LowerOf(unsigned cp, unsigned char c) {
    if (cp == 1252) return Lower1252(c);
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + 32) : c;
}

bool IsLetter1252(unsigned char c) { return Upper1252(c) != Lower1252(c) || c == 0xDF || c == 0xAA || c == 0xBA; }

// Sort weight of a character for lstrcmp/lstrcmpi: punctuation and symbols
// first, then digits, then letters without case. This is a simplification of
// CompareString's word sort (which also ignores hyphens and apostrophes and
// orders symbols by its own tables); it keeps the ordering callers rely on:
// "a" < "B" and "1" < "a".
int Weight(unsigned char c) {
    if (std::isdigit(c)) return 0x200 + c;
    if (IsLetter1252(c)) return 0x300 + Upper1252(c);
    return c;
}

int CompareStrings(const char *a, const char *b, bool ignoreCase) {
    if (!a && !b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    const unsigned char *p = (const unsigned char *)a, *q = (const unsigned char *)b;
    for (; *p && *q; ++p, ++q) {
        int wa = Weight(*p), wb = Weight(*q);
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (*p || *q) return *p ? 1 : -1;
    if (ignoreCase) return 0;
    // Same letters: the first difference in case decides, lower case first.
    for (p = (const unsigned char *)a, q = (const unsigned char *)b; *p; ++p, ++q)
        if (*p != *q) return Lower1252(*p) == *p ? -1 : 1;
    return 0;
}

char NarrowChar(unsigned v) { return v < 0x100 ? (char)v : '?'; }

std::string NarrowWide(const WCHAR *w, size_t maxChars) {
    std::string s;
    for (; *w && s.size() < maxChars; ++w) s += NarrowChar(*w);
    return s;
}

std::string Digits(unsigned long long v, unsigned base, bool upper) {
    const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string d;
    do {
        d.insert(d.begin(), set[v % base]);
        v /= base;
    } while (v);
    return d;
}

struct VaArgs : PrintfArgs {
    va_list ap;
    explicit VaArgs(va_list src) { va_copy(ap, src); }
    ~VaArgs() override { va_end(ap); }
    int Int() override { return va_arg(ap, int); }
    long long Int64() override { return va_arg(ap, long long); }
    const void *Pointer() override { return va_arg(ap, const void *); }
};

// The output buffer holds at most 1024 bytes: 1023 characters and the NUL.
const size_t kWsprintfLimit = 1023;

int WsprintfTo(LPSTR buffer, LPCSTR format, PrintfArgs &args) {
    if (!buffer) return 0;
    std::string out = format ? FormatWsprintf(format, args, kWsprintfLimit) : std::string();
    memcpy(buffer, out.data(), out.size());
    buffer[out.size()] = '\0';
    return (int)out.size();
}

}  // namespace

unsigned CurrentCodePage() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return HasLocalMachine() ? LocalMachine().codePage : 1252;
}

bool IsLeadByteOf(unsigned codePage, unsigned char c) {
    if (codePage == 932) return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return false;
}

int DefaultButtonOfStyle(UINT style) {
    UINT type = style & MB_TYPEMASK;
    if (type >= sizeof(kButtonSets) / sizeof(kButtonSets[0])) return 0;
    const ButtonSet &set = kButtonSets[type];
    // A default button the box does not have falls back to the first one.
    UINT index = (style & MB_DEFMASK) >> 8;
    return index < (UINT)set.count ? set.ids[index] : set.ids[0];
}

// wsprintf: %[-][#][0][width][.precision][l|h|I64|I32|I]type with types c C d i u
// x X s S p and %%; no floating point. An unknown type prints its letter.
std::string FormatWsprintf(const char *format, PrintfArgs &args, size_t limit) {
    std::string out;
    const char *p = format;
    while (*p && out.size() < limit) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        ++p;
        if (*p == '%') {
            out += '%';
            ++p;
            continue;
        }
        bool left = false, prefix = false, zero = false;
        if (*p == '-') left = true, ++p;
        if (*p == '#') prefix = true, ++p;
        if (*p == '0') zero = true, ++p;
        size_t width = 0, precision = 0;
        bool hasPrecision = false;
        while (std::isdigit((unsigned char)*p)) width = std::min<size_t>(width * 10 + (size_t)(*p++ - '0'), 4096);
        if (*p == '.') {
            hasPrecision = true;
            ++p;
            while (std::isdigit((unsigned char)*p))
                precision = std::min<size_t>(precision * 10 + (size_t)(*p++ - '0'), 4096);
        }
        enum { Default, Short, Long, Int64 } size = Default;
        if (*p == 'l') {
            size = Long;
            ++p;
        } else if (*p == 'h') {
            size = Short;
            ++p;
        } else if (*p == 'I') {
            // I64 and I32 give the argument's size; a bare I is pointer-sized.
            if (p[1] == '6' && p[2] == '4') {
                size = Int64;
                p += 3;
            } else if (p[1] == '3' && p[2] == '2') {
                p += 3;
            } else {
                if (sizeof(void *) == 8) size = Int64;
                ++p;
            }
        }
        char type = *p;
        if (!type) break;
        ++p;
        std::string sign, body;
        bool numeric = false;
        switch (type) {
        case 'c':
        case 'C': {
            int v = args.Int();
            bool wide = (type == 'C' && size != Short) || (type == 'c' && size == Long);
            body.assign(1, wide ? NarrowChar((unsigned)(WCHAR)v) : (char)v);
            break;
        }
        case 's':
        case 'S': {
            const void *ptr = args.Pointer();
            bool wide = (type == 'S' && size != Short) || (type == 's' && size == Long);
            size_t max = hasPrecision ? precision : (size_t)-1;
            if (!ptr)
                body = std::string("(null)").substr(0, std::min<size_t>(max, 6));
            else if (wide)
                body = NarrowWide((const WCHAR *)ptr, max);
            else
                body.assign((const char *)ptr, strnlen((const char *)ptr, max));
            break;
        }
        case 'd':
        case 'i': {
            long long v = size == Int64 ? args.Int64() : (long long)args.Int();
            if (size == Short) v = (short)v;
            unsigned long long mag = v < 0 ? 0ull - (unsigned long long)v : (unsigned long long)v;
            if (v < 0) sign = "-";
            body = Digits(mag, 10, false);
            numeric = true;
            break;
        }
        case 'u': {
            unsigned long long v = size == Int64 ? (unsigned long long)args.Int64() : (unsigned)args.Int();
            if (size == Short) v = (unsigned short)v;
            body = Digits(v, 10, false);
            numeric = true;
            break;
        }
        case 'x':
        case 'X': {
            unsigned long long v = size == Int64 ? (unsigned long long)args.Int64() : (unsigned)args.Int();
            if (size == Short) v = (unsigned short)v;
            body = Digits(v, 16, type == 'X');
            if (prefix) sign = type == 'X' ? "0X" : "0x";
            numeric = true;
            break;
        }
        case 'p': {
            uintptr_t v = (uintptr_t)args.Pointer();
            body = Digits(v, 16, true);
            if (body.size() < sizeof(void *) * 2) body.insert(0, sizeof(void *) * 2 - body.size(), '0');
            break;
        }
        default:
            body.assign(1, type);
            break;
        }
        if (numeric && hasPrecision && body.size() < precision) body.insert(0, precision - body.size(), '0');
        std::string field = sign + body;
        if (field.size() < width) {
            size_t pad = width - field.size();
            if (left)
                field.append(pad, ' ');
            else if (zero && numeric)
                field = sign + std::string(pad, '0') + body;
            else
                field.insert(0, pad, ' ');
        }
        out += field.substr(0, limit - out.size());
    }
    if (out.size() > limit) out.resize(limit);
    return out;
}

}  // namespace winsim

using namespace winsim;

// ---- resources ------------------------------------------------------------------
// Copies at most cchBufferMax - 1 characters and a NUL and returns how many
// were copied. The ANSI form cannot hand out a pointer to the resource
// (cchBufferMax 0), which Windows does not support either.
extern "C" int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    WINSIM_FAULT_RETURN("LoadStringA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpBuffer || cchBufferMax <= 0) return Fail(0, ERROR_INVALID_PARAMETER);
    lpBuffer[0] = '\0';
    HMODULE module = hInstance ? (HMODULE)hInstance : (HMODULE)kProgramModule;
    std::string text;
    // String ids are WORDs: the high word of uID plays no part.
    switch (FindStringResource(module, uID & 0xFFFFu, text)) {
    case StringLookup::NoResources:
        return Fail(0, ERROR_RESOURCE_DATA_NOT_FOUND);
    case StringLookup::NoStringTable:
        return Fail(0, ERROR_RESOURCE_TYPE_NOT_FOUND);
    case StringLookup::NoBlock:
        return Fail(0, ERROR_RESOURCE_NAME_NOT_FOUND);
    case StringLookup::EmptySlot:
        return 0;
    case StringLookup::Found:
        break;
    }
    size_t n = std::min(text.size(), (size_t)cchBufferMax - 1);
    memcpy(lpBuffer, text.data(), n);
    lpBuffer[n] = '\0';
    return (int)n;
}

// ---- message boxes ----------------------------------------------------------------
extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    WINSIM_FAULT_RETURN("MessageBoxA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    int button = DefaultButtonOfStyle(uType);
    if (!button) return Fail(0, ERROR_INVALID_MSGBOX_STYLE);
    Machine &m = LocalMachine();
    if (!m.scriptedAnswers.empty()) {
        button = m.scriptedAnswers.front();
        m.scriptedAnswers.erase(m.scriptedAnswers.begin());
    }
    // A box without a caption is titled "Error", as on Windows.
    m.messageBoxes.push_back(MessageBoxRecord{hWnd, lpCaption ? lpCaption : "Error", lpText ? lpText : "", uType, button});
    return button;
}

namespace winsim {
bool IsDesktopWindow(HWND hWnd) { return (uintptr_t)hWnd == kDesktopWindow; }
// The display of a server console: 800 by 600 pixels.
int ScreenWidth() { return 800; }
int ScreenHeight() { return 600; }
}  // namespace winsim

extern "C" HWND WINAPI GetDesktopWindow(void) {
    WINSIM_FAULT_RETURN("GetDesktopWindow", (HWND) nullptr);
    return (HWND)kDesktopWindow;
}

// ---- wsprintf ------------------------------------------------------------------------
// At most 1024 bytes reach the buffer, the terminating NUL included.
extern "C" int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    WINSIM_FAULT_RETURN("wsprintfA", 0);
    va_list ap;
    va_start(ap, format);
    int n;
    {
        VaArgs args(ap);
        n = WsprintfTo(buffer, format, args);
    }
    va_end(ap);
    return n;
}

extern "C" int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list arglist) {
    WINSIM_FAULT_RETURN("wvsprintfA", 0);
    VaArgs args(arglist);
    return WsprintfTo(buffer, format, args);
}

// ---- characters --------------------------------------------------------------------
extern "C" LPSTR WINAPI CharNextA(LPCSTR lpsz) {
    WINSIM_FAULT_RETURN("CharNextA", (LPSTR) nullptr);
    if (!lpsz) return nullptr;
    if (!*lpsz) return (LPSTR)lpsz;
    if (IsLeadByteOf(CurrentCodePage(), (unsigned char)*lpsz) && lpsz[1]) return (LPSTR)(lpsz + 2);
    return (LPSTR)(lpsz + 1);
}

extern "C" LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
    WINSIM_FAULT_RETURN("CharPrevA", (LPSTR) nullptr);
    if (!lpszStart || !lpszCurrent || lpszCurrent <= lpszStart) return (LPSTR)lpszStart;
    unsigned cp = CurrentCodePage();
    if (cp == 1252) return (LPSTR)(lpszCurrent - 1);
    // Lead and trail bytes overlap, so only a walk from the start is safe.
    const char *p = lpszStart;
    while (p < lpszCurrent) {
        const char *next = p + ((IsLeadByteOf(cp, (unsigned char)*p) && p[1]) ? 2 : 1);
        if (next >= lpszCurrent || !*p) return (LPSTR)p;
        p = next;
    }
    return (LPSTR)p;
}

// A pointer whose high word is zero carries one character in its low word.
static LPSTR ChangeCase(LPSTR lpsz, bool upper) {
    unsigned cp = CurrentCodePage();
    if (((uintptr_t)lpsz >> 16) == 0) {
        unsigned char c = (unsigned char)((uintptr_t)lpsz & 0xFF);
        return (LPSTR)(uintptr_t)(upper ? UpperOf(cp, c) : LowerOf(cp, c));
    }
    for (char *p = lpsz; *p; ++p) {
        unsigned char c = (unsigned char)*p;
        if (IsLeadByteOf(cp, c) && p[1]) {
            ++p;  // trail bytes are not letters
            continue;
        }
        *p = (char)(upper ? UpperOf(cp, c) : LowerOf(cp, c));
    }
    return lpsz;
}

extern "C" LPSTR WINAPI CharUpperA(LPSTR lpsz) {
    WINSIM_FAULT_RETURN("CharUpperA", (LPSTR) nullptr);
    return ChangeCase(lpsz, true);
}

extern "C" LPSTR WINAPI CharLowerA(LPSTR lpsz) {
    WINSIM_FAULT_RETURN("CharLowerA", (LPSTR) nullptr);
    return ChangeCase(lpsz, false);
}

// ---- lstr functions ---------------------------------------------------------------
// Windows catches the access violation of a NULL string: lstrlen gives 0 and
// the copying functions NULL.
extern "C" int WINAPI lstrlenA(LPCSTR lpString) {
    WINSIM_FAULT_RETURN("lstrlenA", 0);
    return lpString ? (int)strlen(lpString) : 0;
}

extern "C" LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
    WINSIM_FAULT_RETURN("lstrcpyA", (LPSTR) nullptr);
    if (!lpString1 || !lpString2) return nullptr;
    memmove(lpString1, lpString2, strlen(lpString2) + 1);
    return lpString1;
}

// iMaxLength counts the terminating NUL: at most iMaxLength - 1 characters.
extern "C" LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
    WINSIM_FAULT_RETURN("lstrcpynA", (LPSTR) nullptr);
    if (!lpString1 || !lpString2) return nullptr;
    if (iMaxLength <= 0) return lpString1;
    size_t n = strnlen(lpString2, (size_t)iMaxLength - 1);
    memmove(lpString1, lpString2, n);
    lpString1[n] = '\0';
    return lpString1;
}

extern "C" LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
    WINSIM_FAULT_RETURN("lstrcatA", (LPSTR) nullptr);
    if (!lpString1 || !lpString2) return nullptr;
    size_t len = strlen(lpString1);
    memmove(lpString1 + len, lpString2, strlen(lpString2) + 1);
    return lpString1;
}

extern "C" int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
    WINSIM_FAULT_RETURN("lstrcmpA", 0);
    return CompareStrings(lpString1, lpString2, false);
}

extern "C" int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    WINSIM_FAULT_RETURN("lstrcmpiA", 0);
    return CompareStrings(lpString1, lpString2, true);
}
