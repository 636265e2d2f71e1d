// Windows Installer as a custom action sees it: the session (properties,
// modes, features, messages), records and the product registration, over
// the machine's InstallerSession and products.
#include "sim_helpers.h"

#include <msiquery.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>

namespace winsim {

namespace {

struct MsiObject {
    virtual ~MsiObject() = default;
};

// A session handle belongs to the machine whose installer runs the action.
struct SessionObject : MsiObject {
    Machine *machine;
    explicit SessionObject(Machine *m) : machine(m) {}
};

struct RecordField {
    enum Kind { Null, Integer, String } kind = Null;
    int number = 0;
    std::string text;
};

struct RecordObject : MsiObject {
    std::vector<RecordField> fields;  // field 0 and 1..count
};

// Installer handles are small 32-bit numbers, never 0, not reused until reset.
struct MsiHandleTable {
    std::map<MSIHANDLE, std::shared_ptr<MsiObject>> objects;
    MSIHANDLE next = 1;
};

MsiHandleTable &Table() {
    static MsiHandleTable *t = new MsiHandleTable();
    return *t;
}

MSIHANDLE AddHandle(std::shared_ptr<MsiObject> object) {
    MsiHandleTable &t = Table();
    if (t.next == 0) t.next = 1;
    MSIHANDLE h = t.next++;
    NoteOpen("MsiHandle", h);
    t.objects[h] = std::move(object);
    return h;
}

template <class T>
T *Lookup(MSIHANDLE h) {
    auto it = Table().objects.find(h);
    if (it == Table().objects.end()) return nullptr;
    return dynamic_cast<T *>(it->second.get());
}

// The session of a handle, or null when the handle is not a session or its
// machine is gone.
InstallerSession *SessionOf(MSIHANDLE h, Machine **machine = nullptr) {
    SessionObject *s = Lookup<SessionObject>(h);
    if (!s) return nullptr;
    if (!s->machine || FindMachine(s->machine->name) != s->machine) return nullptr;
    if (machine) *machine = s->machine;
    return &s->machine->installer;
}

// Installer string sizing: *pcch is the buffer size in characters on input
// and the length without the NUL on output; a short buffer receives as much
// as fits, terminated, with ERROR_MORE_DATA. A NULL buffer asks for the
// length only.
UINT CopyOutMsi(const std::string &value, LPSTR buffer, LPDWORD pcch) {
    if (!buffer) {
        if (pcch) *pcch = (DWORD)value.size();
        return ERROR_SUCCESS;
    }
    if (!pcch) return ERROR_INVALID_PARAMETER;
    DWORD capacity = *pcch;
    *pcch = (DWORD)value.size();
    if (value.size() < capacity) {
        memcpy(buffer, value.c_str(), value.size() + 1);
        return ERROR_SUCCESS;
    }
    if (capacity > 0) {
        memcpy(buffer, value.data(), capacity - 1);
        buffer[capacity - 1] = '\0';
    }
    return ERROR_MORE_DATA;
}

std::string FieldText(const RecordField &f) {
    switch (f.kind) {
    case RecordField::Integer:
        return std::to_string(f.number);
    case RecordField::String:
        return f.text;
    default:
        return std::string();
    }
}

bool IsPropertyChar(char c) { return std::isalnum((unsigned char)c) || c == '_' || c == '.'; }

// MsiFormatRecord: [n] field n, [Property], [%ENV], [\c] a literal c; other
// bracketed forms need the package database and are kept as written. With
// no template in field 0 the fields are listed as "1: value 2: value ".
std::string FormatRecordText(const RecordObject &rec, Machine *machine) {
    size_t count = rec.fields.size() - 1;
    if (rec.fields[0].kind == RecordField::Null || FieldText(rec.fields[0]).empty()) {
        std::string out;
        for (size_t i = 1; i <= count; ++i) out += std::to_string(i) + ": " + FieldText(rec.fields[i]) + " ";
        return out;
    }
    std::string tmpl = FieldText(rec.fields[0]);
    std::string out;
    size_t i = 0;
    while (i < tmpl.size()) {
        if (tmpl[i] != '[') {
            out += tmpl[i++];
            continue;
        }
        size_t close = tmpl.find(']', i + 1);
        if (close == std::string::npos) {
            out += tmpl.substr(i);
            break;
        }
        std::string inner = tmpl.substr(i + 1, close - i - 1);
        bool handled = false;
        if (!inner.empty() && std::all_of(inner.begin(), inner.end(), [](char c) { return std::isdigit((unsigned char)c); })) {
            size_t n = std::stoul(inner.size() > 9 ? std::string("999999999") : inner);
            if (n <= count) out += FieldText(rec.fields[n]);
            handled = true;
        } else if (inner.size() == 2 && inner[0] == '\\') {
            out += inner[1];
            handled = true;
        } else if (inner.size() > 1 && inner[0] == '%') {
            if (machine) {
                auto it = machine->environment.find(inner.substr(1));
                if (it != machine->environment.end()) out += it->second;
            }
            handled = true;
        } else if (!inner.empty() && std::all_of(inner.begin(), inner.end(), IsPropertyChar) &&
                   !std::isdigit((unsigned char)inner[0])) {
            if (machine) {
                auto it = machine->installer.properties.find(inner);
                if (it != machine->installer.properties.end()) out += it->second;
            }
            handled = true;
        }
        if (!handled) out += "[" + inner + "]";
        i = close + 1;
    }
    return out;
}

// Product codes are GUIDs in braces: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
bool IsProductCode(const char *s) {
    static const char kPattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (!s || strlen(s) != sizeof(kPattern) - 1) return false;
    for (size_t i = 0; kPattern[i]; ++i) {
        if (kPattern[i] == 'X') {
            if (!std::isxdigit((unsigned char)s[i])) return false;
        } else if (s[i] != kPattern[i]) {
            return false;
        }
    }
    return true;
}

bool IsKnownProductAttribute(const std::string &name) {
    static const char *kNames[] = {
        INSTALLPROPERTY_PACKAGENAME,    INSTALLPROPERTY_TRANSFORMS,      INSTALLPROPERTY_LANGUAGE,
        INSTALLPROPERTY_PRODUCTNAME,    INSTALLPROPERTY_ASSIGNMENTTYPE,  INSTALLPROPERTY_PACKAGECODE,
        INSTALLPROPERTY_VERSION,        INSTALLPROPERTY_PRODUCTICON,     INSTALLPROPERTY_INSTALLEDPRODUCTNAME,
        INSTALLPROPERTY_VERSIONSTRING,  INSTALLPROPERTY_HELPLINK,        INSTALLPROPERTY_HELPTELEPHONE,
        INSTALLPROPERTY_INSTALLLOCATION, INSTALLPROPERTY_INSTALLSOURCE,  INSTALLPROPERTY_INSTALLDATE,
        INSTALLPROPERTY_PUBLISHER,      INSTALLPROPERTY_LOCALPACKAGE,    INSTALLPROPERTY_URLINFOABOUT,
        INSTALLPROPERTY_URLUPDATEINFO,  INSTALLPROPERTY_VERSIONMINOR,    INSTALLPROPERTY_VERSIONMAJOR,
        INSTALLPROPERTY_PRODUCTID,      INSTALLPROPERTY_REGCOMPANY,      INSTALLPROPERTY_REGOWNER,
        "InstanceType",                 "AuthorizedLUAApp"};
    for (const char *n : kNames)
        if (name == n) return true;
    return false;
}

// The kinds of message MsiProcessMessage knows (the high byte).
bool IsMessageKind(DWORD kind) { return kind <= (DWORD)INSTALLMESSAGE_SHOWDIALOG; }

}  // namespace

void ResetInstallerHandles() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Table().objects.clear();
    Table().next = 1;
}

