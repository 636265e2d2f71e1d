// Stand-in for the registry conversion library "KEYCONV.DLL": copies a tree
// of the local machine's registry to another key (merging into what is
// there), and with a nonzero flag removes the source tree afterwards. Every
// call is logged, one line "hive|source|target|flag", to the REG_MULTI_SZ
// value "Calls" of HKLM\SOFTWARE\QLTest\KeyConv.
//
// It works on the machine's model directly, not through the registry
// functions, so that a test's injected faults and call counts see only the
// caller's own calls. It does not judge its paths: an empty source copies
// the whole hive, as a real copy would.
#include <windows.h>

#include <winsim/machine.h>

#include <string>
#include <type_traits>

#include "../../registry/KeyConv.h"

namespace {

winsim::RegKey *Walk(winsim::RegKey *key, const std::string &path, bool create) {
    size_t start = 0;
    while (key && start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        std::string word = path.substr(start, end - start);
        if (!word.empty()) key = create ? key->CreateChild(word) : key->Child(word);
        start = end + 1;
    }
    return key;
}

void CopyTree(const winsim::RegKey &from, winsim::RegKey &to) {
    for (const winsim::RegValue &v : from.values) to.SetValue(v.name, v.type, v.data.data(), v.data.size());
    for (const auto &child : from.subkeys)
        if (!child.second->deleted) CopyTree(*child.second, *to.CreateChild(child.second->name));
}

std::string HiveName(HKEY hive) {
    if (hive == HKEY_LOCAL_MACHINE) return "HKLM";
    if (hive == HKEY_CURRENT_USER) return "HKCU";
    if (hive == HKEY_USERS) return "HKU";
    if (hive == HKEY_CLASSES_ROOT) return "HKCR";
    return "?";
}

void Log(const std::string &line) {
    winsim::Registry &reg = winsim::LocalMachine().registry;
    winsim::RegKey *key = reg.Create("HKLM\\SOFTWARE\\QLTest\\KeyConv");
    std::string data;
    if (const winsim::RegValue *v = key->FindValue("Calls")) data.assign(v->data.begin(), v->data.end());
    if (data.size() >= 1) data.pop_back();  // the list's closing NUL
    data += line;
    data.push_back('\0');
    data.push_back('\0');
    key->SetValue("Calls", REG_MULTI_SZ, data.data(), data.size());
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int WINAPI KeyconvCopyRegSubTree(HKEY hive, LPCSTR source,
                                                                                   LPCSTR target, int move) {
    if (!winsim::HasLocalMachine()) return 0;
    const std::string from = source ? source : "", to = target ? target : "";
    Log(HiveName(hive) + "|" + from + "|" + to + "|" + std::to_string(move));
    std::shared_ptr<winsim::RegKey> root = winsim::LocalMachine().registry.Root(hive);
    if (!root) return 0;
    winsim::RegKey *src = Walk(root.get(), from, false);
    if (!src) return 0;
    // Taken whole first: a target inside the source must not copy itself.
    winsim::RegKey snapshot;
    CopyTree(*src, snapshot);
    CopyTree(snapshot, *Walk(root.get(), to, true));
    if (move && !from.empty()) {
        std::string prefix = HiveName(hive) == "HKU" ? "HKU\\" : HiveName(hive) + "\\";
        winsim::LocalMachine().registry.Delete(prefix + from);
    }
    return 1;
}

static_assert(std::is_same<PFN_KEYCONV_COPY_REG_SUB_TREE, decltype(&KeyconvCopyRegSubTree)>::value,
              "copy signature");
