// The resource compiler of winsim: compiles the text of a resource script
// (.rc, preceded by the headers it includes) into string tables and dialog
// templates of a module, as rc/windres would for the Windows build.
//
// It runs the part of the preprocessor that scripts use (#define of object
// macros, #undef, #if/#ifdef/#ifndef/#elif/#else/#endif, #include and
// #pragma ignored since the headers come with the text), then reads
// STRINGTABLE, DIALOG and DIALOGEX statements, skipping the other resource
// types. Whatever it cannot read is an error naming the script and line.
#include "sim_helpers.h"

#include <cctype>
#include <cstring>
#include <map>
#include <set>

namespace winsim {

namespace {

struct ModuleResources {
    std::map<UINT, std::string> strings;
    std::set<UINT> blocks;  // string table blocks (id / 16) present
    std::map<UINT, DialogTemplate> dialogs;
};

// Resources belong to the loaded library, not to a machine: they survive
// ResetWorld. Registered from static constructors, hence the function static.
std::map<uintptr_t, ModuleResources> &ResourceTable() {
    static auto *t = new std::map<uintptr_t, ModuleResources>();
    return *t;
}

// ---- source lines ------------------------------------------------------------------
struct SourceLine {
    std::string text;
    std::string file;
    int line;
};

struct Token {
    enum Kind { Ident, Number, String, Punct } kind;
    std::string text;   // identifier, punctuation, decoded string, or the number as written
    long long value = 0;
    bool wide = false;  // L"..."
    std::string file;
    int line = 0;
};

[[noreturn]] void Error(const std::string &file, int line, const std::string &what) { throw ImageError(file, line, what); }

// Arithmetic of #if and of resource expressions wraps at 64 bits as two's
// complement does: a script chooses its numbers, so none may overflow.
long long Add(long long a, long long b) { return (long long)((unsigned long long)a + (unsigned long long)b); }
long long Sub(long long a, long long b) { return (long long)((unsigned long long)a - (unsigned long long)b); }
long long Mul(long long a, long long b) { return (long long)((unsigned long long)a * (unsigned long long)b); }
long long Neg(long long a) { return Sub(0, a); }
// The divisor is not 0; -1 is negation, which the smallest number survives.
long long Div(long long a, long long b) { return b == -1 ? Neg(a) : a / b; }
long long Rem(long long a, long long b) { return b == -1 ? 0 : a % b; }

bool IsIdentStart(char c) { return std::isalpha((unsigned char)c) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum((unsigned char)c) || c == '_'; }

// Splits the text into lines, removing comments (they may span lines) but
// keeping string literals intact.
std::vector<SourceLine> StripComments(const std::string &text, const std::string &file) {
    std::vector<SourceLine> lines;
    std::string cur;
    bool inBlock = false;
    int line = 1, blockStart = 0;
    size_t i = 0;
    auto endLine = [&]() {
        if (!cur.empty() && cur.back() == '\r') cur.pop_back();
        lines.push_back(SourceLine{cur, file, line});
        cur.clear();
        ++line;
    };
    while (i < text.size()) {
        char c = text[i];
        if (c == '\n') {
            endLine();
            ++i;
            continue;
        }
        if (inBlock) {
            if (c == '*' && i + 1 < text.size() && text[i + 1] == '/') {
                inBlock = false;
                cur += ' ';
                i += 2;
            } else {
                ++i;
            }
            continue;
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            inBlock = true;
            blockStart = line;
            i += 2;
            continue;
        }
        if (c == '"') {
            // Copy the literal whole; "" and \" do not end it. A literal
            // that runs to the end of the line is left for the lexer to report.
            cur += c;
            ++i;
            while (i < text.size() && text[i] != '\n') {
                char d = text[i];
                if (d == '\\' && i + 1 < text.size() && text[i + 1] != '\n') {
                    cur += d;
                    cur += text[i + 1];
                    i += 2;
                    continue;
                }
                cur += d;
                ++i;
                if (d == '"') {
                    if (i < text.size() && text[i] == '"') {
                        cur += '"';
                        ++i;
                        continue;
                    }
                    break;
                }
            }
            continue;
        }
        cur += c;
        ++i;
    }
    if (inBlock) Error(file, blockStart, "comment is not closed");
    if (!cur.empty()) endLine();
    return lines;
}

// rc string escapes: "" is a quote, and \" (windres), \\, \n, \t, \r, \a,
// octal \ooo and hex \xhh. Another backslash pair is kept as written.
std::string DecodeString(const std::string &s, size_t &i, bool wide, const std::string &file, int line) {
    std::string out;
    ++i;  // opening quote
    while (true) {
        if (i >= s.size()) Error(file, line, "string literal is not closed on its line");
        char c = s[i];
        if (c == '"') {
            if (i + 1 < s.size() && s[i + 1] == '"') {
                out += '"';
                i += 2;
                continue;
            }
            ++i;
            return out;
        }
        if (c != '\\') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 >= s.size()) Error(file, line, "string literal is not closed on its line");
        char e = s[i + 1];
        i += 2;
        switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'a': out += '\a'; break;
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'x':
        case 'X': {
            unsigned v = 0;
            int n = 0, max = wide ? 4 : 2;
            while (n < max && i < s.size() && std::isxdigit((unsigned char)s[i])) {
                char h = (char)std::tolower((unsigned char)s[i]);
                v = v * 16 + (unsigned)(std::isdigit((unsigned char)h) ? h - '0' : h - 'a' + 10);
                ++i;
                ++n;
            }
            if (n == 0) Error(file, line, "\\x needs hex digits");
            out += v < 0x100 ? (char)v : '?';
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned v = (unsigned)(e - '0');
                int n = 1;
                while (n < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7') {
                    v = v * 8 + (unsigned)(s[i] - '0');
                    ++i;
                    ++n;
                }
                out += v < 0x100 ? (char)v : '?';
            } else {
                out += '\\';
                out += e;
            }
            break;
        }
    }
}