MSIHANDLE OpenInstallerSession() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    return AddHandle(std::make_shared<SessionObject>(&m));
}

}  // namespace winsim

using namespace winsim;

// ---- handles --------------------------------------------------------------------
extern "C" UINT WINAPI MsiCloseHandle(MSIHANDLE hAny) {
    WINSIM_FAULT_RETURN_CODE("MsiCloseHandle");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (hAny == 0) return ERROR_SUCCESS;
    auto it = Table().objects.find(hAny);
    if (it == Table().objects.end()) return ERROR_INVALID_HANDLE;
    NoteClosed("MsiHandle", hAny);
    Table().objects.erase(it);
    return ERROR_SUCCESS;
}

// Returns how many handles were still open.
extern "C" UINT WINAPI MsiCloseAllHandles(void) {
    WINSIM_FAULT_RETURN_CODE("MsiCloseAllHandles");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    UINT n = (UINT)Table().objects.size();
    for (auto &kv : Table().objects) NoteClosed("MsiHandle", kv.first);
    Table().objects.clear();
    return n;
}

// ---- properties -------------------------------------------------------------------
extern "C" UINT WINAPI MsiGetPropertyA(MSIHANDLE hInstall, LPCSTR szName, LPSTR szValueBuf, LPDWORD pcchValueBuf) {
    WINSIM_FAULT_RETURN_CODE("MsiGetPropertyA");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!szName) return ERROR_INVALID_PARAMETER;
    if (szValueBuf && !pcchValueBuf) return ERROR_INVALID_PARAMETER;
    InstallerSession *s = SessionOf(hInstall);
    if (!s) return ERROR_INVALID_HANDLE;
    // An undefined property reads as the empty string; that is no error.
    auto it = s->properties.find(szName);
    const std::string value = it == s->properties.end() ? std::string() : it->second;
    const DWORD capacity = szValueBuf ? *pcchValueBuf : 0;
    UINT rc = CopyOutMsi(value, szValueBuf, pcchValueBuf);
    if (rc == ERROR_MORE_DATA)
        s->propertyEvents.push_back({PropertyEvent::CutOnRead, szName, value,
                                     value.substr(0, capacity ? capacity - 1 : 0), capacity, s->log.size(), ClockMs()});
    return rc;
}

