// regedit text: reading .reg files into a machine's registry and writing a
// key's subtree out as one. Both regedit formats are read: REGEDIT4 (ANSI
// data) and version 5.00 (strings inside hex(1), hex(2) and hex(7) data are
// UTF-16LE, and the file itself is often UTF-16LE with a byte order mark).
#include "regpath.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace winsim {

namespace {

const char kHeader4[] = "REGEDIT4";
const char kHeader5[] = "Windows Registry Editor Version 5.00";

// The machine's ANSI code page is Western: Latin-1 characters keep their
// byte, anything else becomes '?', as WideCharToMultiByte would do.
void AppendAnsi(std::string &out, uint32_t cp) { out += cp < 0x100 ? (char)(unsigned char)cp : '?'; }

std::string Utf16ToAnsi(const unsigned char *p, size_t n) {
    std::string out;
    out.reserve(n / 2 + 1);
    size_t i = 0;
    for (; i + 1 < n; i += 2) {
        uint32_t u = p[i] | (uint32_t)p[i + 1] << 8;
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {
            uint32_t lo = p[i + 2] | (uint32_t)p[i + 3] << 8;
            if (lo >= 0xDC00 && lo < 0xE000) i += 2;  // a surrogate pair is one character
        }
        AppendAnsi(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
    if (i < n) out += (char)p[i];  // an odd last byte is kept as it is
    return out;
}

std::string Utf8ToAnsi(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = (unsigned char)s[i];
        size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool ok = len && i + len <= s.size();
        uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1Fu) : len == 3 ? (c & 0x0Fu) : (c & 0x07u);
        for (size_t k = 1; ok && k < len; ++k) {
            unsigned char cc = (unsigned char)s[i + k];
            if ((cc & 0xC0) != 0x80) ok = false;
            cp = cp << 6 | (cc & 0x3Fu);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        AppendAnsi(out, cp);
        i += len;
    }
    return out;
}

std::vector<BYTE> AnsiToUtf16(const std::vector<BYTE> &in) {
    std::vector<BYTE> out;
    out.reserve(in.size() * 2);
    for (BYTE b : in) {
        out.push_back(b);
        out.push_back(0);
    }
    return out;
}

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualNoCase(std::string(s.substr(0, prefix.size())), std::string(prefix));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to `maxDigits` hex digits and nothing else.
bool ParseHexNumber(std::string_view s, size_t maxDigits, DWORD &out) {
    if (s.empty() || s.size() > maxDigits) return false;
    out = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return false;
        out = out << 4 | (DWORD)d;
    }
    return true;
}

// "01,ab,ff" with optional blanks; a trailing comma is allowed.
bool ParseHexBytes(std::string_view s, std::vector<BYTE> &out) {
    s = Trim(s);
    size_t i = 0;
    while (i < s.size()) {
        size_t comma = s.find(',', i);
        std::string_view tok = Trim(s.substr(i, comma == std::string_view::npos ? std::string_view::npos : comma - i));
        DWORD b;
        if (!ParseHexNumber(tok, 2, b)) return false;
        out.push_back((BYTE)b);
        if (comma == std::string_view::npos) break;
        i = comma + 1;
    }
    return true;
}

// A quoted string starting at s[pos] == '"', with regedit's \\ and \" escapes.
// Returns an error message, or nullptr with pos past the closing quote.
const char *ParseQuoted(std::string_view s, size_t &pos, std::string &out) {
    ++pos;
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"') return nullptr;
        if (c == '\\') {
            if (pos >= s.size()) break;
            char e = s[pos++];
            if (e != '\\' && e != '"') return "unknown escape sequence in a string (only \\\\ and \\\" are allowed)";
            out += e;
        } else {
            out += c;
        }
    }
    return "unterminated string";
}

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool Next(std::string_view &line) {
        if (pos_ >= text_.size()) return false;
        size_t nl = text_.find('\n', pos_);
        size_t end = nl == std::string_view::npos ? text_.size() : nl;
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = nl == std::string_view::npos ? text_.size() : nl + 1;
        ++number_;
        return true;
    }
    int Number() const { return number_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int number_ = 0;
};