// ---- preprocessor -------------------------------------------------------------------
struct Macro {
    std::string body;
    bool functionLike = false;
};

class Compiler {
public:
    Compiler() {
        // What rc and windres define, and the control ids of windows.h /
        // winres.h that dialogs use.
        const std::pair<const char *, const char *> predefined[] = {
            {"RC_INVOKED", "1"}, {"_WIN32", "1"},    {"IDOK", "1"},      {"IDCANCEL", "2"}, {"IDABORT", "3"},
            {"IDRETRY", "4"},    {"IDIGNORE", "5"},  {"IDYES", "6"},     {"IDNO", "7"},     {"IDCLOSE", "8"},
            {"IDHELP", "9"},     {"IDC_STATIC", "(-1)"}};
        for (auto &p : predefined) macros_[p.first] = Macro{p.second, false};
    }

    void Preprocess(const std::string &text, const std::string &file) {
        std::vector<SourceLine> lines = StripComments(text, file);
        struct Cond {
            bool parentActive, active, taken, seenElse;
            int line;
        };
        std::vector<Cond> conds;
        auto active = [&]() { return conds.empty() || conds.back().active; };
        for (size_t n = 0; n < lines.size(); ++n) {
            SourceLine sl = lines[n];
            size_t first = sl.text.find_first_not_of(" \t");
            if (first == std::string::npos) continue;
            if (sl.text[first] != '#') {
                if (active()) Lex(sl);
                continue;
            }
            // Directives continue over lines ending in a backslash.
            std::string d = sl.text.substr(first + 1);
            while (!d.empty() && d.back() == '\\' && n + 1 < lines.size()) {
                d.pop_back();
                d += ' ' + lines[++n].text;
            }
            size_t k = d.find_first_not_of(" \t");
            size_t e = k == std::string::npos ? k : d.find_first_not_of("abcdefghijklmnopqrstuvwxyz_", k);
            std::string name = k == std::string::npos ? "" : d.substr(k, (e == std::string::npos ? d.size() : e) - k);
            std::string rest = e == std::string::npos ? "" : Trim(d.substr(e));
            if (name == "if" || name == "ifdef" || name == "ifndef") {
                bool parent = active();
                bool value = false;
                if (parent) {
                    if (name == "if")
                        value = EvalCondition(rest, sl);
                    else
                        value = (macros_.count(FirstIdent(rest, sl)) > 0) == (name == "ifdef");
                }
                conds.push_back(Cond{parent, parent && value, parent && value, false, sl.line});
            } else if (name == "elif") {
                if (conds.empty() || conds.back().seenElse) Error(sl.file, sl.line, "#elif without #if");
                Cond &c = conds.back();
                bool value = c.parentActive && !c.taken && EvalCondition(rest, sl);
                c.active = value;
                c.taken = c.taken || value;
            } else if (name == "else") {
                if (conds.empty() || conds.back().seenElse) Error(sl.file, sl.line, "#else without #if");
                Cond &c = conds.back();
                c.active = c.parentActive && !c.taken;
                c.taken = true;
                c.seenElse = true;
            } else if (name == "endif") {
                if (conds.empty()) Error(sl.file, sl.line, "#endif without #if");
                conds.pop_back();
            } else if (!active()) {
                continue;
            } else if (name == "define") {
                size_t j = 0;
                if (rest.empty() || !IsIdentStart(rest[0])) Error(sl.file, sl.line, "#define needs a name");
                while (j < rest.size() && IsIdentChar(rest[j])) ++j;
                Macro m;
                m.functionLike = j < rest.size() && rest[j] == '(';
                m.body = Trim(rest.substr(j));
                macros_[rest.substr(0, j)] = m;
            } else if (name == "undef") {
                macros_.erase(FirstIdent(rest, sl));
            } else if (name == "include" || name == "pragma" || name == "line" || name.empty()) {
                // Headers come with the text; pragmas (code_page) change nothing here.
            } else if (name == "error") {
                Error(sl.file, sl.line, "#error " + rest);
            } else {
                Error(sl.file, sl.line, "unknown preprocessor directive #" + name);
            }
        }
        if (!conds.empty()) Error(file, conds.back().line, "#if without #endif");
    }

