// regedit text: a text that imports exports to a text that imports to the
// same tree, in both formats, and exporting that tree again gives the same
// text. A text that does not import changes nothing.
#include "fuzz_support.h"

namespace {

const char *const kRoots[] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

void Dump(const winsim::RegKey &k, std::string &out) {
    out += "[" + k.name + "]\n";
    for (const winsim::RegValue &v : k.values) {
        out += "  \"" + v.name + "\" " + std::to_string(v.type) + " ";
        out.append(v.data.begin(), v.data.end());
        out += "\n";
    }
    for (const auto &sub : k.subkeys) Dump(*sub.second, out);
    out += "[end " + k.name + "]\n";
}

std::string Tree(const winsim::Registry &reg) {
    std::string out;
    for (const char *root : kRoots) Dump(*reg.Find(root), out);
    return out;
}

// Each root exported in one format.
std::vector<std::string> Export(const winsim::Registry &reg, bool version5) {
    std::vector<std::string> texts;
    for (const char *root : kRoots) texts.push_back(reg.ExportReg(root, version5));
    return texts;
}

void RoundTrip(const std::string &tree, const std::vector<std::string> &exported, bool version5) {
    winsim::Registry again;
    for (const std::string &text : exported) {
        try {
            again.ImportReg(text, "exported.reg");
        } catch (const winsim::ImageError &e) {
            QL_FUZZ_CHECK(false, "an exported text does not import: %s\n%s", e.what(), text.c_str());
        }
    }
    QL_FUZZ_CHECK(Tree(again) == tree, "the %s export imports to another tree:\n%s\n---\n%s",
                  version5 ? "version 5.00" : "REGEDIT4", tree.c_str(), Tree(again).c_str());
    QL_FUZZ_CHECK(Export(again, version5) == exported, "exporting the imported export gives another text");
}

}  // namespace

// One export format per run, picked by the input's length, keeps the runs
// many; both formats come round often.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string fresh = Tree(winsim::Registry());
    winsim::Registry reg;
    try {
        reg.ImportReg(qlfuzz::Text(data, size), "fuzz.reg");
    } catch (const winsim::ImageError &) {
        QL_FUZZ_CHECK(Tree(reg) == fresh, "a text that did not import changed the registry");
        return 0;
    }
    const bool version5 = size % 2 == 0;
    RoundTrip(Tree(reg), Export(reg, version5), version5);
    return 0;
}