struct ImportOp {
    enum Kind { OpenKey, DeleteKey, SetValue, DeleteValue } kind;
    HKEY root = nullptr;
    std::vector<std::string> parts;  // OpenKey, DeleteKey
    std::string name;                // SetValue, DeleteValue
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

std::string Escape(const std::string &s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// REG_SZ data that regedit can write as "...": one closing NUL and no other,
// and no line breaks, which a quoted string cannot hold.
bool IsPlainString(const std::vector<BYTE> &d) {
    if (d.empty() || d.back() != 0) return false;
    for (size_t i = 0; i + 1 < d.size(); ++i)
        if (d[i] == 0 || d[i] == '\r' || d[i] == '\n') return false;
    return true;
}

void ExportValue(const RegValue &v, bool version5, std::string &out) {
    std::string line = v.name.empty() ? std::string("@") : "\"" + Escape(v.name) + "\"";
    line += '=';
    if (v.type == REG_SZ && IsPlainString(v.data)) {
        line += '"';
        line += Escape(std::string(v.data.begin(), v.data.end() - 1));
        line += '"';
        out += line;
        out += "\r\n";
        return;
    }
    char buf[32];
    if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = (DWORD)v.data[0] | (DWORD)v.data[1] << 8 | (DWORD)v.data[2] << 16 | (DWORD)v.data[3] << 24;
        snprintf(buf, sizeof buf, "dword:%08x", (unsigned)d);
        out += line;
        out += buf;
        out += "\r\n";
        return;
    }
    if (v.type == REG_BINARY) {
        line += "hex:";
    } else {
        snprintf(buf, sizeof buf, "hex(%x):", (unsigned)v.type);
        line += buf;
    }
    const std::vector<BYTE> bytes = version5 && IsRegStringType(v.type) ? AnsiToUtf16(v.data) : v.data;
    // Wrapped like regedit: lines under 80 columns, continued after a comma
    // with a backslash, the next line indented by two blanks.
    bool lineHasBytes = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(buf, sizeof buf, i + 1 < bytes.size() ? "%02x," : "%02x", (unsigned)bytes[i]);
        if (lineHasBytes && line.size() + strlen(buf) > 76) {
            out += line;
            out += "\\\r\n";
            line = "  ";
        }
        line += buf;
        lineHasBytes = true;
    }
    out += line;
    out += "\r\n";
}

void ExportKey(const RegKey &k, std::string &path, bool version5, std::string &out) {
    out += '[';
    out += path;
    out += "]\r\n";
    for (const RegValue &v : k.values) ExportValue(v, version5, out);
    out += "\r\n";
    for (auto &sub : k.subkeys) {
        size_t len = path.size();
        path += '\\';
        path += sub.second->name;
        ExportKey(*sub.second, path, version5, out);
        path.resize(len);
    }
}

}  // namespace