    // ---- statements ---------------------------------------------------------------------
    void Compile(ModuleResources &res) {
        pos_ = 0;
        while (pos_ < toks_.size()) {
            const Token &t = toks_[pos_];
            if (IsKeyword(t, "STRINGTABLE")) {
                ++pos_;
                StringTable(res);
            } else if (SkipCommonOption()) {
                continue;
            } else {
                Resource(res);
            }
        }
    }

private:
    static std::string Trim(const std::string &s) {
        size_t b = s.find_first_not_of(" \t\r");
        if (b == std::string::npos) return std::string();
        size_t e = s.find_last_not_of(" \t\r");
        return s.substr(b, e - b + 1);
    }

    std::string FirstIdent(const std::string &s, const SourceLine &sl) {
        size_t j = 0;
        if (s.empty() || !IsIdentStart(s[0])) Error(sl.file, sl.line, "expected a macro name");
        while (j < s.size() && IsIdentChar(s[j])) ++j;
        return s.substr(0, j);
    }

    // Tokenizes one line, expanding object macros.
    void Lex(const SourceLine &sl) { LexInto(sl.text, sl.file, sl.line, toks_, 0); }

    void LexInto(const std::string &s, const std::string &file, int line, std::vector<Token> &out, int depth) {
        if (depth > 32) Error(file, line, "macro expansion is too deep");
        if (out.size() > 4000000) Error(file, line, "macro expansion is too large");
        size_t i = 0;
        while (i < s.size()) {
            char c = s[i];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++i;
                continue;
            }
            Token t;
            t.file = file;
            t.line = line;
            if ((c == 'L' || c == 'l') && i + 1 < s.size() && s[i + 1] == '"') {
                ++i;
                t.kind = Token::String;
                t.wide = true;
                t.text = DecodeString(s, i, true, file, line);
                out.push_back(t);
                continue;
            }
            if (c == '"') {
                t.kind = Token::String;
                t.text = DecodeString(s, i, false, file, line);
                out.push_back(t);
                continue;
            }
            if (IsIdentStart(c)) {
                size_t j = i;
                while (j < s.size() && IsIdentChar(s[j])) ++j;
                std::string name = s.substr(i, j - i);
                i = j;
                auto m = macros_.find(name);
                if (m != macros_.end() && !expanding_.count(name)) {
                    if (m->second.functionLike) Error(file, line, "function-like macro " + name + " is not supported");
                    expanding_.insert(name);
                    LexInto(m->second.body, file, line, out, depth + 1);
                    expanding_.erase(name);
                    continue;
                }
                t.kind = Token::Ident;
                t.text = name;
                out.push_back(t);
                continue;
            }
            if (std::isdigit((unsigned char)c)) {
                size_t j = i;
                long long v = 0;
                if (c == '0' && j + 1 < s.size() && (s[j + 1] == 'x' || s[j + 1] == 'X')) {
                    j += 2;
                    size_t start = j;
                    while (j < s.size() && std::isxdigit((unsigned char)s[j])) {
                        char h = (char)std::tolower((unsigned char)s[j]);
                        v = (v * 16 + (std::isdigit((unsigned char)h) ? h - '0' : h - 'a' + 10)) & 0xFFFFFFFFLL;
                        ++j;
                    }
                    if (j == start) Error(file, line, "malformed number " + s.substr(i, j - i));
                } else {
                    while (j < s.size() && std::isdigit((unsigned char)s[j])) {
                        v = (v * 10 + (s[j] - '0')) & 0xFFFFFFFFLL;
                        ++j;
                    }
                }
                while (j < s.size() && (s[j] == 'L' || s[j] == 'l' || s[j] == 'U' || s[j] == 'u')) ++j;
                if (j < s.size() && IsIdentChar(s[j])) Error(file, line, "malformed number " + s.substr(i, j - i + 1));
                t.kind = Token::Number;
                t.text = s.substr(i, j - i);
                t.value = v;
                i = j;
                out.push_back(t);
                continue;
            }
            // Punctuation; two-character operators for #if.
            static const char *kTwo[] = {"&&", "||", "==", "!=", "<=", ">=", "<<", ">>"};
            t.kind = Token::Punct;
            t.text = std::string(1, c);
            for (const char *op : kTwo)
                if (s.compare(i, 2, op) == 0) t.text = op;
            i += t.text.size();
            out.push_back(t);
        }
    }

    // #if: defined(X), defined X, numbers, macros (an unknown name is 0) and
    // the C operators.
    bool EvalCondition(const std::string &expr, const SourceLine &sl) {
        // "defined" must see the names before expansion.
        std::string rewritten;
        size_t i = 0;
        while (i < expr.size()) {
            if (IsIdentStart(expr[i])) {
                size_t j = i;
                while (j < expr.size() && IsIdentChar(expr[j])) ++j;
                std::string word = expr.substr(i, j - i);
                if (word == "defined") {
                    size_t k = expr.find_first_not_of(" \t", j);
                    bool paren = k != std::string::npos && expr[k] == '(';
                    if (paren) k = expr.find_first_not_of(" \t", k + 1);
                    if (k == std::string::npos || !IsIdentStart(expr[k])) Error(sl.file, sl.line, "defined needs a name");
                    size_t m = k;
                    while (m < expr.size() && IsIdentChar(expr[m])) ++m;
                    rewritten += macros_.count(expr.substr(k, m - k)) ? " 1 " : " 0 ";
                    if (paren) {
                        m = expr.find_first_not_of(" \t", m);
                        if (m == std::string::npos || expr[m] != ')') Error(sl.file, sl.line, "defined( is not closed");
                        ++m;
                    }
                    i = m;
                    continue;
                }
                rewritten += word;
                i = j;
                continue;
            }
            rewritten += expr[i++];
        }
        std::vector<Token> toks;
        LexInto(rewritten, sl.file, sl.line, toks, 0);
        size_t p = 0;
        long long v = CondExpr(toks, p, sl, 0);
        if (p != toks.size()) Error(sl.file, sl.line, "cannot read #if expression: " + Trim(expr));
        return v != 0;
    }

    static int BinaryPrec(const std::string &op) {
        static const std::map<std::string, int> kPrec = {
            {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5},  {"==", 6}, {"!=", 6}, {"<", 7},  {">", 7},
            {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9},  {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10}};
        auto it = kPrec.find(op);
        return it == kPrec.end() ? 0 : it->second;
    }

    long long CondExpr(const std::vector<Token> &t, size_t &p, const SourceLine &sl, int minPrec) {
        long long lhs = CondUnary(t, p, sl);
        while (p < t.size() && t[p].kind == Token::Punct) {
            int prec = BinaryPrec(t[p].text);
            if (prec == 0 || prec <= minPrec) break;
            std::string op = t[p++].text;
            long long rhs = CondExpr(t, p, sl, prec);
            if ((op == "/" || op == "%") && rhs == 0) Error(sl.file, sl.line, "division by zero in #if");
            if (op == "||") lhs = lhs || rhs;
            else if (op == "&&") lhs = lhs && rhs;
            else if (op == "|") lhs |= rhs;
            else if (op == "^") lhs ^= rhs;
            else if (op == "&") lhs &= rhs;
            else if (op == "==") lhs = lhs == rhs;
            else if (op == "!=") lhs = lhs != rhs;
            else if (op == "<") lhs = lhs < rhs;
            else if (op == ">") lhs = lhs > rhs;
            else if (op == "<=") lhs = lhs <= rhs;
            else if (op == ">=") lhs = lhs >= rhs;
            else if (op == "<<") lhs = (long long)((unsigned long long)lhs << (rhs & 63));
            else if (op == ">>") lhs >>= (rhs & 63);
            else if (op == "+") lhs = Add(lhs, rhs);
            else if (op == "-") lhs = Sub(lhs, rhs);
            else if (op == "*") lhs = Mul(lhs, rhs);
            else if (op == "/") lhs = Div(lhs, rhs);
            else lhs = Rem(lhs, rhs);
        }
        return lhs;
    }

    long long CondUnary(const std::vector<Token> &t, size_t &p, const SourceLine &sl) {
        if (++condDepth_ > 256) Error(sl.file, sl.line, "#if expression is nested too deeply");
        struct Leave {
            int &d;
            ~Leave() { --d; }
        } leave{condDepth_};
        if (p >= t.size()) Error(sl.file, sl.line, "#if expression ends early");
        const Token &k = t[p++];
        if (k.kind == Token::Number) return k.value;
        if (k.kind == Token::Ident) return 0;  // not a macro
        if (k.kind == Token::Punct) {
            if (k.text == "!") return !CondUnary(t, p, sl);
            if (k.text == "-") return Neg(CondUnary(t, p, sl));
            if (k.text == "+") return CondUnary(t, p, sl);
            if (k.text == "~") return ~CondUnary(t, p, sl);
            if (k.text == "(") {
                long long v = CondExpr(t, p, sl, 0);
                if (p >= t.size() || t[p].text != ")") Error(sl.file, sl.line, "missing ) in #if");
                ++p;
                return v;
            }
        }
        Error(sl.file, sl.line, "unexpected '" + k.text + "' in #if");
    }

    // ---- token helpers ----------------------------------------------------------------
    static bool IsKeyword(const Token &t, const char *word) {
        return t.kind == Token::Ident && EqualNoCase(t.text, word);
    }
    bool AtEnd() const { return pos_ >= toks_.size(); }
    const Token &Peek() const { return toks_[pos_]; }
    bool PeekIs(const char *punct) const {
        return !AtEnd() && toks_[pos_].kind == Token::Punct && toks_[pos_].text == punct;
    }
    bool PeekKeyword(const char *word) const { return !AtEnd() && IsKeyword(toks_[pos_], word); }
    bool PeekBegin() const { return PeekKeyword("BEGIN") || PeekIs("{"); }
    bool PeekEnd() const { return PeekKeyword("END") || PeekIs("}"); }

    [[noreturn]] void Fail(const std::string &what) const {
        if (toks_.empty()) Error("", 0, what);
        if (AtEnd()) {
            const Token &last = toks_.back();
            Error(last.file, last.line, what + " (the script ends here)");
        }
        Error(Peek().file, Peek().line, what);
    }

    void Expect(const char *punct) {
        if (!PeekIs(punct)) Fail(std::string("expected '") + punct + "'" + Near());
        ++pos_;
    }

    std::string Near() const {
        if (AtEnd()) return std::string();
        const Token &t = Peek();
        return " before " + (t.kind == Token::String ? "\"" + t.text + "\"" : "'" + t.text + "'");
    }

    void ExpectBegin() {
        if (!PeekBegin()) Fail("expected BEGIN" + Near());
        ++pos_;
    }

    // A numeric expression of numbers, names and + - | & ~ NOT ( ). Returns
    // its value when every name is known; `text` keeps it as written.
    struct Value {
        bool known = true;
        long long value = 0;
        std::string text;
    };

    Value Expr(bool mustKnow) {
        std::string file = AtEnd() ? std::string() : Peek().file;
        int line = AtEnd() ? 0 : Peek().line;
        Value v = Operand();
        while (!AtEnd() && Peek().kind == Token::Punct &&
               (Peek().text == "+" || Peek().text == "-" || Peek().text == "|" || Peek().text == "&" ||
                Peek().text == "*" || Peek().text == "/")) {
            std::string op = toks_[pos_++].text;
            Value r = Operand();
            v.text += " " + op + " " + r.text;
            v.known = v.known && r.known;
            if (op == "+") v.value = Add(v.value, r.value);
            else if (op == "-") v.value = Sub(v.value, r.value);
            else if (op == "|") v.value |= r.value;
            else if (op == "&") v.value &= r.value;
            else if (op == "*") v.value = Mul(v.value, r.value);
            else if (r.value != 0) v.value = Div(v.value, r.value);
        }
        if (mustKnow && !v.known) Error(file, line, "undefined name in " + v.text);
        return v;
    }

    // Nesting of operands and parentheses, bounded so that no script can
    // exhaust the stack.
    struct Nest {
        int &depth;
        Nest(int &d, const Compiler &c) : depth(d) {
            if (++depth > 256) c.Fail("expression is nested too deeply");
        }
        ~Nest() { --depth; }
    };

    Value Operand() {
        Nest nest(depth_, *this);
        if (AtEnd()) Fail("expected a number");
        const Token &t = toks_[pos_];
        Value v;
        if (t.kind == Token::Number) {
            ++pos_;
            v.value = t.value;
            v.text = t.text;
            return v;
        }
        if (t.kind == Token::Ident && !IsStatementWord(t)) {
            ++pos_;
            if (EqualNoCase(t.text, "NOT")) {
                Value r = Operand();
                r.text = "NOT " + r.text;
                r.value = ~r.value;
                return r;
            }
            v.known = false;
            v.text = t.text;
            return v;
        }
        if (t.kind == Token::Punct && (t.text == "-" || t.text == "~" || t.text == "+")) {
            ++pos_;
            Value r = Operand();
            r.text = t.text + r.text;
            if (t.text == "-") r.value = Neg(r.value);
            if (t.text == "~") r.value = ~r.value;
            return r;
        }
        if (t.kind == Token::Punct && t.text == "(") {
            ++pos_;
            Value r = Expr(false);
            Expect(")");
            r.text = "(" + r.text + ")";
            return r;
        }
        Fail("expected a number" + Near());
    }

    static bool IsStatementWord(const Token &t) {
        static const char *kWords[] = {"BEGIN", "END"};
        for (const char *w : kWords)
            if (EqualNoCase(t.text, w)) return true;
        return false;
    }

    static bool IsMemoryOption(const Token &t) {
        static const char *kOptions[] = {"DISCARDABLE", "MOVEABLE", "FIXED",  "PURE",   "IMPURE",
                                         "PRELOAD",     "LOADONCALL", "SHARED", "NONSHARED"};
        if (t.kind != Token::Ident) return false;
        for (const char *o : kOptions)
            if (EqualNoCase(t.text, o)) return true;
        return false;
    }

    void SkipMemoryOptions() {
        while (!AtEnd() && IsMemoryOption(Peek())) ++pos_;
    }

    // LANGUAGE, CHARACTERISTICS and VERSION may precede a resource body.
    bool SkipCommonOption() {
        if (PeekKeyword("LANGUAGE")) {
            ++pos_;
            Expr(false);
            Expect(",");
            Expr(false);
            return true;
        }
        if (PeekKeyword("CHARACTERISTICS") || PeekKeyword("VERSION")) {
            ++pos_;
            Expr(false);
            return true;
        }
        return false;
    }

    UINT ResourceId(const Value &v, const char *what) {
        if (v.value < 0 || v.value > 0xFFFF) Fail(std::string(what) + " must be 0 to 65535: " + v.text);
        return (UINT)v.value;
    }

    // STRINGTABLE [options] BEGIN id [,] "text" ... END
    void StringTable(ModuleResources &res) {
        while (true) {
            if (!AtEnd() && IsMemoryOption(Peek())) {
                ++pos_;
                continue;
            }
            if (!SkipCommonOption()) break;
        }
        ExpectBegin();
        while (!PeekEnd()) {
            if (AtEnd()) Fail("STRINGTABLE is not closed with END");
            int line = Peek().line;
            std::string file = Peek().file;
            UINT id = ResourceId(Expr(true), "a string id");
            if (PeekIs(",")) ++pos_;
            if (AtEnd() || Peek().kind != Token::String)
                Error(file, line, "expected the text of string " + std::to_string(id) + Near());
            std::string text = toks_[pos_++].text;
            // rc does not join adjacent literals the way C does; a second
            // literal would compile differently (or not at all) on Windows.
            if (!AtEnd() && Peek().kind == Token::String)
                Error(file, line, "string " + std::to_string(id) + " has two literals; rc does not join them, write one");
            if (res.strings.count(id)) Error(file, line, "string id " + std::to_string(id) + " is defined twice");
            res.strings[id] = text;
            res.blocks.insert(id >> 4);
        }
        ++pos_;
    }

    // Any resource statement: "name TYPE ...". Dialogs are compiled, other
    // types skipped whole.
    void Resource(ModuleResources &res) {
        const Token &nameTok = Peek();
        Value name;
        if (nameTok.kind == Token::String) {
            ++pos_;
            name.known = false;
            name.text = nameTok.text;
        } else {
            name = Expr(false);
        }
        if (AtEnd()) Fail("expected a resource type after " + name.text);
        const Token &type = Peek();
        int typeLine = type.line;
        if (type.kind != Token::Ident && type.kind != Token::Number && type.kind != Token::String)
            Fail("expected a resource type after " + name.text + Near());
        ++pos_;
        if (IsKeyword(type, "DIALOG") || IsKeyword(type, "DIALOGEX")) {
            DialogTemplate dlg;
            dlg.extended = IsKeyword(type, "DIALOGEX");
            Dialog(dlg);
            if (name.known) res.dialogs[ResourceId(name, "a dialog id")] = dlg;
            return;
        }
        SkipMemoryOptions();
        if (PeekBegin()) {
            SkipBlock();
            return;
        }
        // A file resource names its file on the statement's line.
        if (!AtEnd() && Peek().line == typeLine && Peek().kind == Token::String) {
            ++pos_;
            return;
        }
        static const char *kBlockTypes[] = {"MENU",    "MENUEX",     "ACCELERATORS", "VERSIONINFO", "TOOLBAR",
                                            "DLGINIT", "TEXTINCLUDE", "DESIGNINFO",  "GUIDELINES",  "RCDATA",
                                            "MESSAGETABLE"};
        bool blockType = false;
        for (const char *b : kBlockTypes)
            if (IsKeyword(type, b)) blockType = true;
        if (!AtEnd() && Peek().line == typeLine && !blockType) {  // an unquoted file name
            while (!AtEnd() && Peek().line == typeLine) ++pos_;
            return;
        }
        if (!blockType && !(PeekBegin()))
            Fail("resource " + name.text + " of type " + type.text + " has neither a file nor a BEGIN block");
        while (!AtEnd() && !PeekBegin()) ++pos_;  // VERSIONINFO's fixed part, MENU options ...
        if (AtEnd()) Fail("resource " + name.text + " has no BEGIN block");
        SkipBlock();
    }

    void SkipBlock() {
        int depth = 0;
        int line = Peek().line;
        do {
            if (AtEnd()) Error(toks_.back().file, line, "BEGIN without END");
            if (PeekBegin()) ++depth;
            else if (PeekEnd()) --depth;
            ++pos_;
        } while (depth > 0);
    }

    int IntArg(const char *what) {
        Value v = Expr(true);
        (void)what;
        return (int)v.value;
    }

    // DIALOG[EX] [options] x, y, cx, cy [, help] statements BEGIN controls END
    void Dialog(DialogTemplate &dlg) {
        SkipMemoryOptions();
        dlg.x = IntArg("x");
        Expect(",");
        dlg.y = IntArg("y");
        Expect(",");
        dlg.cx = IntArg("width");
        Expect(",");
        dlg.cy = IntArg("height");
        if (dlg.extended && PeekIs(",")) {
            ++pos_;
            Expr(true);  // help id
        }
        while (!AtEnd() && !PeekBegin()) {
            if (SkipCommonOption()) continue;
            const Token &t = toks_[pos_++];
            if (IsKeyword(t, "STYLE")) {
                dlg.style = Expr(false).text;
            } else if (IsKeyword(t, "EXSTYLE")) {
                Expr(false);
            } else if (IsKeyword(t, "CAPTION")) {
                if (AtEnd() || Peek().kind != Token::String) Fail("CAPTION needs a string" + Near());
                dlg.caption = toks_[pos_++].text;
            } else if (IsKeyword(t, "FONT")) {
                dlg.fontSize = IntArg("font size");
                Expect(",");
                if (AtEnd() || Peek().kind != Token::String) Fail("FONT needs a face name" + Near());
                dlg.fontName = toks_[pos_++].text;
                while (PeekIs(",")) {  // DIALOGEX: weight, italic, charset
                    ++pos_;
                    Expr(true);
                }
            } else if (IsKeyword(t, "MENU") || IsKeyword(t, "CLASS")) {
                if (AtEnd()) Fail("MENU and CLASS need a name");
                if (Peek().kind == Token::String) ++pos_;
                else Expr(false);
            } else {
                Error(t.file, t.line, "unknown dialog statement " + t.text);
            }
        }
        ExpectBegin();
        while (!PeekEnd()) {
            if (AtEnd()) Fail("dialog is not closed with END");
            dlg.controls.push_back(Control(dlg.extended));
        }
        ++pos_;
    }

    // Control text: a string, or a resource name or number (icons, bitmaps).
    std::string ControlText() {
        if (!AtEnd() && Peek().kind == Token::String) return toks_[pos_++].text;
        return Expr(false).text;
    }

    DialogTemplate::Control Control(bool extended) {
        struct Kind {
            const char *word, *cls;
            bool hasText;
        };
        static const Kind kKinds[] = {
            {"LTEXT", "Static", true},          {"RTEXT", "Static", true},        {"CTEXT", "Static", true},
            {"PUSHBUTTON", "Button", true},     {"DEFPUSHBUTTON", "Button", true}, {"PUSHBOX", "Button", true},
            {"CHECKBOX", "Button", true},       {"AUTOCHECKBOX", "Button", true},  {"RADIOBUTTON", "Button", true},
            {"AUTORADIOBUTTON", "Button", true}, {"STATE3", "Button", true},       {"AUTO3STATE", "Button", true},
            {"GROUPBOX", "Button", true},       {"ICON", "Static", true},          {"EDITTEXT", "Edit", false},
            {"COMBOBOX", "ComboBox", false},    {"LISTBOX", "ListBox", false},     {"SCROLLBAR", "ScrollBar", false}};
        const Token &word = Peek();
        DialogTemplate::Control c{};
        c.kind = Upper(word.text);
        ++pos_;
        if (IsKeyword(word, "CONTROL")) {
            // CONTROL text, id, class, style, x, y, cx, cy [, exstyle [, help]]
            c.text = ControlText();
            Expect(",");
            c.id = IntArg("id");
            Expect(",");
            if (AtEnd()) Fail("CONTROL needs a class");
            if (Peek().kind == Token::String) {
                c.cls = toks_[pos_++].text;
            } else if (Peek().kind == Token::Ident) {
                static const char *kClasses[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
                c.cls = Peek().text;
                for (const char *k : kClasses)
                    if (EqualNoCase(c.cls, k)) c.cls = k;
                ++pos_;
            } else {
                Fail("CONTROL needs a class" + Near());
            }
            Expect(",");
            c.style = Expr(false).text;
            Expect(",");
            c.x = IntArg("x");
            Expect(",");
            c.y = IntArg("y");
            Expect(",");
            c.cx = IntArg("width");
            Expect(",");
            c.cy = IntArg("height");
            int extra = 0;
            while (PeekIs(",") && extra < 2) {
                ++pos_;
                Expr(false);
                ++extra;
            }
        } else {
            const Kind *kind = nullptr;
            for (const Kind &k : kKinds)
                if (IsKeyword(word, k.word)) kind = &k;
            if (!kind) Error(word.file, word.line, "unknown dialog control " + word.text);
            c.cls = kind->cls;
            if (kind->hasText) {
                c.text = ControlText();
                Expect(",");
            }
            c.id = IntArg("id");
            Expect(",");
            c.x = IntArg("x");
            Expect(",");
            c.y = IntArg("y");
            bool icon = IsKeyword(word, "ICON");
            // ICON may stop after its position; the others need a size.
            if (!icon || PeekIs(",")) {
                Expect(",");
                c.cx = IntArg("width");
                Expect(",");
                c.cy = IntArg("height");
            }
            if (PeekIs(",")) {
                ++pos_;
                c.style = Expr(false).text;
            }
            int extra = 0;
            while (PeekIs(",") && extra < 2) {  // exstyle, help id
                ++pos_;
                Expr(false);
                ++extra;
            }
        }
        if (extended && PeekBegin()) SkipBlock();  // creation data
        return c;
    }

    std::map<std::string, Macro> macros_;
    std::set<std::string> expanding_;
    std::vector<Token> toks_;
    size_t pos_ = 0;
    int depth_ = 0, condDepth_ = 0;
};