extern "C" UINT WINAPI MsiSetPropertyA(MSIHANDLE hInstall, LPCSTR szName, LPCSTR szValue) {
    WINSIM_FAULT_RETURN_CODE("MsiSetPropertyA");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    InstallerSession *s = SessionOf(hInstall);
    if (!s) return ERROR_INVALID_HANDLE;
    if (!szName) return ERROR_INVALID_PARAMETER;
    // An empty name takes no value; removing its (never present) value
    // succeeds. An empty-string value counts as a value here.
    if (!*szName) return szValue ? ERROR_FUNCTION_FAILED : ERROR_SUCCESS;
    // Setting the empty string (or NULL) removes the property.
    auto it = s->properties.find(szName);
    if (!szValue || !*szValue) {
        if (it == s->properties.end()) return ERROR_SUCCESS;
        s->propertyEvents.push_back({PropertyEvent::Deleted, szName, it->second, "", 0, s->log.size(), ClockMs()});
        s->properties.erase(it);
    } else if (it == s->properties.end()) {
        s->propertyEvents.push_back({PropertyEvent::Added, szName, "", szValue, 0, s->log.size(), ClockMs()});
        s->properties[szName] = szValue;
    } else if (it->second != szValue) {
        s->propertyEvents.push_back({PropertyEvent::Modified, szName, it->second, szValue, 0, s->log.size(), ClockMs()});
        it->second = szValue;
    }
    return ERROR_SUCCESS;
}

