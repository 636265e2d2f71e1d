// Conversions between the machine's ANSI code page and UTF-16:
// MultiByteToWideChar and WideCharToMultiByte.
//
// Code page 1252 follows the Windows table. Code page 932 keeps its lead-byte
// structure (single bytes, half-width katakana at 0xA1-0xDF, lead and trail
// pairs) but places the pairs into one block of code points in order instead
// of the JIS table: texts round-trip and DBCS-aware code sees real pairs.
#include "security_internal.h"
#include "sim_helpers.h"

#include <cstring>

namespace winsim {

namespace {

const WCHAR k1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                             0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                             0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const WCHAR kPairBase = 0x4E00;
const WCHAR kDefaultWide932 = 0x30FB;

int TrailIndex(unsigned char t) {
    if (t >= 0x40 && t <= 0x7E) return t - 0x40;
    if (t >= 0x80 && t <= 0xFC) return t - 0x80 + 63;
    return -1;
}

int LeadIndex(unsigned char l) { return l <= 0x9F ? l - 0x81 : l - 0xE0 + 31; }

bool ResolveCodePage(UINT requested, unsigned &cp) {
    if (requested == CP_ACP || requested == CP_THREAD_ACP) {
        cp = CurrentCodePage();
        return true;
    }
    if (requested == 1252 || requested == 932) {
        cp = requested;
        return true;
    }
    return false;
}

// One character from `s` (at most `left` bytes); false for an invalid sequence.
bool DecodeOne(unsigned cp, const unsigned char *s, size_t left, WCHAR &out, size_t &used) {
    unsigned char c = s[0];
    used = 1;
    if (cp == 1252) {
        out = (c >= 0x80 && c <= 0x9F) ? k1252High[c - 0x80] : c;
        return true;
    }
    if (c < 0x80) {
        out = c;
        return true;
    }
    if (c >= 0xA1 && c <= 0xDF) {
        out = (WCHAR)(0xFF61 + (c - 0xA1));
        return true;
    }
    if (IsLeadByteOf(932, c)) {
        int t = left > 1 ? TrailIndex(s[1]) : -1;
        if (t < 0) {
            out = kDefaultWide932;
            return false;
        }
        used = 2;
        out = (WCHAR)(kPairBase + LeadIndex(c) * 188 + t);
        return true;
    }
    out = kDefaultWide932;
    return false;
}

// The bytes of one UTF-16 unit in the code page; empty when it has none.
std::string EncodeOne(unsigned cp, WCHAR w) {
    if (cp == 1252) {
        if (w < 0x80 || (w >= 0xA0 && w <= 0xFF)) return std::string(1, (char)w);
        for (int i = 0; i < 32; ++i)
            if (k1252High[i] == w) return std::string(1, (char)(0x80 + i));
        return std::string();
    }
    if (w < 0x80) return std::string(1, (char)w);
    if (w >= 0xFF61 && w <= 0xFF9F) return std::string(1, (char)(0xA1 + (w - 0xFF61)));
    if (w >= kPairBase && w < kPairBase + 60 * 188) {
        int idx = w - kPairBase, li = idx / 188, ti = idx % 188;
        unsigned char lead = (unsigned char)(li < 31 ? 0x81 + li : 0xE0 + li - 31);
        unsigned char trail = (unsigned char)(ti < 63 ? 0x40 + ti : 0x80 + ti - 63);
        return std::string() + (char)lead + (char)trail;
    }
    return std::string();
}

}  // namespace

WString Widen(const std::string &s) {
    unsigned cp = CurrentCodePage();
    WString out;
    size_t i = 0;
    while (i < s.size()) {
        WCHAR w;
        size_t used;
        DecodeOne(cp, (const unsigned char *)s.data() + i, s.size() - i, w, used);
        out += w;
        i += used;
    }
    return out;
}

std::string Narrow(const WCHAR *w) {
    std::string out;
    if (!w) return out;
    unsigned cp = CurrentCodePage();
    for (; *w; ++w) {
        std::string b = EncodeOne(cp, *w);
        out += b.empty() ? std::string("?") : b;
    }
    return out;
}

size_t WLength(const WCHAR *w) {
    size_t n = 0;
    if (w)
        while (w[n]) ++n;
    return n;
}

}  // namespace winsim

using namespace winsim;

extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar) {
    WINSIM_FAULT_RETURN("MultiByteToWideChar", 0);
    unsigned cp;
    if (!ResolveCodePage(CodePage, cp)) return Fail(0, ERROR_INVALID_PARAMETER);
    if (dwFlags & ~(DWORD)(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) return Fail(0, ERROR_INVALID_FLAGS);
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr))
        return Fail(0, ERROR_INVALID_PARAMETER);
    size_t length = cbMultiByte == -1 ? strlen(lpMultiByteStr) + 1 : (size_t)cbMultiByte;
    const unsigned char *s = (const unsigned char *)lpMultiByteStr;
    size_t i = 0;
    int written = 0;
    while (i < length) {
        WCHAR w;
        size_t used;
        if (!DecodeOne(cp, s + i, length - i, w, used) && (dwFlags & MB_ERR_INVALID_CHARS))
            return Fail(0, ERROR_NO_UNICODE_TRANSLATION);
        if (cchWideChar > 0) {
            if (written >= cchWideChar) return Fail(0, ERROR_INSUFFICIENT_BUFFER);
            lpWideCharStr[written] = w;
        }
        ++written;
        i += used;
    }
    return written;
}

extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar) {
    WINSIM_FAULT_RETURN("WideCharToMultiByte", 0);
    unsigned cp;
    if (!ResolveCodePage(CodePage, cp)) return Fail(0, ERROR_INVALID_PARAMETER);
    if (dwFlags & ~(DWORD)(WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS))
        return Fail(0, ERROR_INVALID_FLAGS);
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr))
        return Fail(0, ERROR_INVALID_PARAMETER);
    size_t length = cchWideChar == -1 ? WLength(lpWideCharStr) + 1 : (size_t)cchWideChar;
    std::string fallback = lpDefaultChar && *lpDefaultChar ? std::string(1, *lpDefaultChar) : std::string("?");
    if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
    int written = 0;
    for (size_t i = 0; i < length; ++i) {
        std::string bytes = EncodeOne(cp, lpWideCharStr[i]);
        if (bytes.empty()) {
            bytes = fallback;
            if (lpUsedDefaultChar) *lpUsedDefaultChar = TRUE;
        }
        if (cbMultiByte > 0) {
            // A pair that does not fit whole is not split.
            if (written + (int)bytes.size() > cbMultiByte) return Fail(0, ERROR_INSUFFICIENT_BUFFER);
            memcpy(lpMultiByteStr + written, bytes.data(), bytes.size());
        }
        written += (int)bytes.size();
    }
    return written;
}