void Registry::ImportReg(const std::string &raw, const std::string &sourceName) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    const std::string &file = sourceName;

    std::string decoded;
    std::string_view text(raw);
    const unsigned char *u = reinterpret_cast<const unsigned char *>(raw.data());
    if (raw.size() >= 2 && u[0] == 0xFF && u[1] == 0xFE) {
        decoded = Utf16ToAnsi(u + 2, raw.size() - 2);
        text = decoded;
    } else if (raw.size() >= 2 && u[0] == 0xFE && u[1] == 0xFF) {
        throw ImageError(file, 1, "UTF-16 big-endian text is not a registry file regedit writes");
    } else if (raw.size() >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) {
        decoded = Utf8ToAnsi(text.substr(3));
        text = decoded;
    }

    LineReader reader(text);
    std::string_view line;
    if (!reader.Next(line)) throw ImageError(file, 1, "empty file: expected a REGEDIT4 or version 5.00 header");
    std::string_view header = Trim(line);
    bool version5;
    if (header == kHeader5)
        version5 = true;
    else if (header == kHeader4)
        version5 = false;
    else
        throw ImageError(file, 1, "not a registry file: the first line must be \"" + std::string(kHeader5) +
                                      "\" or \"" + kHeader4 + "\"");

    // Read the whole file before changing anything, so a bad file loads nothing.
    std::vector<ImportOp> ops;
    bool inKey = false, keyDeleted = false;
    while (reader.Next(line)) {
        const int lineNo = reader.Number();
        auto fail = [&](const std::string &what) { throw ImageError(file, lineNo, what); };
        std::string_view t = Trim(line);
        if (t.empty() || t[0] == ';') continue;

        if (t[0] == '[') {
            if (t.back() != ']' || t.size() < 3) fail("malformed key line: expected [key path]");
            std::string_view inner = t.substr(1, t.size() - 2);
            bool remove = inner[0] == '-';
            if (remove) inner.remove_prefix(1);
            RegPath p;
            if (!ParseRegPath(std::string(inner), p)) fail("unknown root key in [" + std::string(inner) + "]");
            if (remove && p.parts.empty()) fail("a predefined root key cannot be deleted");
            if (p.root == HKEY_CURRENT_USER && currentUserKey.empty()) fail("the machine has no current user");
            ImportOp op;
            op.kind = remove ? ImportOp::DeleteKey : ImportOp::OpenKey;
            op.root = p.root;
            op.parts = std::move(p.parts);
            ops.push_back(std::move(op));
            inKey = true;
            keyDeleted = remove;
            continue;
        }

        if (t[0] != '"' && t[0] != '@') fail("unrecognised line: " + std::string(t.substr(0, 60)));
        if (!inKey) fail("a value before any [key] line");
        ImportOp op;
        op.kind = ImportOp::SetValue;
        size_t pos = 1;
        if (t[0] == '"') {
            pos = 0;
            if (const char *err = ParseQuoted(t, pos, op.name)) fail(std::string(err) + " in a value name");
        }
        while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
        if (pos >= t.size() || t[pos] != '=') fail("expected '=' after the value name");
        std::string_view data = Trim(t.substr(pos + 1));

        if (data == "-") {
            op.kind = ImportOp::DeleteValue;
        } else if (!data.empty() && data[0] == '"') {
            size_t q = 0;
            std::string s;
            if (const char *err = ParseQuoted(data, q, s)) fail(err);
            if (!Trim(data.substr(q)).empty()) fail("unexpected text after the closing quote");
            op.type = REG_SZ;
            op.data.assign(s.begin(), s.end());
            op.data.push_back(0);
        } else if (StartsNoCase(data, "dword:")) {
            DWORD d;
            if (!ParseHexNumber(data.substr(6), 8, d)) fail("bad dword value: expected 1 to 8 hex digits");
            op.type = REG_DWORD;
            op.data = {(BYTE)(d & 0xFF), (BYTE)(d >> 8 & 0xFF), (BYTE)(d >> 16 & 0xFF), (BYTE)(d >> 24 & 0xFF)};
        } else if (StartsNoCase(data, "hex")) {
            std::string_view rest = data.substr(3);
            op.type = REG_BINARY;
            if (!rest.empty() && rest[0] == '(') {
                size_t close = rest.find(')');
                if (close == std::string_view::npos || !ParseHexNumber(rest.substr(1, close - 1), 8, op.type))
                    fail("bad value type in hex(...)");
                rest = rest.substr(close + 1);
            }
            if (rest.empty() || rest[0] != ':') fail("expected ':' after hex");
            std::string bytes(Trim(rest.substr(1)));
            while (!bytes.empty() && bytes.back() == '\\') {
                bytes.pop_back();
                std::string_view next;
                if (!reader.Next(next)) fail("the file ends in the middle of a continued hex value");
                bytes += Trim(next);
                while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == '\t')) bytes.pop_back();
            }
            std::vector<BYTE> parsed;
            if (!ParseHexBytes(bytes, parsed)) fail("bad hex data: expected comma-separated bytes such as 0a,ff");
            if (version5 && IsRegStringType(op.type)) {
                std::string ansi = Utf16ToAnsi(parsed.data(), parsed.size());
                op.data.assign(ansi.begin(), ansi.end());
            } else {
                op.data = std::move(parsed);
            }
        } else {
            fail("unrecognised value data: expected \"string\", dword:, hex: or hex(type):");
        }
        // regedit skips the values listed under a key it deletes.
        if (!keyDeleted) ops.push_back(std::move(op));
    }

    RegKey *current = nullptr;
    for (ImportOp &op : ops) {
        switch (op.kind) {
        case ImportOp::OpenKey: {
            RegKey *k = Root(op.root).get();
            for (auto &part : op.parts) k = k->CreateChild(part);
            current = k;
            break;
        }
        case ImportOp::DeleteKey: {
            RegKey *k = Root(op.root).get();
            for (auto &part : op.parts)
                if (k) k = k->Child(part);
            if (k) DetachKey(*k);
            current = nullptr;
            break;
        }
        case ImportOp::SetValue:
            current->SetValue(op.name, op.type, op.data.data(), op.data.size());
            break;
        case ImportOp::DeleteValue:
            current->DeleteValue(op.name);
            break;
        }
    }
}

std::string ExportRegValue(const RegValue &value, bool version5) {
    std::string out;
    ExportValue(value, version5, out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string Registry::ExportReg(const std::string &keyPath, bool version5) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RegPath p;
    if (!ParseRegPath(keyPath, p))
        throw std::invalid_argument("winsim::ExportReg: unknown root in \"" + keyPath + "\"");
    std::shared_ptr<RegKey> root = Root(p.root);
    const RegKey *k = root.get();
    std::string path = p.rootName;
    for (auto &part : p.parts) {
        k = k ? k->Child(part) : nullptr;
        if (!k) break;
        path += '\\';
        path += k->name;  // as stored, not as asked for
    }
    if (!k) throw std::invalid_argument("winsim::ExportReg: no key \"" + keyPath + "\"");
    std::string out = version5 ? kHeader5 : kHeader4;
    out += "\r\n\r\n";
    ExportKey(*k, path, version5, out);
    return out;
}

}  // namespace winsim