void Register(HMODULE module, const std::vector<std::pair<std::string, std::string>> &sources) {
    Compiler compiler;
    for (auto &src : sources) compiler.Preprocess(src.second, src.first);
    ModuleResources res;
    compiler.Compile(res);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ResourceTable()[(uintptr_t)module] = std::move(res);
}

}  // namespace

void RegisterModuleResources(HMODULE module, const std::string &rcText) {
    Register(module, {{"QLSETGUI.rc", rcText}});
}

void RegisterModuleResources(HMODULE module, const std::string &headersText, const std::string &rcText,
                             const std::string &scriptName) {
    Register(module, {{"resource.h", headersText}, {scriptName, rcText}});
}

bool LookupString(HMODULE module, UINT id, std::string &out) {
    return FindStringResource(module, id, out) == StringLookup::Found;
}

StringLookup FindStringResource(HMODULE module, UINT id, std::string &out) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = ResourceTable().find((uintptr_t)module);
    if (it == ResourceTable().end()) return StringLookup::NoResources;
    const ModuleResources &res = it->second;
    if (res.blocks.empty()) return StringLookup::NoStringTable;
    if (id > 0xFFFF || !res.blocks.count(id >> 4)) return StringLookup::NoBlock;
    auto s = res.strings.find(id);
    if (s == res.strings.end() || s->second.empty()) return StringLookup::EmptySlot;
    out = s->second;
    return StringLookup::Found;
}

bool LookupDialog(HMODULE module, UINT id, DialogTemplate &out) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = ResourceTable().find((uintptr_t)module);
    if (it == ResourceTable().end()) return false;
    auto d = it->second.dialogs.find(id);
    if (d == it->second.dialogs.end()) return false;
    out = d->second;
    return true;
}

}  // namespace winsim