// ---- modes and levels ----------------------------------------------------------------
extern "C" BOOL WINAPI MsiGetMode(MSIHANDLE hInstall, MSIRUNMODE eRunMode) {
    WINSIM_FAULT_RETURN("MsiGetMode", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    InstallerSession *s = SessionOf(hInstall);
    if (!s) return FALSE;
    auto it = s->modes.find((int)eRunMode);
    return it != s->modes.end() && it->second ? TRUE : FALSE;
}

// Only the reboot modes can be set by a custom action.
extern "C" UINT WINAPI MsiSetMode(MSIHANDLE hInstall, MSIRUNMODE eRunMode, BOOL fState) {
    WINSIM_FAULT_RETURN_CODE("MsiSetMode");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    InstallerSession *s = SessionOf(hInstall);
    if (!s) return ERROR_INVALID_HANDLE;
    if (eRunMode != MSIRUNMODE_REBOOTATEND && eRunMode != MSIRUNMODE_REBOOTNOW) return ERROR_ACCESS_DENIED;
    s->modes[(int)eRunMode] = fState != FALSE;
    return ERROR_SUCCESS;
}

// The level is also the INSTALLLEVEL property, which conditions read.
extern "C" UINT WINAPI MsiSetInstallLevel(MSIHANDLE hInstall, int iInstallLevel) {
    WINSIM_FAULT_RETURN_CODE("MsiSetInstallLevel");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    InstallerSession *s = SessionOf(hInstall);
    if (!s) return ERROR_INVALID_HANDLE;
    if (iInstallLevel < 0) return ERROR_INVALID_PARAMETER;
    s->installLevel = iInstallLevel;
    s->properties["INSTALLLEVEL"] = std::to_string(iInstallLevel);
    return ERROR_SUCCESS;
}

// ---- features --------------------------------------------------------------------------
extern "C" UINT WINAPI MsiGetFeatureStateA(MSIHANDLE hInstall, LPCSTR szFeature, INSTALLSTATE *piInstalled,
                                           INSTALLSTATE *piAction) {
    WINSIM_FAULT_RETURN_CODE("MsiGetFeatureStateA");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    InstallerSession *s = SessionOf(hInstall);
    if (!s) return ERROR_INVALID_HANDLE;
    if (!szFeature) return ERROR_INVALID_PARAMETER;
    auto it = s->features.find(szFeature);  // Feature table keys are case-sensitive
    if (it == s->features.end()) return ERROR_UNKNOWN_FEATURE;
    if (piInstalled) *piInstalled = (INSTALLSTATE)it->second.installed;
    if (piAction) *piAction = (INSTALLSTATE)it->second.action;
    return ERROR_SUCCESS;
}

// A feature can be requested advertised, local, from source or absent.
extern "C" UINT WINAPI MsiSetFeatureStateA(MSIHANDLE hInstall, LPCSTR szFeature, INSTALLSTATE iState) {
    WINSIM_FAULT_RETURN_CODE("MsiSetFeatureStateA");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    InstallerSession *s = SessionOf(hInstall);
    if (!s) return ERROR_INVALID_HANDLE;
    if (!szFeature) return ERROR_INVALID_PARAMETER;
    auto it = s->features.find(szFeature);
    if (it == s->features.end()) return ERROR_UNKNOWN_FEATURE;
    if (iState != INSTALLSTATE_ADVERTISED && iState != INSTALLSTATE_ABSENT && iState != INSTALLSTATE_LOCAL &&
        iState != INSTALLSTATE_SOURCE)
        return ERROR_INVALID_PARAMETER;
    it->second.action = (int)iState;
    return ERROR_SUCCESS;
}

// ---- products ---------------------------------------------------------------------------
extern "C" INSTALLSTATE WINAPI MsiQueryProductStateA(LPCSTR szProduct) {
    WINSIM_FAULT_RETURN("MsiQueryProductStateA", INSTALLSTATE_UNKNOWN);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!IsProductCode(szProduct)) return INSTALLSTATE_INVALIDARG;
    Machine &m = LocalMachine();
    auto it = m.products.find(szProduct);
    if (it == m.products.end()) return INSTALLSTATE_UNKNOWN;
    return (INSTALLSTATE)it->second.state;
}

// Feature names of an installed product are case-sensitive, as in its
// Feature table; an unknown product or feature is INSTALLSTATE_UNKNOWN.
extern "C" INSTALLSTATE WINAPI MsiQueryFeatureStateA(LPCSTR szProduct, LPCSTR szFeature) {
    WINSIM_FAULT_RETURN("MsiQueryFeatureStateA", INSTALLSTATE_UNKNOWN);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!IsProductCode(szProduct) || !szFeature) return INSTALLSTATE_INVALIDARG;
    Machine &m = LocalMachine();
    auto it = m.products.find(szProduct);
    if (it == m.products.end() || it->second.state == INSTALLSTATE_UNKNOWN) return INSTALLSTATE_UNKNOWN;
    auto f = it->second.features.find(szFeature);
    if (f == it->second.features.end()) return INSTALLSTATE_UNKNOWN;
    return (INSTALLSTATE)f->second;
}

