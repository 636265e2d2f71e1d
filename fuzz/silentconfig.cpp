// The silent-install functions over what the medium and the target hold:
// the setup information file and the configuration template beside the
// front end, and the target's Program Files folder, registered folders and
// product record, reached over the network. The product record stays within
// its fields (each text NUL-terminated inside its size) and is touched only
// where the function says; the proposed folder ends in a backslash and
// comes from one of the sources in turn; the configuration file, when the
// function says it is ready, holds the folders and the account it wrote,
// and otherwise is not left behind; the password goes to no log.
#include "fuzz_support.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "registry/HarnRegistry.h"
#include "settings/SetupIcf.h"
#include "settings/SilentConfig.h"

namespace {

const char kProgram[] = "C:\\QLREMOTE\\QLREMOTE.EXE";
const char kInf[] = "C:\\QLREMOTE\\QLBSETUP.INF";
const char kTemplate[] = "C:\\QLREMOTE\\QUILLBAK.ICF";
const char kTarget[] = "TARGET";
const char kVersionKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kHomeKey[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Path";
const char kOldHomeKey[] = "HKLM\\SOFTWARE\\Harnock\\Quillbak\\CurrentVersion\\Path";
const char kAlertKey[] = "HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion\\Path";
const char kProductsKey[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products";
const char kOldProductsKey[] = "HKLM\\SOFTWARE\\Harnock\\Products";

winsim::Machine &Console() {
    static winsim::Machine &m = [&]() -> winsim::Machine & {
        winsim::Machine &made = qlfuzz::Machine();
        made.modulePath = kProgram;
        made.PutFile(kProgram, "");
        made.MakeDirs("C:\\CFG");
        return made;
    }();
    return m;
}

winsim::Machine &Target() {
    static winsim::Machine &m = [&]() -> winsim::Machine & {
        Console();
        winsim::Machine &made = winsim::CreateDefaultMachine(kTarget);
        made.MakeDirs("C:\\TEMP");
        return made;
    }();
    return m;
}

// The input after its two flag bytes: chunks, each a 16-bit little-endian
// length and as many bytes (cut at the end of the input).
struct Chunks {
    std::vector<std::string> parts;
    Chunks(const uint8_t *data, size_t size, size_t count) {
        size_t at = 0;
        for (size_t i = 0; i < count; ++i) {
            if (at + 2 > size) {
                parts.push_back(std::string());
                continue;
            }
            size_t n = data[at] | (size_t)data[at + 1] << 8;
            at += 2;
            if (n > size - at) n = size - at;
            parts.push_back(std::string((const char *)data + at, n));
            at += n;
        }
    }
};

enum { kInfText, kTemplateText, kProgramFiles, kHome, kAlert, kRecord, kAccount, kPassword, kChunkCount };

std::string CText(const std::string &s) { return std::string(s.c_str()); }

// A value the profile functions give back as written: one line, no blanks
// (white space or the end-of-file mark) or quotes at its ends.
bool Plain(const std::string &v) {
    if (v.find_first_of("\r\n") != std::string::npos) return false;
    if (v.empty()) return true;
    auto edge = [](char c) { return isspace((unsigned char)c) || c == 0x1A || c == '"' || c == '\''; };
    return !edge(v.front()) && !edge(v.back());
}

std::string Profile(const char *section, const char *key, const std::string &file) {
    static std::vector<char> buffer(1 << 17);
    DWORD n = GetPrivateProfileStringA(section, key, "<none>", buffer.data(), (DWORD)buffer.size(), file.c_str());
    return std::string(buffer.data(), n);
}

// A folder with exactly one backslash at its end; "" stays "".
std::string OneBackslash(std::string folder) {
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder.empty() ? folder : folder + "\\";
}

bool FieldEnds(const char *field, size_t size) { return memchr(field, '\0', size) != NULL; }

// Every log file of the machine holding the text.
bool LogHolds(const winsim::Machine &m, const std::string &text) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(m.sandboxRoot, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        std::string ext = it->path().extension().string();
        for (char &c : ext) c = (char)toupper((unsigned char)c);
        if (ext != ".LOG" && ext != ".TXT") continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        if (content.str().find(text) != std::string::npos) return true;
    }
    return false;
}

// The file gone, read-only or not; `path` as the console reaches it.
void RemoveFile(const std::string &path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

void SeedValue(winsim::Machine &m, const char *key, const char *name, DWORD type, const std::string &bytes) {
    m.registry.Delete(key);
    if (!bytes.empty()) m.registry.Set(key, name, type, bytes.data(), bytes.size());
}

tagPRODUCT_INFO Blank() {
    tagPRODUCT_INFO info;
    memset(&info, 'x', sizeof info);
    return info;
}

}  // namespace

// The first flag byte: bit 0 the setup information file is there, bit 1 the
// template is, bits 2-3 the type of "ProgramFilesDir" (none, REG_SZ,
// REG_EXPAND_SZ, REG_BINARY), bit 4 the home under the former maker's key,
// bit 5 the home as REG_EXPAND_SZ, bit 6 the record under the former
// maker's products key, bit 7 the folder on the target's share. The second:
// bit 0 the file security cannot be set, bit 1 the first registry
// connection fails, bit 2 the function runs twice, bit 3 the folder ends in
// a backslash, bit 4 the machine named in lower case.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const uint8_t f = data[0], g = data[1];
    const Chunks in(data + 2, size - 2, kChunkCount);
    const std::vector<std::string> &c = in.parts;
    winsim::Machine &console = Console();
    winsim::Machine &target = Target();
    winsim::ClearFaults();

    // ---- the medium and the target ----------------------------------------------------
    if (f & 1) console.PutFile(kInf, c[kInfText]);
    else RemoveFile(kInf);
    if (f & 2) console.PutFile(kTemplate, c[kTemplateText]);
    else RemoveFile(kTemplate);
    const DWORD pfTypes[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY};
    const DWORD pfType = pfTypes[(f >> 2) & 3];
    if (winsim::RegKey *key = target.registry.Find(kVersionKey)) key->DeleteValue("ProgramFilesDir");
    if (pfType != REG_NONE) target.registry.Set(kVersionKey, "ProgramFilesDir", pfType, c[kProgramFiles].data(),
                                                c[kProgramFiles].size());
    target.registry.Delete(kHomeKey);
    target.registry.Delete(kOldHomeKey);
    SeedValue(target, f & 16 ? kOldHomeKey : kHomeKey, "HOME", f & 32 ? REG_EXPAND_SZ : REG_SZ, c[kHome]);
    SeedValue(target, kAlertKey, "HOME", REG_SZ, c[kAlert]);
    target.registry.Delete(kProductsKey);
    target.registry.Delete(kOldProductsKey);
    SeedValue(target, f & 64 ? kOldProductsKey : kProductsKey, "Quillbak", REG_BINARY, c[kRecord]);
    const std::string machine = g & 16 ? "target" : kTarget;

    // ---- GetProductInfo ------------------------------------------------------------------
    {
        tagPRODUCT_INFO info = Blank(), before = info;
        const int subType = (f & 1) ? (int)GetPrivateProfileIntA("Setup", "ProdSubType", -1, kInf) : -1;
        const int named = GetProductInfo(&info);
        QL_FUZZ_CHECK(named == (subType >= 0 && subType <= 4), "GetProductInfo gives %d for sub-type %d", named,
                      subType);
        if (named) {
            QL_FUZZ_CHECK(FieldEnds(info.szProductName, sizeof info.szProductName), "the name runs past its field");
            QL_FUZZ_CHECK(strcmp(info.szProductName, "Quillbak 2000") == 0, "the product is \"%s\"",
                          info.szProductName);
            QL_FUZZ_CHECK(info.bIsOption == 0 && info.bRemoteInstall == 1, "the flags are %d %d", info.bIsOption,
                          info.bRemoteInstall);
            QL_FUZZ_CHECK(memcmp(&info.bInstalled, &before.bInstalled,
                                 sizeof info - offsetof(tagPRODUCT_INFO, bInstalled)) == 0,
                          "GetProductInfo wrote past its fields");
        } else {
            QL_FUZZ_CHECK(memcmp(&info, &before, sizeof info) == 0, "a refused record was changed");
        }
    }

    // ---- AllowInstallation ---------------------------------------------------------------
    std::string registered, alert;
    {
        CHarnRegistry registry(1, const_cast<char *>(machine.c_str()));
        registered = registry.GetQuillbakHomeDir();
        alert = registry.GetAlertHomeDir();
    }
    {
        const bool connectFails = g & 2;
        if (connectFails) winsim::InjectFault("RegConnectRegistryA", ERROR_ACCESS_DENIED);
        tagPRODUCT_INFO info = Blank(), before = info;
        QL_FUZZ_CHECK(AllowInstallation(machine.c_str(), NULL, NULL, NULL, NULL, &info) == 1,
                      "AllowInstallation gives other than 1");
        winsim::ClearFaults();
        QL_FUZZ_CHECK(FieldEnds(info.szHomePath, sizeof info.szHomePath), "the folder runs past its field");
        const std::string home = info.szHomePath;
        QL_FUZZ_CHECK(home.empty() || home.back() == '\\', "the folder \"%s\" lacks its backslash", home.c_str());
        QL_FUZZ_CHECK(info.bInstalled == 0 || info.bInstalled == 1, "installed is %d", (int)info.bInstalled);
        if (!connectFails)
            QL_FUZZ_CHECK(info.bInstalled == !registered.empty(), "installed is %d with the home \"%s\"",
                          (int)info.bInstalled, registered.c_str());
        QL_FUZZ_CHECK(memcmp(&info, &before, offsetof(tagPRODUCT_INFO, bInstalled)) == 0,
                      "AllowInstallation wrote the name or the flags");
        // The sources in turn, each taken when it gives a folder that fits:
        // the registered home, the template's folder, the target's Program
        // Files folder, the fixed default.
        const std::string fromHome = OneBackslash(connectFails ? std::string() : registered);
        std::string fromIcf;
        if (f & 2) {
            CSetupIcf icf(kTemplate);
            fromIcf = OneBackslash(icf.QuillbakPath());
        }
        const std::string fallback = std::string(QL_DEFAULT_HOME_PATH) + "\\";
        const char tail[] = "\\Veltmark\\Quillbak\\";
        const size_t tailLength = strlen(tail);
        if (!fromHome.empty() && fromHome.size() < sizeof info.szHomePath) {
            QL_FUZZ_CHECK(home == fromHome, "\"%s\" proposed over the registered \"%s\"", home.c_str(),
                          fromHome.c_str());
        } else if (!fromIcf.empty() && fromIcf.size() < sizeof info.szHomePath) {
            QL_FUZZ_CHECK(home == fromIcf, "\"%s\" proposed over the template's \"%s\"", home.c_str(),
                          fromIcf.c_str());
        } else if (pfType == REG_SZ || pfType == REG_EXPAND_SZ) {
            QL_FUZZ_CHECK(home == fallback || (home.size() > tailLength &&
                                               home.compare(home.size() - tailLength, tailLength, tail) == 0),
                          "\"%s\" comes from no source", home.c_str());
        } else {
            QL_FUZZ_CHECK(home == fallback, "\"%s\" proposed without a source", home.c_str());
        }
    }

    // ---- GetSilentConfigDefaults ---------------------------------------------------------
    {
        const bool onTarget = f & 128;
        const std::string folder = (onTarget ? "\\\\TARGET\\C$\\TEMP" : "C:\\CFG") + std::string(g & 8 ? "\\" : "");
        const std::string file = (onTarget ? "\\\\TARGET\\C$\\TEMP" : "C:\\CFG") + std::string("\\QUILLBAK.ICF");
        RemoveFile(file);
        const std::string account = CText(c[kAccount]);
        const std::string password = "Pw:" + CText(c[kPassword]);
        const size_t slash = account.find('\\');
        const std::string domain = slash != std::string::npos && slash > 0 ? account.substr(0, slash) : machine;
        const std::string user = slash == std::string::npos ? account : account.substr(slash + 1);
        const int runs = g & 4 ? 2 : 1;
        for (int run = 0; run < runs; ++run) {
            const bool existed = GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
            const bool securityFails = (g & 1) && run == 0;
            if (securityFails) winsim::InjectFault("SetFileSecurityA", ERROR_ACCESS_DENIED);
            const int ready = GetSilentConfigDefaults(folder.c_str(), machine.c_str(), account.c_str(),
                                                      password.c_str());
            winsim::ClearFaults();
            const bool there = GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
            QL_FUZZ_CHECK(ready == 0 || ready == 1, "GetSilentConfigDefaults gives %d", ready);
            QL_FUZZ_CHECK(ready == (existed || ((f & 2) && !securityFails)),
                          "GetSilentConfigDefaults gives %d (template %d, existed %d, security fails %d)", ready,
                          (f & 2) != 0, existed, securityFails);
            QL_FUZZ_CHECK(there == (ready == 1), "the file is %s after %d", there ? "there" : "missing", ready);
            if (!ready) continue;
            if (Plain(domain))
                QL_FUZZ_CHECK(Profile("SystemAccount", "DefaultDomainName", file) == domain,
                              "the domain reads \"%s\", \"%s\" written",
                              Profile("SystemAccount", "DefaultDomainName", file).c_str(), domain.c_str());
            if (Plain(user))
                QL_FUZZ_CHECK(Profile("SystemAccount", "DefaultUserName", file) == user,
                              "the user reads \"%s\", \"%s\" written",
                              Profile("SystemAccount", "DefaultUserName", file).c_str(), user.c_str());
            if (Plain(password))
                QL_FUZZ_CHECK(Profile("SystemAccount", "DefaultPassword", file) == password,
                              "the password reads \"%s\", \"%s\" written",
                              Profile("SystemAccount", "DefaultPassword", file).c_str(), password.c_str());
            if (!registered.empty() && Plain(registered)) {
                QL_FUZZ_CHECK(Profile("InstallPath", "QuillbakPath", file) == registered,
                              "the folder reads \"%s\", \"%s\" registered",
                              Profile("InstallPath", "QuillbakPath", file).c_str(), registered.c_str());
                if (!alert.empty() && Plain(alert))
                    QL_FUZZ_CHECK(Profile("InstallPath", "AlertPath", file) == alert,
                                  "the alert folder reads \"%s\", \"%s\" registered",
                                  Profile("InstallPath", "AlertPath", file).c_str(), alert.c_str());
            }
        }
        // The password, made unlike anything else the input holds, is in no log.
        if (password.size() >= 8) {
            bool elsewhere = false;
            for (size_t i = 0; i < kChunkCount; ++i)
                if (i != kPassword && c[i].find(password) != std::string::npos) elsewhere = true;
            if (!elsewhere) {
                QL_FUZZ_CHECK(!LogHolds(console, password), "the password is in a log of the console");
                QL_FUZZ_CHECK(!LogHolds(target, password), "the password is in a log of the target");
            }
        }
    }
    return 0;
}
