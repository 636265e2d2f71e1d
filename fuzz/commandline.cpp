// The command-line map against a model of its rules: every switch and text
// argument of the line is found again, with its text, and nothing else is
// in the map.
#include "fuzz_support.h"

#include <map>

#include "settings/CommandLineMap.h"

namespace {

// Tokens at single blanks; a token starting with the switch character is a
// switch: name up to the first colon, the two installer switches, or the
// one letter after the switch character. Later entries replace earlier ones.
std::map<std::string, std::string> Model(const std::string &line, char chSwitch, unsigned &texts) {
    std::map<std::string, std::string> entries;
    texts = 0;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        std::string token = line.substr(start, end - start);
        start = end + 1;
        if (token.empty()) continue;
        if (token[0] != chSwitch) {
            entries["#" + std::to_string(texts++)] = token;
            continue;
        }
        if (token.size() == 1) continue;
        size_t colon = token.find(':');
        if (colon != std::string::npos)
            entries[token.substr(1, colon - 1)] = token.substr(colon + 1);
        else if (token == "-SMSInstall" || token == "-SMSUninstall")
            entries[token.substr(1)] = "QUILLBAK.ICF";
        else
            entries[token.substr(1, 1)] = token.substr(2);
    }
    return entries;
}

void Check(const std::string &line, char chSwitch) {
    unsigned texts = 0;
    const std::map<std::string, std::string> model = Model(line, chSwitch, texts);
    CCommandLineMap map(line.c_str(), chSwitch);

    QL_FUZZ_CHECK(map.GetCount() == (int)model.size(), "%d entries for \"%s\", %zu expected", map.GetCount(),
                  line.c_str(), model.size());
    for (const auto &[key, value] : model) {
        CString found;
        QL_FUZZ_CHECK(map.GetSwitch(key.c_str()) == 1, "\"%s\" not found in \"%s\"", key.c_str(), line.c_str());
        QL_FUZZ_CHECK(map.GetSwitch(key.c_str(), found, "<default>") == 1 && found == value.c_str(),
                      "\"%s\" reads \"%s\", \"%s\" expected", key.c_str(), (LPCSTR)found, value.c_str());
        if (key.size() == 1) {
            CString byChar;
            QL_FUZZ_CHECK(map.GetSwitch(key[0]) == 1 && map.GetSwitch(key[0], byChar, nullptr) == 1 &&
                              byChar == value.c_str(),
                          "one-letter switch '%c' not found again", key[0]);
        }
    }
    // The text arguments in order, and none past them.
    for (unsigned i = 0; i <= texts; ++i) {
        CString text;
        auto it = model.find("#" + std::to_string(i));
        int present = map.GetText(i, text);
        QL_FUZZ_CHECK(present == (it != model.end() ? 1 : 0), "text %u present %d", i, present);
        if (present) QL_FUZZ_CHECK(text == it->second.c_str(), "text %u reads \"%s\"", i, (LPCSTR)text);
    }
    // An absent switch gives the default, or leaves the value alone.
    CString value = "kept";
    const char absent[] = "\001absent";
    if (!model.count(absent)) {
        QL_FUZZ_CHECK(map.GetSwitch(absent, value, nullptr) == 0 && value == "kept", "absent switch changed the value");
        QL_FUZZ_CHECK(map.GetSwitch(absent, value, "dflt") == 0 && value == "dflt", "absent switch without its default");
    }
    QL_FUZZ_CHECK(map.GetSwitch((LPCSTR)nullptr) == (model.count("") ? 1 : 0), "null name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string line = qlfuzz::CText(data, size);
    Check(line, '-');
    Check(line, '/');
    return 0;
}