// An attribute the installer knows but the product does not carry reads as
// the empty string; an attribute it does not know is ERROR_UNKNOWN_PROPERTY.
extern "C" UINT WINAPI MsiGetProductInfoA(LPCSTR szProduct, LPCSTR szAttribute, LPSTR lpValueBuf,
                                          LPDWORD pcchValueBuf) {
    WINSIM_FAULT_RETURN_CODE("MsiGetProductInfoA");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!szProduct || !szAttribute || !*szAttribute || !IsProductCode(szProduct)) return ERROR_INVALID_PARAMETER;
    if (lpValueBuf && !pcchValueBuf) return ERROR_INVALID_PARAMETER;
    Machine &m = LocalMachine();
    auto it = m.products.find(szProduct);
    if (it == m.products.end() || it->second.state == INSTALLSTATE_UNKNOWN) return ERROR_UNKNOWN_PRODUCT;
    auto v = it->second.info.find(szAttribute);
    if (v == it->second.info.end()) {
        if (!IsKnownProductAttribute(szAttribute)) return ERROR_UNKNOWN_PROPERTY;
        return CopyOutMsi(std::string(), lpValueBuf, pcchValueBuf);
    }
    return CopyOutMsi(v->second, lpValueBuf, pcchValueBuf);
}

// ---- records ----------------------------------------------------------------------------
// Records hold at most 65535 fields; 0 means failure.
extern "C" MSIHANDLE WINAPI MsiCreateRecord(UINT cParams) {
    WINSIM_FAULT_RETURN("MsiCreateRecord", (MSIHANDLE)0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (cParams > 65535) return 0;
    auto rec = std::make_shared<RecordObject>();
    rec->fields.resize((size_t)cParams + 1);
    return AddHandle(rec);
}

extern "C" UINT WINAPI MsiRecordGetFieldCount(MSIHANDLE hRecord) {
    WINSIM_FAULT_RETURN("MsiRecordGetFieldCount", (UINT)-1);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RecordObject *r = Lookup<RecordObject>(hRecord);
    if (!r) return (UINT)-1;
    return (UINT)(r->fields.size() - 1);
}

extern "C" BOOL WINAPI MsiRecordIsNull(MSIHANDLE hRecord, UINT iField) {
    WINSIM_FAULT_RETURN("MsiRecordIsNull", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RecordObject *r = Lookup<RecordObject>(hRecord);
    if (!r) return FALSE;
    if (iField >= r->fields.size()) return TRUE;
    const RecordField &f = r->fields[iField];
    return f.kind == RecordField::Null || (f.kind == RecordField::String && f.text.empty());
}

extern "C" UINT WINAPI MsiRecordSetStringA(MSIHANDLE hRecord, UINT iField, LPCSTR szValue) {
    WINSIM_FAULT_RETURN_CODE("MsiRecordSetStringA");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RecordObject *r = Lookup<RecordObject>(hRecord);
    if (!r) return ERROR_INVALID_HANDLE;
    if (iField >= r->fields.size()) return ERROR_INVALID_PARAMETER;
    RecordField &f = r->fields[iField];
    if (!szValue || !*szValue) {
        f = RecordField();
    } else {
        f.kind = RecordField::String;
        f.text = szValue;
    }
    return ERROR_SUCCESS;
}

// A field beyond the record's count reads as the empty string.
extern "C" UINT WINAPI MsiRecordGetStringA(MSIHANDLE hRecord, UINT iField, LPSTR szValueBuf, LPDWORD pcchValueBuf) {
    WINSIM_FAULT_RETURN_CODE("MsiRecordGetStringA");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RecordObject *r = Lookup<RecordObject>(hRecord);
    if (!r) return ERROR_INVALID_HANDLE;
    if (szValueBuf && !pcchValueBuf) return ERROR_INVALID_PARAMETER;
    std::string value = iField < r->fields.size() ? FieldText(r->fields[iField]) : std::string();
    return CopyOutMsi(value, szValueBuf, pcchValueBuf);
}

extern "C" UINT WINAPI MsiRecordSetInteger(MSIHANDLE hRecord, UINT iField, int iValue) {
    WINSIM_FAULT_RETURN_CODE("MsiRecordSetInteger");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RecordObject *r = Lookup<RecordObject>(hRecord);
    if (!r) return ERROR_INVALID_HANDLE;
    if (iField >= r->fields.size()) return ERROR_INVALID_PARAMETER;
    RecordField &f = r->fields[iField];
    f = RecordField();
    if ((unsigned)iValue != MSI_NULL_INTEGER) {
        f.kind = RecordField::Integer;
        f.number = iValue;
    }
    return ERROR_SUCCESS;
}

// A string field converts when it is a whole decimal number; anything else
// is MSI_NULL_INTEGER.
extern "C" int WINAPI MsiRecordGetInteger(MSIHANDLE hRecord, UINT iField) {
    WINSIM_FAULT_RETURN("MsiRecordGetInteger", (int)MSI_NULL_INTEGER);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RecordObject *r = Lookup<RecordObject>(hRecord);
    if (!r || iField >= r->fields.size()) return (int)MSI_NULL_INTEGER;
    const RecordField &f = r->fields[iField];
    if (f.kind == RecordField::Integer) return f.number;
    if (f.kind != RecordField::String || f.text.empty()) return (int)MSI_NULL_INTEGER;
    const char *p = f.text.c_str();
    bool negative = *p == '-';
    if (negative) ++p;
    if (!*p) return (int)MSI_NULL_INTEGER;
    long long v = 0;
    for (; *p; ++p) {
        if (!std::isdigit((unsigned char)*p)) return (int)MSI_NULL_INTEGER;
        v = v * 10 + (*p - '0');
        if (v > 0x7FFFFFFFLL) return (int)MSI_NULL_INTEGER;
    }
    return (int)(negative ? -v : v);
}

extern "C" UINT WINAPI MsiFormatRecordA(MSIHANDLE hInstall, MSIHANDLE hRecord, LPSTR szResultBuf,
                                        LPDWORD pcchResultBuf) {
    WINSIM_FAULT_RETURN_CODE("MsiFormatRecordA");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RecordObject *r = Lookup<RecordObject>(hRecord);
    if (!r) return ERROR_INVALID_HANDLE;
    Machine *machine = nullptr;
    if (hInstall != 0 && !SessionOf(hInstall, &machine)) return ERROR_INVALID_HANDLE;
    if (szResultBuf && !pcchResultBuf) return ERROR_INVALID_PARAMETER;
    return CopyOutMsi(FormatRecordText(*r, machine), szResultBuf, pcchResultBuf);
}

// ---- messages -----------------------------------------------------------------------------
// Every message goes to the session log. The answer is the one scripted for
// its kind; else 0 (nothing done) for INFO, the default button of the
// message box style for the kinds shown as message boxes (IDOK for a plain
// MB_OK message), and IDOK for the rest.
extern "C" int WINAPI MsiProcessMessage(MSIHANDLE hInstall, INSTALLMESSAGE eMessageType, MSIHANDLE hRecord) {
    WINSIM_FAULT_RETURN("MsiProcessMessage", -1);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine *machine = nullptr;
    InstallerSession *s = SessionOf(hInstall, &machine);
    RecordObject *r = Lookup<RecordObject>(hRecord);
    if (!s || !r) return -1;
    DWORD kind = (DWORD)eMessageType & 0xFF000000u;
    if (!IsMessageKind(kind)) return -1;
    InstallerLogEntry entry;
    entry.kind = kind;
    for (const RecordField &f : r->fields) entry.fields.push_back(FieldText(f));
    entry.text = FormatRecordText(*r, machine);
    s->log.push_back(entry);
    auto scripted = s->answers.find(kind);
    if (scripted != s->answers.end()) return scripted->second;
    switch (kind) {
    case INSTALLMESSAGE_INFO:
        return 0;
    case INSTALLMESSAGE_FATALEXIT:
    case INSTALLMESSAGE_ERROR:
    case INSTALLMESSAGE_WARNING:
    case INSTALLMESSAGE_USER:
    case INSTALLMESSAGE_OUTOFDISKSPACE: {
        int button = DefaultButtonOfStyle((UINT)eMessageType & 0x00FFFFFFu);
        return button ? button : IDOK;
    }
    default:
        return IDOK;
    }
}
